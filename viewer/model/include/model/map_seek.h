// Where a map page's clicks lead in the recording: a time on the track becomes a byte offset
// through the time index, a search result through the quick index. Both walk the index ring
// (0xFFFFF is followed by 1).
#pragma once

#include <cstdint>
#include <optional>

#include "model/seek_math.h"

namespace velmora {

// The recorder's quick index, read record by record.
class QuickIndexReader {
  public:
    virtual ~QuickIndexReader() = default;
    // First and last record number of the ring; false when there is no quick index.
    virtual bool header(uint32_t& first, uint32_t& last) = 0;
    // The time index unit record n points at; false when it cannot be read.
    virtual bool time_unit(uint32_t n, uint32_t& unit) = 0;
};

// The offset of time t (seconds since 1970): the first unit, walking from the oldest, whose
// time is not below t; t before the oldest unit gives that unit's offset, t between two units
// the offset proportionally between theirs. Nothing when t lies past the newest unit or a read
// fails.
std::optional<int64_t> time_seek_offset(TimeIndexReader& index, uint32_t t);

// The offset of quick index record n: n must lie within the quick index's range and the unit
// it points at within the time index's range. Nothing when either does not or a read fails.
std::optional<int64_t> quick_entry_offset(QuickIndexReader& quick, TimeIndexReader& index,
                                          uint32_t n);

}  // namespace velmora
