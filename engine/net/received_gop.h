// Whether a recorder's video payload is one whole GOP: the magic, and the GOP's own length
// agreeing with what arrived (up to the recorder's 512-byte padding). A GOP whose length field
// disagrees would be stored where readers walking the file by that field lose their way.
#pragma once

#include <cstdint>
#include <span>

#include "format/gop_header.h"

namespace kivra::net {

inline bool is_whole_gop(std::span<const uint8_t> gop) {
    const auto header = fleet::format::read_gop_header(gop.data(), gop.size());
    if (!header) return false;
    const uint32_t length = header->total_length();
    return length >= fleet::format::kGopHeaderSize && length <= gop.size() &&
           gop.size() - length < 512;
}

}  // namespace kivra::net
