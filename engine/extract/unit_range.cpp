#include "extract/unit_range.h"

#include "format/index_format.h"

namespace kivra {

namespace ff = fleet::format;

std::optional<UnitRange> find_unit_range(StoredSource& source, int64_t start, int64_t end) {
    uint8_t record[ff::kIndexRecordSize];
    if (!source.time_index_header(record)) return std::nullopt;
    const ff::IndexHeader header = ff::IndexHeader::decode(record);
    const uint32_t total = ff::units_between(header.first, header.last);
    std::optional<uint32_t> first;
    uint32_t n = header.first;
    for (uint32_t k = 0; k < total; ++k, n = ff::next_unit_number(n)) {
        // A unit that cannot be read names no offset; the walk goes on past it.
        if (!source.time_index_unit(n, record)) continue;
        const int64_t offset = ff::IndexUnit::decode(record).offset;
        if (offset == end) {
            if (!first) return std::nullopt;
            return UnitRange{*first, n, ff::units_between(*first, n)};
        }
        if (offset == start) first = n;
    }
    return std::nullopt;
}

uint32_t unit_after(uint32_t unit, uint32_t steps) {
    const uint64_t zero_based = (uint64_t{unit} - 1 + steps) % ff::kLastUnitNumber;
    return static_cast<uint32_t>(zero_based + 1);
}

}  // namespace kivra
