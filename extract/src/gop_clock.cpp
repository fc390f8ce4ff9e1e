#include "gop_clock.h"

#include <algorithm>

namespace ombrel {
namespace {

constexpr int kTicksWithoutSound = 1000;
constexpr int kShortestGopFraction = 4;  // a GOP lasts at least 1/4 s

}  // namespace

GopClock::GopClock(int rate) : rate_(rate > 0 ? rate : kTicksWithoutSound) {}

int64_t GopClock::next(uint32_t gop_time, int64_t sound_ticks) {
    if (last_time_) {
        const int64_t step = int64_t{gop_time} - int64_t{*last_time_};
        if (step >= 1 && step <= kMaxGopStepSeconds &&
            (smallest_step_ == 0 || step < smallest_step_)) {
            smallest_step_ = step;
        }
    }
    last_time_ = gop_time;
    const int64_t from_steps = (smallest_step_ > 0 ? smallest_step_ : 1) * rate_;
    const int64_t ticks = sound_ticks > 0 ? sound_ticks : from_steps;
    return std::clamp<int64_t>(ticks, std::max(rate_ / kShortestGopFraction, 1),
                               int64_t{kMaxGopStepSeconds} * rate_);
}

}  // namespace ombrel
