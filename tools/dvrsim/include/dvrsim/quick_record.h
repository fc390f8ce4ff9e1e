// The quick index record the recorder keeps beside each time unit: a snapshot of the vehicle
// at that unit's GOP, readable without parsing the GOP.
#pragma once

#include <cstdint>

#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"
#include "format/index_format.h"

namespace dvrsim {

// Byte positions inside the 128-byte record.
inline constexpr size_t kQuickUnitAt = 0;         // u32 time-unit number
inline constexpr size_t kQuickSpeedAt = 4;        // u16 km/h, rounded
inline constexpr size_t kQuickTemperatureAt = 6;  // u16, the signed 8-bit value in the low byte
inline constexpr size_t kQuickGsensorAt = 8;      // 3 x s8, 127 = 2 g
inline constexpr size_t kQuickTyreCountAt = 12;   // u8
inline constexpr size_t kQuickTyresAt = 16;       // per tyre: psi, temperature + 40
inline constexpr size_t kQuickLatitudeAt = 84;    // "DDMM.MMMMN", absent without a fix
inline constexpr size_t kQuickLongitudeAt = 96;   // "DDDMM.MMMME"
inline constexpr size_t kQuickLatitudeWidth = 10;
inline constexpr size_t kQuickLongitudeWidth = 11;
inline constexpr int kQuickTemperatureBias = 40;  // stored tyre temperatures above 185: no sensor
inline constexpr size_t kQuickMaxTyres = (kQuickLatitudeAt - kQuickTyresAt) / 2;

fleet::format::QuickRecord quick_record(uint32_t unit, const VehicleSample& sample,
                                        const TyreFrame& tyres);

}  // namespace dvrsim
