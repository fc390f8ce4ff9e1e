// What the reader thread keeps from GOP to GOP: its buffer, and the decoders whose state makes
// consecutive GOPs decode as one stream.
#pragma once

#include <cstdint>
#include <vector>

#include "decode/channel_sizes.h"
#include "decode/decoder_bank.h"
#include "format/frame_set.h"
#include "format/stream_walker.h"

namespace kivra {

struct ReaderState {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    DecoderBank bank;
    fleet::format::FrameSetStorage set;
    ChannelSizes sizes;
    // Realtime: the parsed GOP waits in `set` until the frames before it have been shown, and
    // `buffer` still holds its bytes, taken at `gop_start` of the feed.
    bool held = false;
    int64_t gop_start = 0;
};

}  // namespace kivra
