// Where the parts of a GOP lie, checked against the buffer before anything is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/le.h"
#include "format/gop_header.h"

namespace fleet::format {

struct GopLayout {
    GopHeader header;
    size_t total = 0;      // bytes of the GOP, padding excluded
    size_t frame_end = 0;  // frame records lie in [0, frame_end); audio starts here
    size_t info_offset = 0;
    bool has_frame_data() const { return frame_end != kGopHeaderSize; }
};

// Empty when the GOP is rejected: no magic, shorter than the buffer holds, version above 3,
// or audio and info blocks that claim more than the GOP's total length.
std::optional<GopLayout> gop_layout(const uint8_t* data, size_t length);

struct FrameRecordView {
    int channel = 0;  // 0-15
    int index = 0;    // k: frames of this channel seen before
    bool key = false;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

// Calls visit(FrameRecordView) for every frame record, in stream order. Returns the number
// of frames of the last record's channel (N), or -1 when a record runs past the frame area.
// A GOP without frame data has no records: returns 0.
template <typename Visit>
int for_each_frame_record(const uint8_t* data, const GopLayout& layout, Visit&& visit) {
    if (!layout.has_frame_data()) return 0;
    std::array<int, 16> count{};
    int last_channel = 0;
    size_t pos = 0;
    for (;;) {
        GopHeader frame = GopHeader::read(data + pos);
        size_t payload = pos + kGopHeaderSize;
        if (!fleet::fits(layout.frame_end, payload, frame.data_length())) return -1;
        last_channel = frame.channel();
        visit(FrameRecordView{last_channel, count[static_cast<size_t>(last_channel)]++,
                              frame.is_key_frame(), data + payload, frame.data_length()});
        pos = payload + frame.data_length();
        if (!fleet::fits(layout.frame_end, pos, kGopHeaderSize) ||
            fleet::load_u32(data + pos) != kGopMagic) {
            return count[static_cast<size_t>(last_channel)];
        }
    }
}

}  // namespace fleet::format
