#include "time_text.h"

#include <cstdio>
#include <ctime>

namespace dvrtool {

std::string time_text(uint32_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) return "invalid time";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

}  // namespace dvrtool
