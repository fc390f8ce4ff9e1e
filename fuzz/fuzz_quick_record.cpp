// A quick record from the input, decoded, searched with thresholds from the input and turned
// into row texts. Beyond the sanitizers: the tyres stay within the record's room, a position
// is a place on the globe, and the search over the record's compact entry agrees with the
// same search tried on every decoded field.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "format/find_units.h"
#include "format/index_find.h"

namespace {

namespace ff = fleet::format;

void check(bool ok) {
    if (!ok) std::abort();
}

// The search tried on the decoded fields, tyre by tyre: the oracle for the entry's sums.
bool matches_fields(const ff::QuickFilter& filter, const ff::QuickFields& f) {
    const double t = filter.thresholds[0];
    const auto any_tyre = [&f](auto test) {
        return std::any_of(f.tyres.begin(), f.tyres.end(), test);
    };
    const std::array<double, 4>& box = filter.thresholds;
    switch (filter.search) {
        case ff::QuickSearch::SpeedOver:
            return f.speed_kmh > t;
        case ff::QuickSearch::GOver:
            return std::any_of(f.g.begin(), f.g.end(), [t](int g) {
                return ff::g_of_stored(g) > t || ff::g_of_stored(g) < -t;
            });
        case ff::QuickSearch::TemperatureOver:
            return f.temperature_c > t;
        case ff::QuickSearch::TyreTemperatureOver:
            return any_tyre([t](const ff::QuickTyre& y) {
                return y.temperature_c && *y.temperature_c + ff::kTyreTemperatureBias > t;
            });
        case ff::QuickSearch::PressureOver:
            return any_tyre([t](const ff::QuickTyre& y) { return y.pressure_psi > t; });
        case ff::QuickSearch::PressureUnder:
            return any_tyre([t](const ff::QuickTyre& y) { return y.pressure_psi < t; });
        case ff::QuickSearch::PositionBox:
            return f.position && box[0] <= f.position->longitude &&
                   f.position->longitude <= box[1] && box[2] <= f.position->latitude &&
                   f.position->latitude <= box[3];
    }
    return false;
}

// Nothing can be read: quick rows show "-" for their time.
class NoIndex : public ff::IndexReader {
  public:
    bool time_header(ff::IndexHeader&) override { return false; }
    bool time_unit(uint32_t, ff::IndexUnit&) override { return false; }
    bool event_header(ff::IndexHeader&) override { return false; }
    bool event_unit(uint32_t, ff::IndexUnit&) override { return false; }
    bool quick_header(ff::QuickRecord&) override { return false; }
    bool quick_unit(uint32_t, ff::QuickRecord&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ff::QuickRecord record{};
    std::memcpy(record.data(), data, std::min(size, record.size()));
    const ff::QuickFields fields = ff::decode_quick_record(record);
    check(fields.tyres.size() <= ff::QuickTyres::kCapacity);
    if (fields.position) {
        check(fields.position->latitude >= -90 && fields.position->latitude <= 90);
        check(fields.position->longitude >= -180 && fields.position->longitude <= 180);
    }

    // After the record: a search, its unit systems and four thresholds.
    const uint8_t* query_bytes = data + std::min(size, record.size());
    const size_t left = size - std::min(size, record.size());
    ff::QuickQuery query;
    if (left >= 2) {
        query.search = static_cast<ff::QuickSearch>(query_bytes[0] % 7);
        query.units = {query_bytes[1] & 1, (query_bytes[1] >> 1) & 1};
    }
    for (size_t i = 0; i < query.values.size() && 2 + 8 * (i + 1) <= left; ++i) {
        std::memcpy(&query.values[i], query_bytes + 2 + 8 * i, sizeof(double));
    }
    if (const auto filter = ff::make_quick_filter(query)) {
        check(ff::quick_matches(*filter, ff::quick_entry_of(1, record)) ==
              matches_fields(*filter, fields));
    } else {
        check(query.search == ff::QuickSearch::GOver);
    }
    NoIndex index;
    const auto texts = ff::quick_row_texts(fields, index, query.units);
    check(texts[1] == "-");
    return 0;
}
