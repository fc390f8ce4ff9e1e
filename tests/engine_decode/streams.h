// Test streams from the simulator's encoder, and what plain libavcodec makes of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace decode_test {

using Bytes = std::vector<uint8_t>;

// gops x frames_per_gop painted pictures of `channel`, one Annex-B access unit each; the
// first unit of every GOP is a key frame.
std::vector<Bytes> encode_channel(int channel, int width, int height, int gops, int frames_per_gop);

// Every picture libavcodec decodes from the units sent back to back (flushed at the end), in
// the FrameSet's layout: rows below the recorder's band, Y then V then U.
std::vector<Bytes> reference_pictures(const std::vector<Bytes>& units);

// Bytes no H.264 parser finds a start code in.
Bytes garbage(size_t length, uint32_t seed);

}  // namespace decode_test
