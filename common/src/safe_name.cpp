#include "common/safe_name.h"

#include <cstring>

namespace fleet {
namespace {

// Separators, controls, and what FAT file systems refuse in a name (cards are FAT).
bool unsafe_in_name(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at bytes[0] within `available` bytes, or 0: an
// overlong form, a surrogate, a value past U+10FFFF or a sequence cut short is no character.
size_t utf8_sequence(const unsigned char* bytes, size_t available) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
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
    if (length > available || bytes[1] < low || bytes[1] > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (!continuation(bytes[i])) return 0;
    }
    return length;
}

bool dot_or_space(char c) {
    return c == '.' || c == ' ';
}

}  // namespace

std::string safe_name_part(std::string_view text, std::string_view when_empty) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::string name;
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8_sequence(bytes + i, text.size() - i);
        if (length == 0 || (length == 1 && unsafe_in_name(bytes[i]))) {
            name += '_';
            ++i;
            continue;
        }
        name.append(text.substr(i, length));
        i += length;
    }
    // A name starting with a dot is hidden; FAT drops trailing dots and spaces.
    for (size_t i = 0; i < name.size() && name[i] == '.'; ++i) name[i] = '_';
    for (size_t i = name.size(); i > 0 && dot_or_space(name[i - 1]); --i) name[i - 1] = '_';
    return name.empty() ? std::string(when_empty) : name;
}

}  // namespace fleet
