// The recording's sound, and the clock of normal play: every buffer the output finishes asks
// the playback side for the next frame's audio. SDL2 plays to a real device; where none
// opens, a clock backend completes each buffer after its play time, so play keeps real pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include "kivra/kivra.h"

namespace kivra {

inline constexpr int kAudioBufferCount = 4;
inline constexpr size_t kAudioBufferSize = 102400;

struct AudioFormat {
    int bits = 16;
    int channels = 1;
    int rate = 22050;
    int block_align() const { return bits * channels / 8; }
    int bytes_per_second() const { return rate * block_align(); }
};

struct AudioBuffer {
    uint8_t* data = nullptr;  // kAudioBufferSize bytes
    size_t length = 0;        // bytes to play
};

// Result codes of start(), as the engine reports them.
inline constexpr int kAudioStarted = 0;

// Four buffers cycle between the output and the playback side. A buffer plays `length` bytes
// (whole frames; at most kAudioBufferSize) after those queued before it; once played through
// it is "finished" and goes to the completion, one at a time, in queue order. A buffer queued
// with nothing to play lasts about 10 ms of silence instead, so a playback side with nothing
// to give costs at most a hundred or so completions a second, not a spinning core.
//
// Backend: KIVRA_AUDIO=clock forces the clock, KIVRA_AUDIO=sdl forces SDL (start() fails if
// no device opens); otherwise SDL is tried and the clock takes over when no device opens.
class AudioOut {
  public:
    // Called under the audio lock on the output's own thread for every finished buffer. The
    // callee refills `buffer` (length may be 0) and returns true to queue it again, or false
    // to let the output run dry (end of data). It must not call stop(); an exception it
    // throws counts as false.
    using Completion = std::function<bool(AudioBuffer& buffer)>;

    AudioOut();
    ~AudioOut();
    AudioOut(const AudioOut&) = delete;
    AudioOut& operator=(const AudioOut&) = delete;

    void set_completion(Completion completion);  // before start()
    // False while open, and for what no backend plays: bits other than 8/16/32, channels
    // outside 1..8, rate outside 1000..384000 Hz.
    bool set_format(const AudioFormat& format);
    AudioFormat format() const;

    // Allocates the four buffers, opens the output and queues them empty: after their short
    // silence they come back and start the cycle. Returns kAudioStarted (checked_value 0) or
    // KIVRA_ERROR_OUTPUT_ALREADY_RUNNING (0); with SDL forced, KIVRA_ERROR_OUTPUT_NO_DEVICE
    // (KIVRA_CHECKED_NO_AUDIO_DEVICE, or -1 when SDL audio does not initialise) or
    // KIVRA_ERROR_OUTPUT_DEVICE (-1). Without forcing, a missing device is no error: the clock
    // plays.
    int start(int& checked_value);
    // Stops the output, takes every buffer back and frees it, after waiting for a completion
    // in progress; no completion runs once it returns. False when not open. Not from the
    // completion nor while holding lock().
    bool stop();
    bool is_open() const;

    // "sdl" or "clock": where the sound goes (the last start()'s; "none" before any).
    const char* backend() const;

    std::mutex& lock();  // the audio lock: held while a completion runs

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Volume 0..100 to gain 0..3 (50 = 1.0) and back; false for values outside.
bool gain_for_volume(int volume, float& gain);
bool volume_for_gain(float gain, int& volume);

// Scales the samples in place, cutting toward zero and saturating instead of wrapping. 8-bit
// samples are unsigned around 128, 16- and 32-bit signed.
void apply_gain(float gain, uint8_t* data, size_t length, const AudioFormat& format);

}  // namespace kivra
