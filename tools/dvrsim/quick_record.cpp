#include "dvrsim/quick_record.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/le.h"
#include "dvrsim/rng.h"

namespace dvrsim {
namespace {

constexpr int kSensorErrorEvery = 7;

uint8_t clamp_byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

void put_text(fleet::format::QuickRecord& record, size_t at, size_t width,
              const std::string& text) {
    std::memcpy(record.data() + at, text.data(), std::min(width, text.size()));
}

// The generator of a unit's failure: which tyre, and the byte it reports.
Rng sensor_rng(uint64_t seed, int64_t sequence) {
    return Rng(seed ^ 0x5E250E44ULL ^ (static_cast<uint64_t>(sequence) * 0x9E3779B97F4A7C15ULL));
}

std::vector<QuickTyreBytes> tyre_bytes(const TyreFrame& tyres) {
    const size_t count = std::min(tyres.tyres.size(), kQuickMaxTyres);
    std::vector<QuickTyreBytes> out(count);
    for (size_t i = 0; i < count; ++i) {
        const TyreReading& tyre = tyres.tyres[i];
        out[i] = {clamp_byte((tyre.pressure_tenths + 5) / 10),
                  clamp_byte(tyre.temperature + kQuickTemperatureBias)};
    }
    return out;
}

bool has_sensor_error(uint64_t seed, int64_t sequence) {
    const int64_t phase = static_cast<int64_t>(Rng(seed ^ 0x7E5).next() % kSensorErrorEvery);
    return (sequence + phase) % kSensorErrorEvery == 0;
}

}  // namespace

QuickContent quick_content(uint32_t unit, int64_t sequence, const VehicleSample& sample,
                           const TyreFrame& tyres, const QuickStyle& style) {
    QuickContent c;
    c.unit = unit;
    c.speed = static_cast<uint16_t>((sample.speed_tenths + 5) / 10);
    c.temperature = static_cast<int8_t>(sample.temperature);
    for (size_t axis = 0; axis < 3; ++axis) c.g[axis] = static_cast<int8_t>(sample.gsensor[axis]);
    c.tyres = tyre_bytes(tyres);
    c.tyre_count = static_cast<uint8_t>(style.tyre_count != 0 ? style.tyre_count : c.tyres.size());
    // The failing tyre is one a reader takes, so the error is seen.
    const size_t read = std::min<size_t>(c.tyres.size(), c.tyre_count);
    if (read > 0 && has_sensor_error(style.seed, sequence)) {
        Rng rng = sensor_rng(style.seed, sequence);
        const size_t tyre = static_cast<size_t>(rng.next() % read);
        c.tyres[tyre].temperature =
            static_cast<uint8_t>(rng.range(kQuickHighestTemperature + 1, 255));
    }
    if (sample.gps_fix) {
        c.latitude = latitude_text(sample.latitude);
        c.longitude = longitude_text(sample.longitude);
    }
    return c;
}

fleet::format::QuickRecord encode_quick(const QuickContent& c) {
    fleet::format::QuickRecord record{};
    uint8_t* p = record.data();
    fleet::store_u32(p + kQuickUnitAt, c.unit);
    fleet::store_u16(p + kQuickSpeedAt, c.speed);
    fleet::store_u16(p + kQuickTemperatureAt, static_cast<uint8_t>(c.temperature));
    for (size_t axis = 0; axis < 3; ++axis)
        p[kQuickGsensorAt + axis] = static_cast<uint8_t>(c.g[axis]);
    p[kQuickTyreCountAt] = c.tyre_count;
    for (size_t i = 0; i < c.tyres.size() && i < kQuickMaxTyres; ++i) {
        p[kQuickTyresAt + 2 * i] = c.tyres[i].pressure;
        p[kQuickTyresAt + 2 * i + 1] = c.tyres[i].temperature;
    }
    put_text(record, kQuickLatitudeAt, kQuickLatitudeWidth, c.latitude);
    put_text(record, kQuickLongitudeAt, kQuickLongitudeWidth, c.longitude);
    return record;
}

}  // namespace dvrsim
