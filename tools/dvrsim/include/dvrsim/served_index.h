// The time index a served recorder lists: the recording's units in ring order, numbered from
// the recording's first unit or from a number chosen for tests (wrapping 0xFFFFF to 1), with
// where each unit's GOP starts in the recording's walk addressing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/index_format.h"

namespace dvrsim {

struct ServedUnit {
    std::array<uint8_t, fleet::format::kIndexRecordSize> record{};  // as the index stores it
    int64_t walk = -1;  // where its GOP starts in walk addressing; -1: outside the recording
};

// A stretch of the recording in walk addressing, [begin, end).
struct WalkRange {
    int64_t begin = 0;
    int64_t end = 0;
};

class ServedIndex {
  public:
    ServedIndex() = default;
    // units: the source index's units from its first along the ring; walk_end: where the
    // recording ends; first_number: the first unit's number as listed.
    ServedIndex(const fleet::format::IndexHeader& source, std::vector<ServedUnit> units,
                int64_t walk_end, uint32_t first_number);

    // The header as listed: first and last in the served numbering, the rest as the source's.
    const fleet::format::IndexHeader& header() const { return header_; }
    size_t size() const { return units_.size(); }
    const ServedUnit& unit(size_t position) const { return units_[position]; }
    int64_t walk_end() const { return walk_end_; }

    // Where unit `number` lies in the list; nullopt when it is not listed.
    std::optional<size_t> position_of(uint32_t number) const;
    // The records of units first, first + 1, ... along the ring, at most max_records of them;
    // nullopt when count is 0 or any of the units asked for is not listed.
    std::optional<std::vector<uint8_t>> records(uint32_t first, uint32_t count,
                                                size_t max_records) const;
    // The GOPs from unit first up to unit first + span (ring-wise), through the end of the
    // recording when that is the last unit; nullopt when either unit is not listed or their GOPs
    // are not in the recording. span is last - first as a request carries it: negative (as
    // unsigned) when last lies past 0xFFFFF, numbered from 1 again.
    std::optional<WalkRange> data_range(uint32_t first, uint32_t span) const;

  private:
    fleet::format::IndexHeader header_;
    std::vector<ServedUnit> units_;
    int64_t walk_end_ = 0;
};

// Unit `number` moved `steps` along the ring 1..0xFFFFF.
uint32_t advance_unit(uint32_t number, uint64_t steps);
// The distance along the ring from first to last, given last - first in unsigned arithmetic.
uint32_t ring_span(uint32_t span);

}  // namespace dvrsim
