// Test tones for simulated recordings: deterministic, seamless from one GOP second to the
// next, and with left and right easy to tell apart by ear and by analysis.
#pragma once

#include <cstdint>
#include <vector>

namespace dvrsim {

struct AudioFormat {
    int rate = 0;      // samples per second per channel
    int bits = 0;      // 8 or 16
    int channels = 0;  // 1 or 2
};

inline constexpr int kLeftToneHz = 440;
inline constexpr int kRightToneHz = 660;
inline constexpr int kBeepHz = 1000;
inline constexpr int kBeepMilliseconds = 50;

// One second of interleaved little-endian PCM (16-bit signed, 8-bit unsigned with silence at
// 128) for GOP number `second`; the phase continues across seconds. Left carries a 440 Hz
// tone; right a 660 Hz tone plus a 1 kHz beep in the first 50 ms of every second. A mono
// stream carries what the right channel would. Empty for an unsupported format.
std::vector<uint8_t> synth_audio_second(const AudioFormat& format, int64_t second);

}  // namespace dvrsim
