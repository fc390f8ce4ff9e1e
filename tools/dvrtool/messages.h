// What the tool says on stderr: one line each, prefixed with the program name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvrtool {

// Prints "dvrtool: <line>" and returns exit code 1, for `return fail(...)`.
int fail(std::string_view line);
void warn(std::string_view line);

std::string hex32(uint32_t value);  // "0x1738BABE"

}  // namespace dvrtool
