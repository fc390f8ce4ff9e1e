// The quick index record the recorder keeps beside each time unit: a snapshot of the vehicle
// at that unit's GOP, readable without parsing the GOP.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"
#include "format/index_format.h"
#include "format/quick_record_layout.h"

namespace dvrsim {

// The record's layout is the finder's (format/quick_record_layout.h).
using fleet::format::kQuickGsensorAt;
using fleet::format::kQuickLatitudeAt;
using fleet::format::kQuickLatitudeWidth;
using fleet::format::kQuickLongitudeAt;
using fleet::format::kQuickLongitudeWidth;
using fleet::format::kQuickMaxTyres;
using fleet::format::kQuickSpeedAt;
using fleet::format::kQuickTemperatureAt;
using fleet::format::kQuickTyreCountAt;
using fleet::format::kQuickTyresAt;
using fleet::format::kQuickUnitAt;
inline constexpr int kQuickTemperatureBias = 40;
inline constexpr int kQuickHighestTemperature = fleet::format::kQuickHighestTyreTemperatureByte;

// One tyre entry as stored.
struct QuickTyreBytes {
    uint8_t pressure = 0;     // psi
    uint8_t temperature = 0;  // degrees C + 40; above 185: the sensor reported an error
};

// What a record holds, before it is encoded.
struct QuickContent {
    uint32_t unit = 0;
    uint16_t speed = 0;      // km/h
    int8_t temperature = 0;  // degrees C
    std::array<int8_t, 3> g{};
    uint8_t tyre_count = 0;             // as written; may name more tyres than are stored
    std::vector<QuickTyreBytes> tyres;  // the entries stored, at most kQuickMaxTyres
    std::string latitude, longitude;    // empty without a fix
};

// What the recorder adds to the vehicle's values.
struct QuickStyle {
    uint64_t seed = 1;
    int tyre_count = 0;  // written into the count byte when not 0, however many tyres are stored
};

// The record of the time unit `sequence` of the recording (counted from 0). A tyre sensor fails
// now and then: in one unit of every seven, at a phase set by the seed, the temperature byte of
// one tyre a reader takes (one within the count) holds an error value 186..255.
QuickContent quick_content(uint32_t unit, int64_t sequence, const VehicleSample& sample,
                           const TyreFrame& tyres, const QuickStyle& style);
fleet::format::QuickRecord encode_quick(const QuickContent& content);

}  // namespace dvrsim
