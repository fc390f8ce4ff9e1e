#include "model/map_seek.h"

#include "format/index_format.h"

namespace velmora {

namespace {

struct IndexPoint {
    uint32_t time = 0;
    int64_t offset = 0;
};

std::optional<IndexPoint> read_point(TimeIndexReader& index, uint32_t n) {
    IndexPoint point;
    if (!index.unit(n, point.time, point.offset)) return std::nullopt;
    return point;
}

// Offsets below 0 mark units outside the recorded data: nothing to seek to.
std::optional<int64_t> recorded(int64_t offset) {
    if (offset < 0) return std::nullopt;
    return offset;
}

int64_t between(const IndexPoint& before, const IndexPoint& after, uint32_t t) {
    const double fraction =
        static_cast<double>(t - before.time) / static_cast<double>(after.time - before.time);
    const double span = static_cast<double>(after.offset - before.offset);
    return before.offset + static_cast<int64_t>(fraction * span);
}

}  // namespace

std::optional<int64_t> time_seek_offset(TimeIndexReader& index, uint32_t t) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!index.header(first, last)) return std::nullopt;
    const uint32_t units = fleet::format::units_between(first, last);
    std::optional<IndexPoint> before;
    uint32_t n = first;
    for (uint32_t walked = 0; walked < units; ++walked, n = fleet::format::next_unit_number(n)) {
        const std::optional<IndexPoint> here = read_point(index, n);
        if (!here) return std::nullopt;
        if (here->time >= t) {
            // The unit before lies outside the recorded data: its own start is the nearest.
            if (!before || before->offset < 0) return recorded(here->offset);
            if (here->offset < 0) return std::nullopt;
            return between(*before, *here, t);
        }
        before = here;
    }
    return std::nullopt;  // t lies past the newest unit
}

std::optional<int64_t> quick_entry_offset(QuickIndexReader& quick, TimeIndexReader& index,
                                          uint32_t n) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (!quick.header(first, last) || !unit_in_range(n, first, last)) return std::nullopt;
    uint32_t unit = 0;
    if (!quick.time_unit(n, unit)) return std::nullopt;
    if (!index.header(first, last) || !unit_in_range(unit, first, last)) return std::nullopt;
    const std::optional<IndexPoint> point = read_point(index, unit);
    if (!point) return std::nullopt;
    return recorded(point->offset);
}

}  // namespace velmora
