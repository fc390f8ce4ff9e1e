// Recording times as people read them. Recorders store seconds since 1970 without a time
// zone, so the breakdown is UTC whatever the local zone of the machine running the tool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dvrtool/args.h"

namespace dvrtool {

std::string time_text(uint32_t seconds);  // "YYYY-MM-DD HH:MM:SS"

// The seconds since 1970 of a UTC "YYYY-MM-DD HH:MM:SS", the form time_text writes; nothing
// for any other text, a date that does not exist or a time a recording cannot hold.
std::optional<uint32_t> parse_time_text(std::string_view text);

// The time of option `name` ("--from"), which the command needs; a usage error when it is
// missing or not in that form.
fleet::Result<uint32_t> parse_time_option(const CommandLine& line, std::string_view name);

}  // namespace dvrtool
