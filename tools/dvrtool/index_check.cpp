#include "index_check.h"

#include <algorithm>
#include <optional>
#include <string>

#include "time_text.h"

namespace dvrtool {
namespace {

std::string unit_name(uint32_t number) {
    return "index unit " + std::to_string(number);
}

std::optional<Damage> check_unit(uint32_t number, const fleet::format::IndexUnit& unit,
                                 const std::vector<GopMark>& gops) {
    auto it = std::lower_bound(gops.begin(), gops.end(), unit.offset,
                               [](const GopMark& g, int64_t offset) { return g.offset < offset; });
    if (it == gops.end() || it->offset != unit.offset) {
        return Damage{Damage::kIndexUnit, unit.offset, unit.offset,
                      unit_name(number) + " points where no GOP starts"};
    }
    if (it->time != unit.time) {
        return Damage{Damage::kIndexUnit, unit.offset, unit.offset,
                      unit_name(number) + " has time " + time_text(unit.time) + ", the GOP has " +
                          time_text(it->time)};
    }
    return std::nullopt;
}

std::optional<Damage> check_closing(uint32_t number, const fleet::format::IndexUnit& unit,
                                    int64_t data_end) {
    if (unit.offset == data_end) return std::nullopt;
    return Damage{
        Damage::kIndexUnit, unit.offset, unit.offset,
        unit_name(number) + " closes the data here, but it ends at " + std::to_string(data_end)};
}

// A ring's newest unit names a GOP, or the end of the data where the recorder stopped.
std::optional<Damage> check_last(const Recording& recording, uint32_t number,
                                 const fleet::format::IndexUnit& unit,
                                 const std::vector<GopMark>& gops, int64_t data_end) {
    if (recording.last_unit_closes()) return check_closing(number, unit, data_end);
    if (unit.offset == data_end) return std::nullopt;
    return check_unit(number, unit, gops);
}

}  // namespace

std::vector<Damage> check_index(Recording& recording, const std::vector<GopMark>& gops,
                                int64_t data_end) {
    const fleet::format::IndexHeader header = recording.time_header();
    std::vector<Damage> out;
    const uint32_t count = fleet::format::units_between(header.first, header.last);
    if (count == 0) {
        out.push_back({Damage::kIndex, 0, 0,
                       "first unit " + std::to_string(header.first) + " and last unit " +
                           std::to_string(header.last) + " are not on the unit ring"});
        return out;
    }
    uint32_t n = header.first;
    for (uint32_t i = 0; i < count; ++i, n = fleet::format::next_unit_number(n)) {
        fleet::format::IndexUnit unit;
        if (!recording.time_unit(n, unit)) {
            // The rest of the ring lies past the end of the file too; one line says so.
            out.push_back({Damage::kIndex, 0, 0,
                           "index units " + std::to_string(n) + " to " +
                               std::to_string(header.last) + " cannot be read"});
            break;
        }
        auto problem = i + 1 == count ? check_last(recording, n, unit, gops, data_end)
                                      : check_unit(n, unit, gops);
        if (problem) out.push_back(std::move(*problem));
    }
    return out;
}

}  // namespace dvrtool
