// Recording times as people read them. Recorders store seconds since 1970 without a time
// zone, so the breakdown is UTC whatever the local zone of the machine running the tool.
#pragma once

#include <cstdint>
#include <string>

namespace dvrtool {

std::string time_text(uint32_t seconds);  // "YYYY-MM-DD HH:MM:SS"

}  // namespace dvrtool
