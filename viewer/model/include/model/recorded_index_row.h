// One row of a recorder's event index as the recorded-data dialog lists it: the 16 bytes the
// engine reports per unit, and the texts of the Time, Position and Status columns.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/event_types.h"

namespace velmora {

inline constexpr std::size_t kIndexRowBytes = 16;
using IndexRowBytes = std::array<uint8_t, kIndexRowBytes>;

struct IndexRow {
    uint32_t time = 0;  // seconds since 1970, UTC
    uint32_t flags = 0;
    uint64_t position = 0;
    bool operator==(const IndexRow&) const = default;
};

// u32 time at 0, u32 flags at 4, u64 position at 8, little-endian.
IndexRow parse_index_row(const IndexRowBytes& bytes);

// The event type in bits 20-23 of the flags, 0..15.
int index_row_event_type(const IndexRow& row);

// "YYYY-MM-DD HH:MM:SS" in UTC.
std::string index_row_time_text(uint32_t time);
// "0x" and the position in upper-case hex, at least two digits.
std::string index_row_position_text(uint64_t position);
// The type's name (type 4 has none: empty); a type past the table shows its number.
std::string index_row_status_text(int event_type, const EventTypeNames& names);

}  // namespace velmora
