// When the recorder writes index units: a time unit for the first GOP and every K-th after it,
// an event every E-th GOP, numbered along the unit ring 1..0xFFFFF.
#pragma once

#include <cstdint>

namespace dvrsim {

struct IndexSchedule {
    int unit_every = 10;
    uint32_t first_unit = 1;
    int event_every = 30;
};

inline constexpr int kEventTypes = 15;  // types 1..15, in the tag's bits 20..23
inline constexpr int kEventTypeShift = 20;

// The number `steps` places after `first` along the ring.
uint32_t unit_number_after(uint32_t first, int64_t steps);

bool carries_time_unit(const IndexSchedule& s, int64_t gop);
// The number of the time unit at or before GOP `gop`.
uint32_t time_unit_number(const IndexSchedule& s, int64_t gop);
// 1..15 for a GOP that carries an event, else 0.
int event_type(const IndexSchedule& s, int64_t gop);

// How many units a recording writes when it stores `count` GOPs, every `step`-th second
// (1: every second), and the highest number they use.
int64_t time_unit_count(const IndexSchedule& s, int64_t count, int64_t step = 1);
int64_t event_count(const IndexSchedule& s, int64_t count, int64_t step = 1);
uint32_t highest_time_unit(const IndexSchedule& s, int64_t units);

}  // namespace dvrsim
