#include "model/gauge_texts.h"

#include <cstdio>

namespace velmora {

namespace {

constexpr const char* kFahrenheitSign = "\u2109";
constexpr const char* kCelsiusSign = "\u2103";

template <typename... Args>
std::string formatted(const char* format, Args... args) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

}  // namespace

std::string speed_unit_text(int unit) {
    return unit == 1 ? "mile/h" : "km/h";
}

std::string temperature_unit_text(int unit) {
    return unit == 1 ? kFahrenheitSign : kCelsiusSign;
}

std::string pressure_unit_text(int unit) {
    return unit == 1 ? "kpa" : "psi";
}

int speed_bar_frame(int speed, int speed_range_max) {
    if (speed_range_max <= 0) return 0;
    const double frame = static_cast<double>(speed) * kSpeedBarFrames / speed_range_max;
    if (frame <= 0.0) return 0;
    // Above 14 the last bar lights too, so the range's top lights all of them.
    if (frame > kSpeedBarFrames - 2) return kSpeedBarFrames - 1;
    return static_cast<int>(frame);
}

std::string speed_gauge_text(int speed, int unit) {
    return formatted("Speed:%3d %s", speed, speed_unit_text(unit).c_str());
}

std::string temperature_gauge_text(int temperature, int unit) {
    return formatted("Temp:%d %s", temperature, temperature_unit_text(unit).c_str());
}

std::string digital_speed_text(int speed, int unit) {
    return formatted("%3d %s", speed, speed_unit_text(unit).c_str());
}

std::array<GRow, 3> g_rows(double gx, double gy, double gz) {
    return {GRow{"Gx : ", formatted("%.2f", gx)}, GRow{"Gy : ", formatted("%.2f", gy)},
            GRow{"Gz : ", formatted("%.2f", gz)}};
}

}  // namespace velmora
