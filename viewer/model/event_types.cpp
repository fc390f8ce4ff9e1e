#include "model/event_types.h"

namespace velmora {

EventTypeNames event_type_names(const LanguageTable& texts) {
    static constexpr const char* kKeys[kEventTypeCount] = {
        "IDS_STRING451", "IDS_STRING452", "IDS_STRING453", "IDS_STRING454", nullptr,
        "IDS_STRING456", "IDS_STRING457", "IDS_STRING458", "IDS_STRING459", "IDS_STRING460",
        "IDS_STRING461", "IDS_STRING462", "IDS_STRING463", "IDS_STRING464", "IDS_STRING465"};
    EventTypeNames names;
    for (int i = 0; i < kEventTypeCount; ++i) {
        const char* key = kKeys[i];
        if (key != nullptr) names[static_cast<size_t>(i)] = texts.text(key);
    }
    return names;
}

}  // namespace velmora
