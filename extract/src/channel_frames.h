// What one channel's output takes from a GOP: the channel's H.264 access units, and the sound
// the engine plays while those frames are shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kivra/kivra.h"

namespace ombrel {

struct AccessUnit {
    const uint8_t* data = nullptr;  // inside the GOP's bytes
    uint32_t length = 0;
    bool key = false;
};

// The access units of `channel` (0-based) in stream order; empty when the GOP is rejected
// or carries none of that channel.
std::vector<AccessUnit> channel_access_units(const uint8_t* gop, size_t length, int channel);

// Index of the first key frame in `units`, or -1.
int first_key_frame(const std::vector<AccessUnit>& units);

struct PcmFormat {
    int bits = 16;  // 8: unsigned samples, 16: signed little-endian
    int rate = 8000;
    int sample_bytes() const { return bits / 8; }
    uint8_t silence() const { return bits == 8 ? 0x80 : 0; }
};

// The GOP's audio chunks of frames [first, frames_per_channel) as the engine queues them, or
// nothing when the GOP has no audio (the caller then writes silence_bytes of silence). A chunk
// that would lie outside the audio buffer is skipped.
void append_gop_audio(const FrameSet& set, int first, std::vector<uint8_t>& out);

// Bytes of silence lasting frames [first, frames) of a GOP of `frames` frames that spans
// `step_seconds`; the pieces of one GOP add up exactly to the GOP's duration.
size_t silence_bytes(const PcmFormat& format, int first, int frames, int step_seconds);

}  // namespace ombrel
