// The finder's walks along the unit ring, shared by its listings and its quick searches.
#pragma once

#include <cstdint>

#include "format/index_find.h"
#include "format/index_format.h"

namespace fleet::format {

// Whether n lies on the ring's arc from first to last: a wrapped index's recorded range runs
// over 0xFFFFF to 1, so plain comparisons would miss it.
inline bool on_recorded_arc(uint32_t first, uint32_t last, uint32_t n) {
    const uint32_t span = units_between(first, last);
    return span != 0 && n >= 1 && n <= kLastUnitNumber && units_between(first, n) <= span;
}

// Calls visit(n) for every unit number from first to last along the ring until it returns
// false; false then.
template <typename Visit>
bool walk_ring(uint32_t first, uint32_t last, Visit&& visit) {
    uint32_t n = first;
    for (uint32_t left = units_between(first, last); left > 0; --left) {
        if (!visit(n)) return false;
        n = next_unit_number(n);
    }
    return true;
}

inline int event_type_of(uint32_t tag) {
    return static_cast<int>((tag >> kEventTypeShift) & 0xF);
}

}  // namespace fleet::format
