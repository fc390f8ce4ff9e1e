#include "model/device_access.h"

#include <algorithm>

namespace velmora {

bool search_blocked(const DeviceSurvey& survey) {
    if (survey.refused.empty()) return false;
    return std::all_of(survey.listed.begin(), survey.listed.end(), [&](const std::string& path) {
        return std::find(survey.refused.begin(), survey.refused.end(), path) !=
               survey.refused.end();
    });
}

}  // namespace velmora
