// A quick record's bytes as the finder reads them.
#include <algorithm>

#include "common/le.h"
#include "format/find_units.h"
#include "format/index_find.h"
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

bool is_digit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Eight ASCII digits, the first in the lowest byte, as a number; false when one is not a
// digit. Done a word at a time: a search's first read parses two positions per record.
bool eight_digits(uint64_t text, uint32_t& out) {
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0;
    if (((text & kHighNibbles) | (((text + 0x0606060606060606) & kHighNibbles) >> 4)) !=
        0x3333333333333333) {
        return false;
    }
    uint64_t v = text - 0x3030303030303030;
    v = v * 10 + (v >> 8);  // pairs of digits
    constexpr uint64_t kPairs = 0x000000FF000000FF;
    v = (((v & kPairs) * 0x000F424000000064) + (((v >> 16) & kPairs) * 0x0000271000000001)) >> 32;
    out = static_cast<uint32_t>(v);
    return true;
}

// The text's two, or three, degree digits, two minute digits, a point and four more, read
// as ten-thousandths of a minute.
bool ten_thousandths_of_text(const uint8_t* text, size_t degree_digits, int32_t& out) {
    const size_t rest = degree_digits - 2;  // digits before the last two degree digits
    uint32_t hundreds = 0;
    if (rest == 1) {
        if (!is_digit(text[0])) return false;
        hundreds = static_cast<uint32_t>(text[0] - '0');
    }
    const uint8_t* p = text + rest;
    uint32_t digits = 0;  // DDMMmmmm
    if (p[4] != '.' ||
        !eight_digits(fleet::load_u32(p) | uint64_t{fleet::load_u32(p + 5)} << 32, digits)) {
        return false;
    }
    const uint32_t degrees = hundreds * 100 + digits / 1000000, minutes = digits % 1000000;
    if (minutes >= 600000) return false;
    out = static_cast<int32_t>(degrees * 600000 + minutes);
    return true;
}

// "DDMM.MMMM" (or "DDDMM.MMMM") then the hemisphere letter, in ten-thousandths of a minute,
// negative for `negative`. A place on the globe only: minutes of 60 and more, or degrees past
// `most`, are no position (the dashboard's position reader refuses them as well).
bool angle_of(const uint8_t* text, size_t degree_digits, char positive, char negative, int most,
              int32_t& out) {
    const char letter = static_cast<char>(text[degree_digits + 7]);
    if ((letter != positive && letter != negative) ||
        !ten_thousandths_of_text(text, degree_digits, out) || out > most * 600000) {
        return false;
    }
    if (letter == negative) out = -out;
    return true;
}

}  // namespace

bool quick_position_of(const QuickRecord& record, int32_t& latitude, int32_t& longitude) {
    return angle_of(record.data() + kLatitudeAt, 2, 'N', 'S', 90, latitude) &&
           angle_of(record.data() + kLongitudeAt, 3, 'E', 'W', 180, longitude);
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
    const uint8_t hottest =
        hottest_above == 0 ? QuickEntry::kNoTyreTemperature : hottest_above - 1;
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
