// The recorder's position texts, as frame sets and quick records carry them: latitude
// "DDMM.MMMM" + N/S (10 characters) followed by longitude "DDDMM.MMMM" + E/W (11), without a
// terminator. One parser for the dashboard, the finder and the export's sidecars, so all of
// them put a recording on the same place of the globe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/le.h"

namespace fleet::format {

inline constexpr size_t kLatitudeTextSize = 10;
inline constexpr size_t kLongitudeTextSize = 11;
inline constexpr size_t kPositionTextSize = kLatitudeTextSize + kLongitudeTextSize;

// Angles in ten-thousandths of a minute, negative south and west: whole numbers, so a stored
// 59.9952 minutes stays exact until the one division of degrees_of_angle.
struct PositionAngles {
    int32_t latitude = 0;
    int32_t longitude = 0;
};

// One division, so the degrees are the nearest double to the stored angle.
inline double degrees_of_angle(int32_t ten_thousandths_of_minute) {
    return ten_thousandths_of_minute / 600000.0;
}

namespace position_detail {

inline bool is_digit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Eight ASCII digits, the first in the lowest byte, as a number; false when one is not a
// digit. Done a word at a time: the finder's first read parses two positions per record.
inline bool eight_digits(uint64_t text, uint32_t& out) {
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
inline bool ten_thousandths_of_text(const uint8_t* text, size_t degree_digits, int32_t& out) {
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

// The angle then the hemisphere letter, negative for `negative`. A place on the globe only:
// minutes of 60 and more, or degrees past `most`, are damage, not a position.
inline bool angle_of(const uint8_t* text, size_t degree_digits, char positive, char negative,
                     int most, int32_t& out) {
    const char letter = static_cast<char>(text[degree_digits + 7]);
    if ((letter != positive && letter != negative) ||
        !ten_thousandths_of_text(text, degree_digits, out) || out > most * 600000) {
        return false;
    }
    if (letter == negative) out = -out;
    return true;
}

}  // namespace position_detail

// `text` holds kLatitudeTextSize bytes; false when they are not a latitude.
inline bool latitude_of_text(const uint8_t* text, int32_t& out) {
    return position_detail::angle_of(text, 2, 'N', 'S', 90, out);
}

// `text` holds kLongitudeTextSize bytes; false when they are not a longitude.
inline bool longitude_of_text(const uint8_t* text, int32_t& out) {
    return position_detail::angle_of(text, 3, 'E', 'W', 180, out);
}

// `text` holds kPositionTextSize bytes; nothing when either part is not a place on the globe
// (a recorder without a fix writes spaces or zero bytes).
inline std::optional<PositionAngles> position_of_text(const char* text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    PositionAngles angles;
    if (!latitude_of_text(bytes, angles.latitude) ||
        !longitude_of_text(bytes + kLatitudeTextSize, angles.longitude)) {
        return std::nullopt;
    }
    return angles;
}

}  // namespace fleet::format
