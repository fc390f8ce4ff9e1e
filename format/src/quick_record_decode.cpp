// A quick record's bytes as the finder reads them.
#include <algorithm>

#include "common/le.h"
#include "format/find_units.h"
#include "format/index_find.h"
#include "format/position_text.h"
#include "format/quick_record_layout.h"
#include "quick_record_decode.h"

namespace fleet::format {
namespace {

constexpr size_t kUnitAt = kQuickUnitAt;
constexpr size_t kSpeedAt = kQuickSpeedAt;
constexpr size_t kTemperatureAt = kQuickTemperatureAt;
constexpr size_t kGAt = kQuickGsensorAt;
constexpr size_t kTyreCountAt = kQuickTyreCountAt;
constexpr size_t kTyresAt = kQuickTyresAt;
constexpr size_t kLatitudeAt = kQuickLatitudeAt;
constexpr size_t kLongitudeAt = kQuickLongitudeAt;
constexpr size_t kMostTyres = kQuickMaxTyres;
constexpr int kHighestTyreTemperatureByte = kQuickHighestTyreTemperatureByte;

int8_t signed_byte(uint8_t b) {
    return static_cast<int8_t>(b);
}

}  // namespace

bool quick_position_of(const QuickRecord& record, int32_t& latitude, int32_t& longitude) {
    return latitude_of_text(record.data() + kLatitudeAt, latitude) &&
           longitude_of_text(record.data() + kLongitudeAt, longitude);
}

QuickEntry quick_entry_of(uint32_t record_number, const QuickRecord& record) {
    QuickEntry e;
    fill_quick_entry(record_number, record, e);
    return e;
}

void fill_quick_entry(uint32_t record_number, const QuickRecord& record, QuickEntry& e) {
    const uint8_t* p = record.data();
    e.record = record_number;
    e.time_unit = fleet::load_u32(p + kUnitAt);
    e.speed_kmh = fleet::load_u16(p + kSpeedAt);
    e.temperature_c = signed_byte(p[kTemperatureAt]);
    for (size_t axis = 0; axis < 3; ++axis) e.g[axis] = signed_byte(p[kGAt + axis]);
    e.tyre_count = static_cast<uint8_t>(std::min<size_t>(p[kTyreCountAt], kMostTyres));
    // Summed in locals without branches: a record may hold 34 tyres, and a million are read.
    // A temperature is kept one above its byte, so 0 stands for no reading.
    uint8_t least = 0xFF, most = 0, hottest_above = 0;
    for (const uint8_t* tyre = p + kTyresAt; tyre < p + kTyresAt + 2 * e.tyre_count; tyre += 2) {
        least = std::min(least, tyre[0]);
        most = std::max(most, tyre[0]);
        const uint8_t reading = tyre[1] <= kHighestTyreTemperatureByte ? tyre[1] + 1 : 0;
        hottest_above = std::max(hottest_above, reading);
    }
    const uint8_t hottest = hottest_above == 0 ? QuickEntry::kNoTyreTemperature : hottest_above - 1;
    e.least_pressure = least;
    e.most_pressure = most;
    e.hottest_tyre = hottest;
    int32_t latitude = 0, longitude = 0;
    e.has_position = quick_position_of(record, latitude, longitude);
    e.latitude = e.has_position ? latitude : 0;
    e.longitude = e.has_position ? longitude : 0;
}

QuickFields decode_quick_record(const QuickRecord& record) {
    const uint8_t* p = record.data();
    QuickFields fields;
    fields.time_unit = fleet::load_u32(p + kUnitAt);
    fields.speed_kmh = fleet::load_u16(p + kSpeedAt);
    fields.temperature_c = signed_byte(p[kTemperatureAt]);
    for (size_t axis = 0; axis < 3; ++axis) fields.g[axis] = signed_byte(p[kGAt + axis]);
    fields.tyres.assign_stored(p + kTyresAt, std::min<size_t>(p[kTyreCountAt], kMostTyres));
    int32_t latitude = 0, longitude = 0;
    if (quick_position_of(record, latitude, longitude)) {
        fields.position = QuickPosition{degrees_of_angle(latitude), degrees_of_angle(longitude)};
    }
    return fields;
}

QuickTyre QuickTyres::operator[](size_t i) const {
    const uint8_t pressure = bytes_[2 * i];
    const uint8_t temperature = bytes_[2 * i + 1];
    QuickTyre tyre{pressure, std::nullopt};
    if (temperature <= kHighestTyreTemperatureByte) {
        tyre.temperature_c = temperature - kTyreTemperatureBias;
    }
    return tyre;
}

void QuickTyres::push_back(const QuickTyre& tyre) {
    if (count_ >= kCapacity) return;
    const int temperature =
        tyre.temperature_c
            ? std::clamp(*tyre.temperature_c + kTyreTemperatureBias, 0, kHighestTyreTemperatureByte)
            : 0xFF;
    bytes_[2 * count_] = static_cast<uint8_t>(std::clamp(tyre.pressure_psi, 0, 0xFF));
    bytes_[2 * count_ + 1] = static_cast<uint8_t>(temperature);
    ++count_;
}

void QuickTyres::assign_stored(const uint8_t* entries, size_t count) {
    count_ = static_cast<uint8_t>(std::min(count, kCapacity));
    std::copy_n(entries, 2 * count_, bytes_.begin());
}

// Equal as read: any two error bytes are the same "error".
bool QuickTyres::operator==(const QuickTyres& other) const {
    return count_ == other.count_ && std::equal(begin(), end(), other.begin());
}

}  // namespace fleet::format
