#include "model/seek_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "format/index_format.h"

namespace velmora {

namespace {

// Days since 1970-01-01 to a proleptic Gregorian date.
struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

CivilDate civil_from_days(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned month_index = (5 * day_of_year + 2) / 153;
    const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
    const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
    const int64_t year = static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

// Unit position along the ring for a fraction of its length; the same single-precision
// arithmetic serves the seek and the tooltip, so the tooltip names what a release reaches.
float ring_position(uint32_t first, float fraction, uint32_t count) {
    constexpr auto kRingLength = static_cast<float>(fleet::format::kLastUnitNumber);
    float w = static_cast<float>(first) + fraction * static_cast<float>(count);
    if (w > kRingLength) w -= kRingLength;
    return w;
}

std::optional<int64_t> unit_offset(TimeIndexReader& index, uint32_t n) {
    uint32_t time = 0;
    int64_t offset = 0;
    if (!index.unit(n, time, offset)) return std::nullopt;
    return offset;
}

// Largest base + n * step (n >= 0) below goal; base when goal is not above it or step is 0.
int64_t last_step_below(int64_t base, int64_t step, int64_t goal) {
    if (step <= 0 || goal <= base) return base;
    return base + (goal - base - 1) / step * step;
}

// A short index cannot place the slider finely between two units: the span between them is
// cut into steps of count/100 of it, and the position snaps down to a step.
std::optional<int64_t> offset_between_units(TimeIndexReader& index, uint32_t k, float w,
                                            uint32_t count) {
    const auto here = unit_offset(index, k);
    const auto next = unit_offset(index, fleet::format::next_unit_number(k));
    if (!here || !next) return std::nullopt;
    const int64_t distance = *next - *here;
    const int64_t step = distance * static_cast<int64_t>(count) / 100;
    const double fraction = static_cast<double>(w) - static_cast<double>(k);
    const auto goal = *here + static_cast<int64_t>(static_cast<double>(distance) * fraction);
    return last_step_below(*here, step, goal);
}

std::string time_range_text(int64_t start, int64_t end, int position) {
    char text[96];
    std::snprintf(text, sizeof text, "%s ~ %s (%d%%)", format_utc(start).c_str(),
                  format_utc(end).c_str(), position);
    return text;
}

}  // namespace

uint32_t slider_unit_span(uint32_t first, uint32_t last) {
    const uint32_t units = fleet::format::units_between(first, last);
    return units == 0 ? 0 : units - 1;
}

bool unit_in_range(uint32_t n, uint32_t first, uint32_t last) {
    const uint32_t reach = fleet::format::units_between(first, n);
    return reach != 0 && reach <= fleet::format::units_between(first, last);
}

std::string format_utc(int64_t seconds) {
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t of_day = seconds - days * 86400;
    const CivilDate date = civil_from_days(days);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02d:%02d:%02d",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<int>(of_day / 3600), static_cast<int>(of_day / 60 % 60),
                  static_cast<int>(of_day % 60));
    return text;
}

std::optional<int64_t> slider_seek_offset(TimeIndexReader& index, int position, int minimum,
                                          int maximum) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!index.header(first, last)) return std::nullopt;
    if (position == minimum) return unit_offset(index, first);
    if (position == maximum) return unit_offset(index, last);
    if (position < minimum || position > maximum) return std::nullopt;

    const uint32_t count = slider_unit_span(first, last);
    if (count == 0) return unit_offset(index, first);  // one unit: every position is that unit
    const float fraction = static_cast<float>(position) / static_cast<float>(maximum - minimum);
    const float w = ring_position(first, fraction, count);
    if (w < 0.0f) return std::nullopt;
    if (count >= 100) return unit_offset(index, static_cast<uint32_t>(std::lround(w)));
    // Between two units the position is interpolated from the unit at or before it: taking the
    // nearest unit instead sent the upper half of the last interval past the index (no seek at
    // all) and the lower half of every other interval back to its unit.
    return offset_between_units(index, static_cast<uint32_t>(w), w, count);
}

std::string slider_time_text(TimeIndexReader& index, int position) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!index.header(first, last)) return {};
    const uint32_t count = slider_unit_span(first, last);
    const float w = ring_position(first, static_cast<float>(position) / 100.0f, count);
    if (w < 0.0f) return {};
    const auto i = static_cast<uint32_t>(w);
    const float f = w - static_cast<float>(i);
    if (!unit_in_range(i, first, last)) return {};

    uint32_t start_time = 0;
    int64_t offset = 0;
    if (!index.unit(i, start_time, offset)) return {};
    if (f <= 0.02f) return format_utc(start_time);

    uint32_t end_time = 0;
    if (!index.unit(fleet::format::next_unit_number(i), end_time, offset)) return {};
    int64_t start = start_time;
    int64_t end = end_time;
    if (count < 100) {
        const int64_t span = end - start;
        const int64_t step =
            std::max<int64_t>(1, std::llround(static_cast<double>(span) * count / 100.0));
        const int64_t goal = start + std::llround(static_cast<double>(span) * f);
        start = last_step_below(start, step, goal);
        end = start + step;
    }
    return time_range_text(start, end, position);
}

std::string slider_end_text(int32_t begin_time, int32_t end_time) {
    // Network sources answer -1: no more known than nothing open.
    if (begin_time <= 0 || end_time <= 0) return {};
    return format_utc(end_time);
}

int channel_at(int screen_count, int division, int width, int height, int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const auto cell = [&](int per_side) {
        const int cell_width = width / per_side;
        const int cell_height = height / per_side;
        if (cell_width == 0 || cell_height == 0) return -1;
        const int column = x / cell_width;
        const int row = y / cell_height;
        if (column >= per_side || row >= per_side) return -1;
        return row * per_side + column;
    };
    if (screen_count == 4 || division == 1 || division == 2) {
        const int quarter = cell(2);
        if (quarter < 0) return 0;
        return screen_count != 4 && division == 2 ? quarter + 5 : quarter + 1;
    }
    const int ninth = cell(3);
    return ninth < 0 || ninth >= 8 ? 0 : ninth + 1;
}

}  // namespace velmora
