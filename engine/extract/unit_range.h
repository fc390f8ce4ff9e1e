// The time-index units an extraction copies: the one at its start offset and the one at its
// end offset, found along the unit ring.
#pragma once

#include <cstdint>
#include <optional>

#include "source/stored_source.h"

namespace kivra {

struct UnitRange {
    uint32_t first = 0;  // unit numbers in ring order: first comes before last
    uint32_t last = 0;
    uint32_t count = 0;  // units from first to last inclusive, at least 2
};

// Walks the source's time index from its first unit to its last. `first` is the unit whose
// offset is `start` (the last such one before the end unit is met), `last` the first unit
// whose offset is `end`. Positions are compared by their place in the walk, never by unit
// number, so a range across the wrap from 0xFFFFF to 1 is found like any other. Nothing when
// either is missing or the end unit comes first.
std::optional<UnitRange> find_unit_range(StoredSource& source, int64_t start, int64_t end);

// The unit `steps` places after `unit` along the ring.
uint32_t unit_after(uint32_t unit, uint32_t steps);

}  // namespace kivra
