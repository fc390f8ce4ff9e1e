// The quick-index searches: thresholds in the stored scale, the tests, and the records read
// once for them.
#include <algorithm>

#include "common/le.h"
#include "format/find_units.h"
#include "format/index_find.h"
#include "index_find_ring.h"
#include "quick_record_decode.h"

namespace fleet::format {
namespace {

constexpr double kLeastG = 0.1;
constexpr double kMostG = 2.0;
// Records between two questions to the caller whether to go on.
constexpr uint32_t kRecordsPerProgress = 4096;

double speed_threshold(double value, const FindUnits& units) {
    return units.speed == 1 ? rounded(kmh_of_mph(value)) : value;
}

double temperature_threshold(double value, const FindUnits& units) {
    return units.temperature == 1 ? rounded(celsius_of_fahrenheit(value)) : value;
}

// Tyre temperatures are compared as stored: degrees Celsius + 40.
double tyre_temperature_threshold(double value, const FindUnits& units) {
    const double celsius = units.temperature == 1 ? celsius_of_fahrenheit(value) : value;
    return rounded(celsius + kTyreTemperatureBias);
}

bool in_box(const std::array<double, 4>& box, const QuickEntry& entry) {
    if (!entry.has_position) return false;
    const double longitude = degrees_of_angle(entry.longitude);
    const double latitude = degrees_of_angle(entry.latitude);
    return box[0] <= longitude && longitude <= box[1] && box[2] <= latitude && latitude <= box[3];
}

// Records from n on that one call may ask for: not past the ring's last unit.
uint32_t records_up_to_ring_end(uint32_t n, uint32_t left) {
    return std::min({left, kRecordsPerProgress, kLastUnitNumber - n + 1});
}

uint32_t advanced(uint32_t n, uint32_t by) {
    return n + by > kLastUnitNumber ? n + by - kLastUnitNumber : n + by;
}

}  // namespace

std::optional<QuickFilter> make_quick_filter(const QuickQuery& query) {
    const std::array<double, 4>& v = query.values;
    QuickFilter filter{query.search, {}};
    double& threshold = filter.thresholds[0];
    switch (query.search) {
        case QuickSearch::SpeedOver:
            threshold = speed_threshold(v[0], query.units);
            break;
        case QuickSearch::GOver:
            // Kept in g: the records' axes are turned into g to be compared.
            if (!(v[0] >= kLeastG && v[0] <= kMostG)) return std::nullopt;
            threshold = v[0];
            break;
        case QuickSearch::TemperatureOver:
            threshold = temperature_threshold(v[0], query.units);
            break;
        case QuickSearch::TyreTemperatureOver:
            threshold = tyre_temperature_threshold(v[0], query.units);
            break;
        case QuickSearch::PressureOver:
        case QuickSearch::PressureUnder:
            threshold = v[0];
            break;
        case QuickSearch::PositionBox:
            filter.thresholds = {v[0] - v[1], v[0] + v[1], v[2] - v[3], v[2] + v[3]};
            break;
    }
    return filter;
}

bool quick_matches(const QuickFilter& filter, const QuickEntry& entry) {
    const double threshold = filter.thresholds[0];
    switch (filter.search) {
        case QuickSearch::SpeedOver:
            return entry.speed_kmh > threshold;
        case QuickSearch::GOver:
            return std::any_of(entry.g.begin(), entry.g.end(), [threshold](int g) {
                return g_of_stored(g) > threshold || g_of_stored(g) < -threshold;
            });
        case QuickSearch::TemperatureOver:
            return entry.temperature_c > threshold;
        case QuickSearch::TyreTemperatureOver:
            // Both sides in the stored scale, degrees + 40.
            return entry.hottest_tyre != QuickEntry::kNoTyreTemperature &&
                   entry.hottest_tyre > threshold;
        case QuickSearch::PressureOver:
            return entry.tyre_count > 0 && entry.most_pressure > threshold;
        case QuickSearch::PressureUnder:
            return entry.tyre_count > 0 && entry.least_pressure < threshold;
        case QuickSearch::PositionBox:
            return in_box(filter.thresholds, entry);
    }
    return false;
}

std::span<const QuickRecord> IndexReader::quick_units(uint32_t n, uint32_t count) {
    if (count == 0 || !quick_unit(n, one_)) return {};
    return {&one_, 1};
}

std::optional<std::vector<QuickEntry>> read_quick_entries(
    IndexReader& reader, const std::function<bool(double done)>& keep_going) {
    IndexHeader time;
    QuickRecord header;
    if (!reader.time_header(time) || !reader.quick_header(header)) return std::nullopt;
    const uint32_t first = fleet::load_u32(header.data() + 4);
    const uint32_t last = fleet::load_u32(header.data() + 8);
    const uint32_t total = units_between(first, last);
    std::vector<QuickEntry> entries;
    entries.reserve(std::min(total, units_between(time.first, time.last)));
    uint32_t n = first, done = 0, next_question = kRecordsPerProgress;
    while (done < total) {
        const std::span<const QuickRecord> records =
            reader.quick_units(n, records_up_to_ring_end(n, total - done));
        for (const QuickRecord& record : records) {
            // Checked before decoding: records outside the range cost no more than their read.
            const uint32_t unit = fleet::load_u32(record.data());
            if (on_recorded_arc(time.first, time.last, unit)) {
                const auto at = static_cast<uint32_t>(&record - records.data());
                fill_quick_entry(advanced(n, at), record, entries.emplace_back());
            }
        }
        // A record that cannot be read is passed over.
        const uint32_t step = std::max<uint32_t>(1, static_cast<uint32_t>(records.size()));
        n = advanced(n, step);
        done += step;
        if (done >= next_question && done < total) {
            next_question = done + kRecordsPerProgress;
            if (keep_going && !keep_going(static_cast<double>(done) / total)) return std::nullopt;
        }
    }
    return entries;
}

std::vector<const QuickEntry*> search_quick_entries(const std::vector<QuickEntry>& entries,
                                                    const QuickFilter& filter) {
    std::vector<const QuickEntry*> rows;
    for (const QuickEntry& entry : entries) {
        if (quick_matches(filter, entry)) rows.push_back(&entry);
    }
    return rows;
}

QuickFields quick_row_fields(IndexReader& reader, const QuickEntry& entry) {
    QuickRecord record;
    if (reader.quick_unit(entry.record, record) &&
        fleet::load_u32(record.data()) == entry.time_unit) {
        return decode_quick_record(record);
    }
    QuickFields fields;
    fields.time_unit = entry.time_unit;
    fields.speed_kmh = entry.speed_kmh;
    fields.temperature_c = entry.temperature_c;
    std::copy(entry.g.begin(), entry.g.end(), fields.g.begin());
    if (entry.has_position) {
        fields.position =
            QuickPosition{degrees_of_angle(entry.latitude), degrees_of_angle(entry.longitude)};
    }
    return fields;
}

}  // namespace fleet::format
