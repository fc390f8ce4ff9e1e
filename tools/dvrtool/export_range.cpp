#include "export_range.h"

#include <string>
#include <vector>

#include "time_text.h"

namespace dvrtool {
namespace {

struct TimedUnit {
    uint32_t unit;
    uint32_t time;
};

// The units naming recorded data, in ring order from the oldest.
fleet::Result<std::vector<TimedUnit>> recorded_units(const fleet::export_host::IndexRange& range,
                                                     const IndexUnitReader& read) {
    std::vector<TimedUnit> units;
    for (uint32_t step = 0; step < range.units(); ++step) {
        const uint32_t n = range.unit_at(step);
        const auto unit = read(n);
        if (!unit) return fleet::fail("time index unit " + std::to_string(n) + " is unreadable");
        if (unit->offset >= 0) units.push_back({n, unit->time});
    }
    if (units.empty()) return fleet::fail("the time index names no recorded data");
    return units;
}

std::string span_text(uint32_t from, uint32_t to) {
    return time_text(from) + " to " + time_text(to);
}

}  // namespace

fleet::Result<ExportUnits> choose_export_units(const fleet::export_host::IndexRange& range,
                                               uint32_t from, uint32_t to,
                                               const IndexUnitReader& read) {
    if (from > to) return fleet::fail("--from " + time_text(from) + " is after --to");
    auto units = recorded_units(range, read);
    if (!units) return units.error();
    const std::vector<TimedUnit>& all = *units;
    const uint32_t first_time = all.front().time, last_time = all.back().time;
    if (to < first_time || from > last_time) {
        return fleet::fail("the range " + span_text(from, to) +
                           " lies outside the recording, which runs from " +
                           span_text(first_time, last_time));
    }
    size_t start = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].time <= from) start = i;
    }
    size_t end = all.size() - 1;
    for (size_t i = start; i < all.size(); ++i) {
        if (all[i].time >= to) {
            end = i;
            break;
        }
    }
    if (end == start) {
        return fleet::fail("the range " + span_text(from, to) +
                           " is empty: it begins and ends at the index unit of " +
                           time_text(all[start].time));
    }
    return ExportUnits{all[start].unit, all[end].unit};
}

}  // namespace dvrtool
