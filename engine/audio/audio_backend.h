// Inside of AudioOut: a backend plays queued buffers in order and hands each one, once played
// through, to a FinishSink. AudioOut owns the completion thread behind the sink.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

#include "audio/audio_out.h"

namespace kivra::audio_detail {

// Called on the backend's playing thread (SDL's audio callback included): must not block.
class FinishSink {
  public:
    virtual void finished(AudioBuffer* buffer) = 0;

  protected:
    ~FinishSink() = default;
};

class Backend {
  public:
    virtual ~Backend() = default;
    // Thread-safe; plays after everything queued before. At most kAudioBufferCount buffers
    // are ever queued at once, since only that many exist.
    virtual void queue(AudioBuffer* buffer) = 0;
    // Stops playing and drops the queue; the sink is not called once it returns.
    virtual void close() = 0;
};

// PCM bytes a buffer plays: whole frames only, so a stray byte cannot shift every later
// sample into the wrong channel or byte order.
inline size_t play_bytes(const AudioBuffer& buffer, const AudioFormat& format) {
    const size_t frame = static_cast<size_t>(format.block_align());
    const size_t length = std::min(buffer.length, kAudioBufferSize);
    return length - length % frame;
}

// What a buffer with nothing to play lasts instead: an idle producer then costs a hundred
// completions a second rather than a spinning core.
inline size_t idle_silence_bytes(const AudioFormat& format) {
    const int frames = std::max(1, format.rate / 100);
    return static_cast<size_t>(frames) * static_cast<size_t>(format.block_align());
}

std::unique_ptr<Backend> open_clock_backend(const AudioFormat& format, FinishSink& sink);

struct SdlOpen {
    std::unique_ptr<Backend> backend;  // null on failure
    int error =
        kAudioStarted;  // KIVRA_ERROR_OUTPUT_NO_DEVICE or KIVRA_ERROR_OUTPUT_DEVICE on failure
    int checked_value = 0;
};
// `probing`: a missing device is expected and will be handled by falling back, so the
// sound library's own complaints about it are kept off stderr.
SdlOpen open_sdl_backend(const AudioFormat& format, FinishSink& sink, bool probing);

}  // namespace kivra::audio_detail
