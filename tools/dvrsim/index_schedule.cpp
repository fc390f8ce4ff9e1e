#include "dvrsim/index_schedule.h"

#include "format/index_format.h"

namespace dvrsim {

using fleet::format::kLastUnitNumber;

uint32_t unit_number_after(uint32_t first, int64_t steps) {
    const int64_t zero_based = (int64_t{first} - 1 + steps) % kLastUnitNumber;
    return static_cast<uint32_t>(zero_based + 1);
}

bool carries_time_unit(const IndexSchedule& s, int64_t gop) {
    return gop % s.unit_every == 0;
}

uint32_t time_unit_number(const IndexSchedule& s, int64_t gop) {
    return unit_number_after(s.first_unit, gop / s.unit_every);
}

// Events start one cadence in, not at the first GOP: the recorder has just been switched on.
int event_type(const IndexSchedule& s, int64_t gop) {
    if (gop <= 0 || gop % s.event_every != 0) return 0;
    return static_cast<int>((gop / s.event_every - 1) % kEventTypes) + 1;
}

int64_t time_unit_count(const IndexSchedule& s, int64_t count, int64_t step) {
    int64_t units = 0;
    for (int64_t i = 0; i < count; ++i) units += carries_time_unit(s, i * step) ? 1 : 0;
    return units;
}

int64_t event_count(const IndexSchedule& s, int64_t count, int64_t step) {
    int64_t events = 0;
    for (int64_t i = 0; i < count; ++i) events += event_type(s, i * step) != 0 ? 1 : 0;
    return events;
}

uint32_t highest_time_unit(const IndexSchedule& s, int64_t units) {
    if (units <= 0) return 0;
    if (int64_t{s.first_unit} + units - 1 >= kLastUnitNumber) return kLastUnitNumber;
    return static_cast<uint32_t>(s.first_unit + units - 1);
}

}  // namespace dvrsim
