// How long each GOP of an export lasts. One rule for every output, so the per-channel files
// and the mosaic keep the same time: a GOP with sound lasts as long as its sound (the engine
// plays its pictures against it); one without lasts the smallest step between GOP times seen
// so far (a GOP the engine could not read makes one step longer, never a step shorter);
// before any step is known, the recorders' one second.
#pragma once

#include <cstdint>
#include <optional>

namespace ombrel {

// GOPs further apart than this are a gap in the recording, not its pace.
inline constexpr int kMaxGopStepSeconds = 4;

class GopClock {
  public:
    // Durations are counted in ticks of 1/rate second: the export's sample rate, so a GOP's
    // sound gives its duration exactly. A rate below 1 (an export without sound) counts
    // milliseconds.
    explicit GopClock(int rate);

    int rate() const { return rate_; }
    // The duration of the next GOP, at `gop_time`, whose usable sound lasts `sound_ticks`
    // (0: none), between a quarter of a second and kMaxGopStepSeconds.
    int64_t next(uint32_t gop_time, int64_t sound_ticks);

  private:
    int rate_;
    std::optional<uint32_t> last_time_;
    int64_t smallest_step_ = 0;  // seconds; 0 while none is known
};

}  // namespace ombrel
