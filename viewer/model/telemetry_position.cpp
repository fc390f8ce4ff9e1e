#include "model/telemetry_position.h"

#include <cstdio>

#include "format/position_text.h"

namespace velmora {

namespace {

namespace ff = fleet::format;

static_assert(kPositionBytes == ff::kPositionTextSize);

std::string cut_text(const char* format, double value, size_t length) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return std::string(buffer).substr(0, length);
}

}  // namespace

std::optional<GpsPosition> parse_position(const std::array<char, kPositionBytes>& position) {
    const auto angles = ff::position_of_text(position.data());
    if (!angles) return std::nullopt;
    const double latitude = ff::degrees_of_angle(angles->latitude);
    const double longitude = ff::degrees_of_angle(angles->longitude);
    return GpsPosition{latitude, longitude, cut_text("%9f", latitude, 9),
                       cut_text("%10f", longitude, 10)};
}

}  // namespace velmora
