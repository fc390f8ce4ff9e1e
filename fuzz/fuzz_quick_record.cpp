// A quick record from the input, decoded, searched with thresholds from the input and turned
// into row texts. Beyond the sanitizers: the tyres stay within the record's room, a position
// is a place on the globe, and a search never matches a record it was refused for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "format/index_find.h"

namespace {

namespace ff = fleet::format;

void check(bool ok) {
    if (!ok) std::abort();
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
        (void)ff::quick_matches(*filter, fields);
    } else {
        check(query.search == ff::QuickSearch::GOver);
    }
    NoIndex index;
    const auto texts = ff::quick_row_texts(fields, index, query.units);
    check(texts[1] == "-");
    return 0;
}
