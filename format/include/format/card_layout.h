// The raw layout of a recorder's SD card: no file system, a marked sector at 0x3E00 giving
// the base of three fixed-size index areas, and the data area from after them to the end.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "format/mbr.h"

namespace fleet::format {

inline constexpr int64_t kCardMarkOffset = 0x3E00;
inline constexpr int64_t kCardBaseField = 144;  // u64 in the marked sector
inline constexpr int64_t kCardTimeIndexSize = 0x1000000;
inline constexpr int64_t kCardEventIndexSize = 0x1000000;
inline constexpr int64_t kCardQuickIndexSize = 0x8000000;
inline constexpr int64_t kCardEventIndexOffset = 0x1000000;  // from the base
inline constexpr int64_t kCardQuickIndexOffset = 0x2000000;
inline constexpr int64_t kCardDataOffset = 0xA000000;

struct CardLayout {
    int64_t base = 0;  // B
    int64_t device_size = 0;
    int64_t time_index() const { return base; }
    int64_t event_index() const { return base + kCardEventIndexOffset; }
    int64_t quick_index() const { return base + kCardQuickIndexOffset; }
    int64_t data_start() const { return base + kCardDataOffset; }  // D
    int64_t data_length() const { return device_size - data_start(); }
};

// The card layout when `sector` (512 bytes read at kCardMarkOffset) is marked and its base
// puts the data area inside a device of `device_size` bytes; nullopt otherwise.
std::optional<CardLayout> parse_card_sector(const uint8_t* sector, int64_t device_size);
std::array<uint8_t, kSectorSize> build_card_sector(int64_t base);

}  // namespace fleet::format
