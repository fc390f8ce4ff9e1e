// What the dashboard's gauges show, as text and numbers: the unit names of the three unit
// selectors, the bar-graph speedometer's frame and the texts of the speed, temperature and
// G-sensor readouts. Texts are UTF-8.
#pragma once

#include <array>
#include <string>

namespace velmora {

inline constexpr int kSpeedBarFrames = 16;  // frame 0: no bar lit, 15: all lit

// Selector 1 picks the first name: "mile/h" / "km/h", U+2109 / U+2103, "kpa" / "psi".
std::string speed_unit_text(int unit);
std::string temperature_unit_text(int unit);
std::string pressure_unit_text(int unit);

// The bar-graph frame (0..15) of a speed already in the display unit; a range of 0 or less
// lights nothing.
int speed_bar_frame(int speed, int speed_range_max);

std::string speed_gauge_text(int speed, int unit);              // "Speed:%3d %s"
std::string temperature_gauge_text(int temperature, int unit);  // "Temp:%d %s"
std::string digital_speed_text(int speed, int unit);            // "%3d %s"

// One row of the G-sensor readout: the label on the left, the value ("%.2f") on the right.
struct GRow {
    std::string label;
    std::string value;
};
std::array<GRow, 3> g_rows(double gx, double gy, double gz);

}  // namespace velmora
