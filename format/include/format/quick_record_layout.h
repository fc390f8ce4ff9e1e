// Where a quick index record keeps its fields: one layout for the recorder side that writes
// records and the finder that reads them.
#pragma once

#include <cstddef>

namespace fleet::format {

inline constexpr size_t kQuickUnitAt = 0;         // u32 time-unit number
inline constexpr size_t kQuickSpeedAt = 4;        // u16 km/h
inline constexpr size_t kQuickTemperatureAt = 6;  // u16; the signed 8-bit value in its low byte
inline constexpr size_t kQuickGsensorAt = 8;      // 3 x s8, 127 = 2 g
inline constexpr size_t kQuickTyreCountAt = 12;   // u8
inline constexpr size_t kQuickTyresAt = 16;       // per tyre: psi, temperature + 40
inline constexpr size_t kQuickLatitudeAt = 84;    // "DDMM.MMMMN", absent without a fix
inline constexpr size_t kQuickLongitudeAt = 96;   // "DDDMM.MMMME"
inline constexpr size_t kQuickLatitudeWidth = 10;
inline constexpr size_t kQuickLongitudeWidth = 11;
// The tyre entries end where the latitude text begins: a larger count would read the texts.
inline constexpr size_t kQuickMaxTyres = (kQuickLatitudeAt - kQuickTyresAt) / 2;
inline constexpr int kQuickHighestTyreTemperatureByte = 185;  // above: the sensor's error

}  // namespace fleet::format
