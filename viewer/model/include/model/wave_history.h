// The wave chart's last minute: 60 one-second samples, the newest one's index, and the scales the
// menus chose. The dashboard keeps this history and hands the chart a copy after every change.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "model/telemetry_cycle.h"

namespace velmora {

struct WaveRanges {
    int g_min = -2;
    int g_max = 2;
    int speed_max = 250;
    int temperature_min = -50;
    int temperature_max = 100;
    bool operator==(const WaveRanges&) const = default;
};

// UTC seconds since 1970 of a calendar time, by calendar arithmetic alone; nullopt when the time
// is no real date and clock time.
std::optional<int64_t> utc_seconds(const CivilTime& time);

class WaveHistory {
  public:
    static constexpr int kSlots = 60;

    // A sample later than the newest one takes the next slot (the oldest one drops out when all
    // are taken); one of the same second or earlier replaces the newest. A sample without a
    // placeable time is ignored. True when the history changed.
    bool append(const WaveSample& sample);
    void clear();
    int newest() const { return newest_; }
    // Oldest first; an empty slot is WaveSample{}. (Not "slots": Qt defines that word away.)
    const std::array<WaveSample, kSlots>& samples() const { return slots_; }
    bool empty() const { return !slots_[0].time.has_value(); }

    bool operator==(const WaveHistory&) const = default;

  private:
    void advance();
    bool store_newest(const WaveSample& sample);

    std::array<WaveSample, kSlots> slots_{};
    int newest_ = 0;
};

}  // namespace velmora
