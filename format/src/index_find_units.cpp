// The time and event listings and the date search: walks over the time and event indexes.
#include <cstdio>
#include <ctime>
#include <optional>

#include "format/index_find.h"
#include "index_find_ring.h"

namespace fleet::format {
namespace {

constexpr int64_t kHour = 3600;
constexpr int64_t kMinute = 60;

// The time view lists the first unit, then one unit per hour (on the hour, or the first an
// hour or more after the last mark) and every unit that carries an event.
class HourMarks {
  public:
    bool lists(const IndexUnit& unit) {
        const int64_t t = unit.time;
        if (!mark_) {
            mark_ = t - t % kHour;
            return true;
        }
        if (t % kHour == 0) {
            mark_ = t;
            return true;
        }
        if (t - *mark_ >= kHour) {
            mark_ = t - t % kMinute;
            return true;
        }
        return event_type_of(unit.tag) != 0;
    }

  private:
    std::optional<int64_t> mark_;
};

UnitRow row_of(uint32_t n, const IndexUnit& unit) {
    return {n, unit.time, unit.offset, event_type_of(unit.tag)};
}

}  // namespace

bool list_time_units(IndexReader& reader, const UnitSink& emit) {
    IndexHeader header;
    if (!reader.time_header(header)) return false;
    HourMarks marks;
    return walk_ring(header.first, header.last, [&](uint32_t n) {
        IndexUnit unit;
        // A unit that cannot be read is passed over; the ones after it still list.
        if (!reader.time_unit(n, unit)) return true;
        return !marks.lists(unit) || emit(row_of(n, unit));
    });
}

bool list_event_units(IndexReader& reader, const UnitSink& emit) {
    IndexHeader time, events;
    if (!reader.time_header(time) || !reader.event_header(events)) return false;
    return walk_ring(events.first, events.last, [&](uint32_t n) {
        IndexUnit unit;
        if (!reader.event_unit(n, unit)) return true;
        // Events whose time unit has been written over since point at nothing recorded.
        if (!on_recorded_arc(time.first, time.last, unit.tag & kTimeUnitMask)) return true;
        return emit(row_of(n, unit));
    });
}

std::string unit_time_text(uint32_t time) {
    const std::time_t seconds = time;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];  // room for any int the fields could hold
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string event_type_text(int type, const std::array<std::string, 15>& names) {
    if (type >= 0 && type < static_cast<int>(names.size())) {
        return names[static_cast<size_t>(type)];
    }
    return std::to_string(type);
}

std::optional<int64_t> find_time(IndexReader& reader, uint32_t time) {
    IndexHeader header;
    if (!reader.time_header(header)) return std::nullopt;
    std::optional<int64_t> before, found;
    walk_ring(header.first, header.last, [&](uint32_t n) {
        IndexUnit unit;
        if (!reader.time_unit(n, unit)) return true;
        if (unit.time == time) {
            found = unit.offset;
            return false;
        }
        if (unit.time > time) {
            found = before;
            return false;
        }
        before = unit.offset;
        return true;
    });
    return found;
}

std::optional<int64_t> quick_row_offset(IndexReader& reader, uint32_t time_unit) {
    IndexHeader header;
    IndexUnit unit;
    if (!reader.time_header(header) || !on_recorded_arc(header.first, header.last, time_unit) ||
        !reader.time_unit(time_unit, unit)) {
        return std::nullopt;
    }
    return unit.offset;
}

}  // namespace fleet::format
