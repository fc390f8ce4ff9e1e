#include "copied_index.h"

#include <algorithm>

#include "format/file_pair_writer.h"

namespace ombrel {
namespace {

using fleet::format::IndexUnit;

bool header_fits(const DeliveredIndex& index) {
    const auto& h = index.header;
    return index.header_seen && !index.malformed && h.magic == fleet::format::kIndexMagic &&
           h.first == 1 && h.last == index.units.size() && index.units.size() >= 2;
}

bool offsets_rise_from_zero(const std::vector<IndexUnit>& units) {
    if (units.front().offset != 0) return false;
    return std::is_sorted(units.begin(), units.end(), [](const IndexUnit& a, const IndexUnit& b) {
        return a.offset < b.offset;
    });
}

bool names_gop_start(const IndexUnit& unit, const std::vector<WrittenGop>& gops) {
    auto it =
        std::lower_bound(gops.begin(), gops.end(), unit.offset,
                         [](const WrittenGop& g, int64_t offset) { return g.offset < offset; });
    return it != gops.end() && it->offset == unit.offset && it->time == unit.time;
}

}  // namespace

bool describes_copy(const DeliveredIndex& index, const std::vector<WrittenGop>& gops,
                    int64_t stream_length) {
    if (!header_fits(index) || !offsets_rise_from_zero(index.units)) return false;
    if (index.units.back().offset != stream_length) return false;
    return std::all_of(index.units.begin(), index.units.end() - 1,
                       [&](const IndexUnit& unit) { return names_gop_start(unit, gops); });
}

std::vector<IndexUnit> recorder_units(const std::vector<WrittenGop>& gops, int64_t stream_length) {
    std::vector<IndexUnit> units;
    for (size_t i = 0; i < gops.size(); i += fleet::format::kUnitEveryGops) {
        units.push_back({gops[i].time, 0, gops[i].offset});
    }
    const uint32_t last_time = gops.empty() ? 0 : gops.back().time;
    units.push_back({last_time, 0, stream_length});
    return units;
}

std::vector<uint8_t> encode_index(const std::vector<IndexUnit>& units) {
    fleet::format::IndexHeader header;
    header.last = static_cast<uint32_t>(units.size());
    std::vector<uint8_t> out;
    out.reserve((units.size() + 1) * fleet::format::kIndexRecordSize);
    const auto head = header.encode();
    out.insert(out.end(), head.begin(), head.end());
    for (const IndexUnit& unit : units) {
        const auto bytes = unit.encode();
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace ombrel
