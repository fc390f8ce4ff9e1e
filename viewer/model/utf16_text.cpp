#include "model/utf16_text.h"

#include "common/utf8.h"

namespace velmora {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void append_utf8(std::string& out, char32_t code) {
    const auto byte = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | (code >> 6));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        byte(0xF0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3F));
        byte(0x80 | ((code >> 6) & 0x3F));
        byte(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::string utf8_from_utf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            const char32_t low = text[++i];
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            append_utf8(out, kReplacement);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

std::u16string utf16_from_utf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = fleet::utf8_sequence_length(text);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(kReplacement));
            text.remove_prefix(1);
            continue;
        }
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        char32_t code = length == 1 ? byte(0) : byte(0) & (0xFF >> (length + 1));
        for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (byte(i) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace velmora
