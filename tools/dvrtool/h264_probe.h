// The picture size of one H.264 access unit, found by decoding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dvrtool {

// Rows recorders paint above the picture; players crop them, so sizes shown leave them out.
inline constexpr int kRecorderBandRows = 8;

struct PictureSize {
    int width = 0;
    int height = 0;  // band rows removed
};

// Empty when libavcodec produces no picture from the unit (no SPS/PPS, not a key frame,
// not H.264 at all).
std::optional<PictureSize> decoded_picture_size(const uint8_t* data, size_t length);

}  // namespace dvrtool
