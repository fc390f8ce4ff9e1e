// Tyre monitors of an articulated vehicle: up to three units (tractor, trailers), each with a
// layout type that fixes how many tyres it has. The records of all units are packed in one
// group, unit 1's first, and the summary word names each unit's layout and alarm flag.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dvrsim/tyre_model.h"

namespace dvrsim {

// Layout type of units 1, 2 and 3; 0 = no such unit. All 0: the plain six-tyre monitor.
using TyreLayout = std::array<int, 3>;

inline constexpr int kUnitCount = 3;
inline constexpr int kFirstUnitTypes = 6;  // unit 1: types 1..6
inline constexpr int kTrailerTypes = 14;   // units 2 and 3: types 1..14
inline constexpr int kUnitNormal = 1;      // unit status flags
inline constexpr int kUnitAlarm = 2;

bool has_units(const TyreLayout& layout);
// Tyres of unit `unit` (0-based) with layout type `type`; 0 for a type the unit does not have.
int unit_tyre_count(int unit, int type);
// "T1[,T2[,T3]]" with each type in its unit's range.
bool parse_tyre_layout(const std::string& text, TyreLayout& out);

// Readings of every unit's tyres at one video frame of version 3. One tyre is abnormal for
// 3 s out of every 10, its state cycling through 2..5 from window to window, and its unit
// raises the alarm flag; 2 s later another unit (or the same one) raises its flag alone, so
// both reasons for a unit alarm occur.
TyreFrame unit_tyre_frame(const TyreLayout& layout, uint64_t seed, int64_t gop, int frame,
                          int speed_tenths);

}  // namespace dvrsim
