#include "dvrsim/quick_record.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/le.h"

namespace dvrsim {
namespace {

uint8_t clamp_byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

void put_text(fleet::format::QuickRecord& record, size_t at, size_t width,
              const std::string& text) {
    std::memcpy(record.data() + at, text.data(), std::min(width, text.size()));
}

}  // namespace

fleet::format::QuickRecord quick_record(uint32_t unit, const VehicleSample& sample,
                                        const TyreFrame& tyres) {
    fleet::format::QuickRecord record{};
    uint8_t* p = record.data();
    fleet::store_u32(p + kQuickUnitAt, unit);
    fleet::store_u16(p + kQuickSpeedAt, static_cast<uint16_t>((sample.speed_tenths + 5) / 10));
    fleet::store_u16(p + kQuickTemperatureAt,
                     static_cast<uint8_t>(static_cast<int8_t>(sample.temperature)));
    for (size_t axis = 0; axis < 3; ++axis) {
        p[kQuickGsensorAt + axis] = static_cast<uint8_t>(static_cast<int8_t>(sample.gsensor[axis]));
    }
    const size_t count = std::min(tyres.tyres.size(), kQuickMaxTyres);
    p[kQuickTyreCountAt] = static_cast<uint8_t>(count);
    for (size_t i = 0; i < count; ++i) {
        const TyreReading& tyre = tyres.tyres[i];
        p[kQuickTyresAt + 2 * i] = clamp_byte((tyre.pressure_tenths + 5) / 10);
        p[kQuickTyresAt + 2 * i + 1] = clamp_byte(tyre.temperature + kQuickTemperatureBias);
    }
    if (sample.gps_fix) {
        put_text(record, kQuickLatitudeAt, kQuickLatitudeWidth, latitude_text(sample.latitude));
        put_text(record, kQuickLongitudeAt, kQuickLongitudeWidth, longitude_text(sample.longitude));
    }
    return record;
}

}  // namespace dvrsim
