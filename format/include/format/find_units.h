// Conversions between the units the quick records store and the ones an operator picks: the
// finder's thresholds and texts, and whatever else shows its rows.
#pragma once

#include <cmath>

#include "format/index_find.h"

namespace fleet::format {

inline constexpr int kTyreTemperatureBias = 40;

// Half away from zero, so that negative temperatures round like positive ones.
inline int rounded(double v) {
    return static_cast<int>(std::lround(v));
}

inline double kmh_of_mph(double mph) {
    return mph * 1.608;
}
inline double mph_of_kmh(double kmh) {
    return kmh * 0.622;
}
inline double celsius_of_fahrenheit(double f) {
    return (f - 32) * 5 / 9;
}
inline double fahrenheit_of_celsius(double c) {
    return c * 9 / 5 + 32;
}

// A speed or temperature as a row shows it, rounded.
inline int shown_speed(int kmh, const FindUnits& units) {
    return units.speed == 1 ? rounded(mph_of_kmh(kmh)) : kmh;
}
inline int shown_temperature(int celsius, const FindUnits& units) {
    return units.temperature == 1 ? rounded(fahrenheit_of_celsius(celsius)) : celsius;
}
inline double g_of_stored(int stored) {
    return stored * 2.0 / 127;
}

}  // namespace fleet::format
