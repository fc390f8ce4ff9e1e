#include "report/json_text.h"

#include <cstddef>
#include <cstdint>

namespace fleet {
namespace {

bool is_continuation(uint8_t b, uint8_t low = 0x80, uint8_t high = 0xBF) {
    return b >= low && b <= high;
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0. The ranges are those of
// the Unicode standard's table of well-formed sequences: no overlong forms, no surrogates,
// nothing above U+10FFFF.
size_t sequence_length(std::string_view s) {
    auto at = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = at(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() < length || !is_continuation(at(1), low, high)) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (!is_continuation(at(i))) return 0;
    }
    return length;
}

void append_latin1(std::string& out, uint8_t byte) {
    out += static_cast<char>(0xC0 | byte >> 6);
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

}  // namespace

std::string utf8_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t length = sequence_length(bytes);
        if (length == 0) {
            append_latin1(out, static_cast<uint8_t>(bytes.front()));
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace fleet
