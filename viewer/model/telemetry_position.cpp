#include "model/telemetry_position.h"

#include <cstdio>
#include <string_view>

namespace velmora {

namespace {

constexpr size_t kLatitudeChars = 10;
constexpr int kFractionDigits = 4;
constexpr int kTenThousandths = 10000;

std::optional<int> digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "<degree digits>mm.mmmm<hemisphere>" to signed degrees. Minutes are kept in ten-thousandths
// so that 59.9952 stays exact until the one division.
std::optional<double> parse_coordinate(std::string_view text, size_t degree_digits, char positive,
                                       char negative) {
    const size_t point = degree_digits + 2;
    if (text.size() != point + 1 + kFractionDigits + 1 || text[point] != '.') return std::nullopt;
    const auto degrees = digits(text.substr(0, degree_digits));
    const auto whole_minutes = digits(text.substr(degree_digits, 2));
    const auto fraction = digits(text.substr(point + 1, kFractionDigits));
    const char hemisphere = text.back();
    if (!degrees || !whole_minutes || !fraction) return std::nullopt;
    if (hemisphere != positive && hemisphere != negative) return std::nullopt;
    // A minute count of 60 or more is no position a receiver gives; it is damage.
    if (*whole_minutes >= 60) return std::nullopt;
    const int minutes = *whole_minutes * kTenThousandths + *fraction;
    const double value = *degrees + minutes / (60.0 * kTenThousandths);
    return hemisphere == negative ? -value : value;
}

std::string cut_text(const char* format, double value, size_t length) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return std::string(buffer).substr(0, length);
}

}  // namespace

std::optional<GpsPosition> parse_position(const std::array<char, kPositionBytes>& position) {
    const std::string_view all(position.data(), position.size());
    const auto latitude = parse_coordinate(all.substr(0, kLatitudeChars), 2, 'N', 'S');
    const auto longitude = parse_coordinate(all.substr(kLatitudeChars), 3, 'E', 'W');
    if (!latitude || !longitude) return std::nullopt;
    return GpsPosition{*latitude, *longitude, cut_text("%9f", *latitude, 9),
                       cut_text("%10f", *longitude, 10)};
}

}  // namespace velmora
