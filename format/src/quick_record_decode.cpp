// A quick record's bytes as the finder reads them.
#include <algorithm>
#include <charconv>

#include "common/le.h"
#include "format/find_units.h"
#include "format/index_find.h"

namespace fleet::format {
namespace {

constexpr size_t kUnitAt = 0;
constexpr size_t kSpeedAt = 4;
constexpr size_t kTemperatureAt = 6;
constexpr size_t kGAt = 8;
constexpr size_t kTyreCountAt = 12;
constexpr size_t kTyresAt = 16;
constexpr size_t kLatitudeAt = 84;
constexpr size_t kLongitudeAt = 96;
// The tyre entries end where the latitude text begins: a larger count would read the texts
// and past the record.
constexpr size_t kMostTyres = (kLatitudeAt - kTyresAt) / 2;
constexpr int kHighestTyreTemperatureByte = 185;

int8_t signed_byte(uint8_t b) {
    return static_cast<int8_t>(b);
}

bool all_digits(const uint8_t* p, size_t from, size_t to) {
    return std::all_of(p + from, p + to, [](uint8_t c) { return c >= '0' && c <= '9'; });
}

// "DD" (or "DDD") "MM.MMMM" then the hemisphere letter; degrees, negative on `negative`.
std::optional<double> degrees_of(const uint8_t* text, size_t degree_digits, char positive,
                                 char negative) {
    const size_t point = degree_digits + 2, hemisphere = point + 5;
    const char letter = static_cast<char>(text[hemisphere]);
    if (!all_digits(text, 0, point) || text[point] != '.' ||
        !all_digits(text, point + 1, hemisphere) || (letter != positive && letter != negative)) {
        return std::nullopt;
    }
    int whole = 0;
    for (size_t i = 0; i < degree_digits; ++i) whole = whole * 10 + (text[i] - '0');
    const char* minutes_text = reinterpret_cast<const char*>(text + degree_digits);
    double minutes = 0;
    std::from_chars(minutes_text, minutes_text + 7, minutes);
    const double degrees = whole + minutes / 60;
    // 0 - x, not -x: nought degrees west shows as 0, not -0.
    return letter == negative ? 0.0 - degrees : degrees;
}

std::optional<QuickPosition> position_of(const QuickRecord& record) {
    const auto latitude = degrees_of(record.data() + kLatitudeAt, 2, 'N', 'S');
    const auto longitude = degrees_of(record.data() + kLongitudeAt, 3, 'E', 'W');
    if (!latitude || !longitude) return std::nullopt;
    return QuickPosition{*latitude, *longitude};
}

QuickTyre tyre_of(const uint8_t* entry) {
    QuickTyre tyre{entry[0], std::nullopt};
    if (entry[1] <= kHighestTyreTemperatureByte) {
        tyre.temperature_c = entry[1] - kTyreTemperatureBias;
    }
    return tyre;
}

}  // namespace

QuickFields decode_quick_record(const QuickRecord& record) {
    const uint8_t* p = record.data();
    QuickFields fields;
    fields.time_unit = fleet::load_u32(p + kUnitAt);
    fields.speed_kmh = fleet::load_u16(p + kSpeedAt);
    fields.temperature_c = signed_byte(p[kTemperatureAt]);
    for (size_t axis = 0; axis < 3; ++axis) fields.g[axis] = signed_byte(p[kGAt + axis]);
    const size_t count = std::min<size_t>(p[kTyreCountAt], kMostTyres);
    fields.tyres.reserve(count);
    for (size_t i = 0; i < count; ++i) fields.tyres.push_back(tyre_of(p + kTyresAt + 2 * i));
    fields.position = position_of(record);
    return fields;
}

}  // namespace fleet::format
