// What the frame records of one GOP hold, channel by channel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "format/gop_layout.h"

namespace dvrtool {

inline constexpr int kFormatChannels = 16;

struct GopRecords {
    int frames = 0;  // N as for_each_frame_record returns it; -1 when a record runs past
    std::array<int, kFormatChannels> per_channel{};
    std::array<int, kFormatChannels> key_frames{};
};

GopRecords count_records(const uint8_t* gop, const fleet::format::GopLayout& layout);

// 1-based numbers, ascending, of the channels below `limit` that have a record with index k.
std::vector<int> channels_with_frame(const GopRecords& records, int k, int limit);

}  // namespace dvrtool
