// The time index of a file-pair copy. The engine hands over the units of the copied range
// with offsets counted from the range's start; they hold only while the copy has every GOP of
// the range at the offset it had there. When a GOP was left out (a read error), or the copy's
// padding differs from the source's, units would point into GOPs or past the end, so the index
// is made again from the GOPs written, the way the recorder makes one.
#pragma once

#include <cstdint>
#include <vector>

#include "format/index_format.h"

namespace ombrel {

// Where a GOP of the copy starts and the time its header carries.
struct WrittenGop {
    int64_t offset = 0;
    uint32_t time = 0;
};

// The engine's index of the range, as delivered: the header, then the units.
struct DeliveredIndex {
    bool header_seen = false;
    bool malformed = false;  // a record that is not 16 bytes, or a unit before the header
    fleet::format::IndexHeader header;
    std::vector<fleet::format::IndexUnit> units;
};

// True when the delivered index describes the copy: the time-index magic, first 1, last the
// number of units, at least a start and an end unit, offsets rising from 0, every unit but the
// last at the start of a written GOP with that GOP's time, and the last at the copy's end.
bool describes_copy(const DeliveredIndex& index, const std::vector<WrittenGop>& gops,
                    int64_t stream_length);

// The recorder's index of the copy: a unit for GOPs 0, 120, 240, ... with each GOP's time,
// then the closing unit {last GOP time, 0, stream length}.
std::vector<fleet::format::IndexUnit> recorder_units(const std::vector<WrittenGop>& gops,
                                                     int64_t stream_length);

// The `.inx` bytes: the header {magic, 1, unit count, 0}, then the units.
std::vector<uint8_t> encode_index(const std::vector<fleet::format::IndexUnit>& units);

}  // namespace ombrel
