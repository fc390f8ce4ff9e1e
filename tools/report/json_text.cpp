#include "report/json_text.h"

#include "common/utf8.h"

#include <cstddef>
#include <cstdint>

namespace fleet {
namespace {

void append_latin1(std::string& out, uint8_t byte) {
    out += static_cast<char>(0xC0 | byte >> 6);
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

}  // namespace

std::string utf8_text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t length = utf8_sequence_length(bytes);
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
