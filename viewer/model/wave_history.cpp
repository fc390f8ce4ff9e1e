#include "model/wave_history.h"

#include <algorithm>
#include <chrono>

namespace velmora {

namespace {

bool in_range(int value, int low, int high) {
    return value >= low && value <= high;
}

// Checked before the calendar types see the fields: they keep only a short or a byte of them.
bool fields_in_range(const CivilTime& time) {
    return in_range(time.year, -32767, 32767) && in_range(time.month, 1, 12) &&
           in_range(time.day, 1, 31) && in_range(time.hour, 0, 23) &&
           in_range(time.minute, 0, 59) && in_range(time.second, 0, 59);
}

}  // namespace

// The samples' times are UTC breakdowns, so reading them back as UTC (never as local time) keeps
// them in order across a time-zone or daylight-saving change of the computer.
std::optional<int64_t> utc_seconds(const CivilTime& time) {
    using namespace std::chrono;
    if (!fields_in_range(time)) return std::nullopt;
    const year_month_day date{year{time.year}, month{static_cast<unsigned>(time.month)},
                              day{static_cast<unsigned>(time.day)}};
    if (!date.ok()) return std::nullopt;  // 30 February and the like
    const sys_seconds instant =
        sys_days{date} + hours{time.hour} + minutes{time.minute} + seconds{time.second};
    return instant.time_since_epoch().count();
}

bool WaveHistory::append(const WaveSample& sample) {
    if (!sample.time) return false;
    const std::optional<int64_t> when = utc_seconds(*sample.time);
    if (!when) return false;
    if (empty()) return store_newest(sample);
    // Only placeable samples are ever stored, so the newest one has its seconds.
    if (*when > utc_seconds(*slots_[newest_].time).value()) advance();
    return store_newest(sample);
}

void WaveHistory::clear() {
    slots_.fill(WaveSample{});
    newest_ = 0;
}

// The next slot, or, when the last one is taken, every sample one slot down and the oldest gone.
void WaveHistory::advance() {
    if (newest_ + 1 < kSlots) {
        ++newest_;
        return;
    }
    std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
    slots_.back() = WaveSample{};
}

bool WaveHistory::store_newest(const WaveSample& sample) {
    if (slots_[newest_] == sample) return false;
    slots_[newest_] = sample;
    return true;
}

}  // namespace velmora
