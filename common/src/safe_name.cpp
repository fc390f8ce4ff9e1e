#include "common/safe_name.h"

#include <cstring>

#include "common/utf8.h"

namespace fleet {
namespace {

// Separators, controls, and what FAT file systems refuse in a name (cards are FAT).
bool unsafe_in_name(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

bool dot_or_space(char c) {
    return c == '.' || c == ' ';
}

}  // namespace

std::string safe_name_part(std::string_view text, std::string_view when_empty) {
    std::string name;
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8_sequence_length(text.substr(i));
        if (length == 0 || (length == 1 && unsafe_in_name(static_cast<unsigned char>(text[i])))) {
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
