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

// The digits of text[from, to) as a number; false when one is not a digit.
// Summed in a local: bytes may alias `out`, which would be stored at every digit.
bool number_of(const uint8_t* text, size_t from, size_t to, int& out) {
    int value = 0;
    for (size_t i = from; i < to; ++i) {
        if (!is_digit(text[i])) return false;
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}

// "DD" (or "DDD") "MM.MMMM" then the hemisphere letter, read as whole degrees and minutes in
// ten-thousandths; false when the text is not a position.
struct Angle {
    int whole = 0;
    int minutes = 0;
    int ten_thousandths = 0;
    bool negative = false;
};

// A place on the globe only: minutes of 60 and more, or degrees past `most`, are no position
// (the dashboard's position reader refuses them as well).
bool angle_of(const uint8_t* text, size_t degree_digits, char positive, char negative, int most,
              Angle& out) {
    const size_t point = degree_digits + 2, hemisphere = point + 5;
    const char letter = static_cast<char>(text[hemisphere]);
    out.negative = letter == negative;
    const bool read = number_of(text, 0, degree_digits, out.whole) &&
                      number_of(text, degree_digits, point, out.minutes) && text[point] == '.' &&
                      number_of(text, point + 1, hemisphere, out.ten_thousandths) &&
                      (letter == positive || letter == negative);
    return read && out.minutes < 60 &&
           (out.whole < most ||
            (out.whole == most && out.minutes == 0 && out.ten_thousandths == 0));
}

double degrees_of(const Angle& a) {
    const double degrees = a.whole + (a.minutes * 10000 + a.ten_thousandths) / 600000.0;
    // 0 - x, not -x: nought degrees west shows as 0, not -0.
    return a.negative ? 0.0 - degrees : degrees;
}

// Written in place: an optional position made aside and copied in costs a stalled load per
// record.
void decode_position(const QuickRecord& record, std::optional<QuickPosition>& out) {
    Angle latitude, longitude;
    if (!angle_of(record.data() + kLatitudeAt, 2, 'N', 'S', 90, latitude) ||
        !angle_of(record.data() + kLongitudeAt, 3, 'E', 'W', 180, longitude)) {
        out.reset();
        return;
    }
    out = QuickPosition{degrees_of(latitude), degrees_of(longitude)};
}

}  // namespace

void decode_quick_record_into(const QuickRecord& record, QuickFields& fields) {
    const uint8_t* p = record.data();
    fields.time_unit = fleet::load_u32(p + kUnitAt);
    fields.speed_kmh = fleet::load_u16(p + kSpeedAt);
    fields.temperature_c = signed_byte(p[kTemperatureAt]);
    for (size_t axis = 0; axis < 3; ++axis) fields.g[axis] = signed_byte(p[kGAt + axis]);
    const size_t count = std::min<size_t>(p[kTyreCountAt], kMostTyres);
    fields.tyres.assign_stored(p + kTyresAt, count);
    decode_position(record, fields.position);
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

QuickFields decode_quick_record(const QuickRecord& record) {
    QuickFields fields;
    decode_quick_record_into(record, fields);
    return fields;
}

}  // namespace fleet::format
