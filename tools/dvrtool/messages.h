// What the tool says on stderr: one line each, prefixed with the program name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dvrtool {

// Prints "dvrtool: <line>".
void say(std::string_view line);
// Prints "dvrtool: warning: <line>".
void warn(std::string_view line);

std::string hex32(uint32_t value);  // "0x1738BABE"

// "1 2 3" with the given separator, or `empty` for no numbers.
std::string joined_numbers(const std::vector<int>& values, std::string_view separator,
                           std::string_view empty);

}  // namespace dvrtool
