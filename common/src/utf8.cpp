#include "common/utf8.h"

#include <cstdint>

namespace fleet {
namespace {

bool is_continuation(uint8_t b, uint8_t low = 0x80, uint8_t high = 0xBF) {
    return b >= low && b <= high;
}

}  // namespace

size_t utf8_sequence_length(std::string_view s) {
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

}  // namespace fleet
