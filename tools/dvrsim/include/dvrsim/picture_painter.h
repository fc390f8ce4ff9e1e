// Test pictures for simulated recordings: a person looking at a played-back picture can tell
// the channel, the recording time and whether the video moves.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dvrsim {

// Rows a decoder later crops from the top of every picture.
inline constexpr int kCroppedBandRows = 8;

enum class Scene {
    Flat,    // flat colours: small streams that decode fast
    Camera,  // detail and sensor noise: streams and decoding cost what real footage does
};

struct PictureContent {
    int channel = 0;      // 0-based
    int frame_index = 0;  // counts up over the recording
    uint32_t time = 0;    // seconds since 1970, shown as UTC
    int frame_in_second = 0;
    int fps = 0;
    Scene scene = Scene::Flat;
};

// Paints a width x height YUV420P picture (planes contiguous, no padding; width and height
// even). The top kCroppedBandRows rows are a solid magenta band; everything a person checks
// is below them.
void paint_picture(uint8_t* yuv420p, int width, int height, const PictureContent& content);

size_t yuv420p_size(int width, int height);

}  // namespace dvrsim
