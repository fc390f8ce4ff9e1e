#include "messages.h"

#include <cstdio>

namespace dvrtool {

void say(std::string_view line) {
    std::fprintf(stderr, "dvrtool: %.*s\n", static_cast<int>(line.size()), line.data());
}

void warn(std::string_view line) {
    std::fprintf(stderr, "dvrtool: warning: %.*s\n", static_cast<int>(line.size()), line.data());
}

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::string joined_numbers(const std::vector<int>& values, std::string_view separator,
                           std::string_view empty) {
    std::string out;
    for (int v : values) {
        if (!out.empty()) out += separator;
        out += std::to_string(v);
    }
    return out.empty() ? std::string(empty) : out;
}

}  // namespace dvrtool
