// The recorder's GPS position: latitude "ddmm.mmmm" + N/S, then longitude "dddmm.mmmm" + E/W,
// 21 characters without a terminator.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/telemetry_snapshot.h"

namespace velmora {

struct GpsPosition {
    double latitude = 0;         // degrees, negative south
    double longitude = 0;        // degrees, negative west
    std::string latitude_text;   // "%9f" cut to 9 characters
    std::string longitude_text;  // "%10f" cut to 10 characters
};

// Nothing for any other layout, a wrong hemisphere letter, minutes of 60 and more, or degrees
// past the poles or the date line (fleet::format::position_of_text).
std::optional<GpsPosition> parse_position(const std::array<char, kPositionBytes>& position);

}  // namespace velmora
