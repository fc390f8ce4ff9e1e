#include "fat_names.h"

namespace fleet::format::fat {
namespace {

void append_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool is_high_surrogate(uint32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool is_low_surrogate(uint32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// One code point from UTF-8 at text[i]; advances i. nullopt for malformed, overlong or
// surrogate encodings.
std::optional<uint32_t> next_code_point(const std::string& text, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    uint8_t lead = byte(i);
    size_t extra;
    uint32_t c;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (text.size() - i <= extra) return std::nullopt;
    for (size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || is_high_surrogate(c) || is_low_surrogate(c)) {
        return std::nullopt;
    }
    i += extra + 1;
    return c;
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

uint8_t short_name_checksum(const uint8_t* name11) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kShortNameLength; ++i) {
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
    }
    return sum;
}

std::string short_name_text(const uint8_t* name11, uint8_t case_flags) {
    auto part = [&](size_t from, size_t count, bool lower) {
        std::string s;
        for (size_t i = from; i < from + count; ++i) {
            uint8_t b = name11[i];
            if (i == 0 && b == kEntryKanjiE5) b = kEntryDeleted;
            char c = b < 0x80 ? static_cast<char>(b) : '?';
            s += lower ? ascii_lower(c) : c;
        }
        return s.erase(s.find_last_not_of(' ') + 1);
    };
    std::string base = part(0, 8, (case_flags & kLowerCaseBase) != 0);
    std::string ext = part(8, 3, (case_flags & kLowerCaseExtension) != 0);
    return ext.empty() ? base : base + "." + ext;
}

std::optional<std::u16string> utf8_to_utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        std::optional<uint32_t> c = next_code_point(text, i);
        if (!c) return std::nullopt;
        if (*c < 0x10000) {
            out += static_cast<char16_t>(*c);
        } else {
            uint32_t v = *c - 0x10000;
            out += static_cast<char16_t>(0xD800 | (v >> 10));
            out += static_cast<char16_t>(0xDC00 | (v & 0x3FF));
        }
    }
    return out;
}

std::string utf16_to_utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t{text[i + 1]} - 0xDC00);
            ++i;
        } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
            c = 0xFFFD;
        }
        append_utf8(out, c);
    }
    return out;
}

bool equal_ignoring_ascii_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

}  // namespace fleet::format::fat
