#include "format/gop_layout.h"

namespace fleet::format {

std::optional<GopLayout> gop_layout(const uint8_t* data, size_t length) {
    auto header = read_gop_header(data, length);
    if (!header) return std::nullopt;
    GopLayout layout;
    layout.header = *header;
    layout.total = header->total_length();
    if (layout.total < kGopHeaderSize || length < layout.total ||
        header->version() > kMaxStreamVersion) {
        return std::nullopt;
    }
    uint64_t tail = uint64_t{header->audio_length()} + header->info_length();
    if (tail > layout.total - kGopHeaderSize) return std::nullopt;
    layout.frame_end = layout.total - static_cast<size_t>(tail);
    layout.info_offset = layout.frame_end + header->audio_length();
    return layout;
}

}  // namespace fleet::format
