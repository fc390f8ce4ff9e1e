// The quick-index searches: thresholds in the stored scale, the tests, and the records read
// once for them.
#include <algorithm>

#include "common/le.h"
#include "format/find_units.h"
#include "format/index_find.h"
#include "index_find_ring.h"

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

template <typename Test>
bool any_tyre(const QuickFields& fields, Test test) {
    return std::any_of(fields.tyres.begin(), fields.tyres.end(), test);
}

bool in_box(const std::array<double, 4>& box, const std::optional<QuickPosition>& position) {
    return position && box[0] <= position->longitude && position->longitude <= box[1] &&
           box[2] <= position->latitude && position->latitude <= box[3];
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

bool quick_matches(const QuickFilter& filter, const QuickFields& fields) {
    const double threshold = filter.thresholds[0];
    switch (filter.search) {
        case QuickSearch::SpeedOver:
            return fields.speed_kmh > threshold;
        case QuickSearch::GOver:
            return std::any_of(fields.g.begin(), fields.g.end(), [threshold](int g) {
                return g_of_stored(g) > threshold || g_of_stored(g) < -threshold;
            });
        case QuickSearch::TemperatureOver:
            return fields.temperature_c > threshold;
        case QuickSearch::TyreTemperatureOver:
            return any_tyre(fields, [threshold](const QuickTyre& t) {
                return t.temperature_c && *t.temperature_c + kTyreTemperatureBias > threshold;
            });
        case QuickSearch::PressureOver:
            return any_tyre(fields,
                            [threshold](const QuickTyre& t) { return t.pressure_psi > threshold; });
        case QuickSearch::PressureUnder:
            return any_tyre(fields,
                            [threshold](const QuickTyre& t) { return t.pressure_psi < threshold; });
        case QuickSearch::PositionBox:
            return in_box(filter.thresholds, fields.position);
    }
    return false;
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
    uint32_t done = 0;
    const bool walked = walk_ring(first, last, [&](uint32_t n) {
        if (keep_going && ++done % kRecordsPerProgress == 0 &&
            !keep_going(static_cast<double>(done) / total)) {
            return false;
        }
        QuickRecord record;
        if (!reader.quick_unit(n, record)) return true;
        // Checked before decoding: records outside the range cost no more than their read.
        const uint32_t unit = fleet::load_u32(record.data());
        if (on_recorded_arc(time.first, time.last, unit)) {
            entries.push_back({n, decode_quick_record(record)});
        }
        return true;
    });
    if (!walked) return std::nullopt;
    return entries;
}

std::vector<const QuickEntry*> search_quick_entries(const std::vector<QuickEntry>& entries,
                                                    const QuickFilter& filter) {
    std::vector<const QuickEntry*> rows;
    for (const QuickEntry& entry : entries) {
        if (quick_matches(filter, entry.fields)) rows.push_back(&entry);
    }
    return rows;
}

}  // namespace fleet::format
