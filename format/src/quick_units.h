// Conversions between the units the quick records store and the ones an operator picks.
#pragma once

#include <cmath>

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

}  // namespace fleet::format
