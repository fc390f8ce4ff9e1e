// Assembles GOPs byte for byte as a recorder writes them. Used by dvrsim and by tests that
// need a GOP with exactly chosen fields.
#pragma once

#include <cstdint>
#include <vector>

namespace fleet::format {

struct FrameRecord {
    int channel = 0;  // 0-15
    bool key = false;
    std::vector<uint8_t> data;  // one H.264 access unit
};

struct GopAudio {
    int rate = 8000;
    int bits = 16;
    int channels = 1;
    std::vector<uint8_t> pcm;  // interleaved; empty = no audio block
};

struct GopPlan {
    uint32_t version = 3;
    int channel_count = 4;            // version 3 only: becomes the channel-count code
    uint32_t time = 0;                // seconds since 1970
    uint32_t previous_length = 0;     // total length of the GOP before, 0 = none
    int announced_frames = 0;         // frames per channel the header announces
    std::vector<FrameRecord> frames;  // in recording order; empty = header only
    GopAudio audio;
    std::vector<uint8_t> info;  // info block bytes, empty = none
};

// The GOP without padding; its size is the header's total length.
std::vector<uint8_t> build_gop(const GopPlan& plan);

}  // namespace fleet::format
