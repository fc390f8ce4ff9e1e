// Where the wave chart puts its lines, labels and curve points, in whole pixels of the widget.
// The chart has one time axis and five curves, each in a horizontal band with its own scale:
// G from the top to T + 4c (zero at T + 2c), speed from T + 4c to T + 6c (zero at the bottom),
// temperature from T + 6c to the bottom axis (zero at B - c, each side scaled to its end).
#pragma once

#include <array>
#include <vector>

#include "model/wave_history.h"

namespace velmora {

struct WaveGeometry {
    int step = 0;              // pixels from one second to the one before
    int x0 = 0;                // the newest sample and the vertical axis
    int x1 = 0;                // the oldest sample
    int line_end = 0;          // where the horizontal lines stop
    int unit = 0;              // c: a quarter of the G band, half of the speed band
    int top = 0;               // T
    int bottom = 0;            // B, the bottom axis
    int g_zero = 0;            // T + 2c
    int g_min = 0;             // T + 4c, also the speed maximum
    int speed_zero = 0;        // T + 6c, also the temperature maximum
    int temperature_zero = 0;  // B - c

    // The horizontal lines from top to bottom.
    std::array<int, 6> lines() const {
        return {top, g_zero, g_min, speed_zero, temperature_zero, bottom};
    }
    // The column of the sample `age` seconds older than the newest.
    int column(int age) const { return x0 + age * step; }
};

WaveGeometry wave_geometry(int width, int height);

enum class WaveCurve { Temperature, Speed, Gx, Gy, Gz };
// In the order they are drawn: later curves over earlier ones.
inline constexpr std::array<WaveCurve, 5> kWaveCurves = {
    WaveCurve::Temperature, WaveCurve::Speed, WaveCurve::Gx, WaveCurve::Gy, WaveCurve::Gz};

// The row of a value on a curve: baseline minus value times the band's scale, in double
// precision, truncated to whole pixels. Values beyond the range land outside the band.
int wave_row(const WaveGeometry& geometry, const WaveRanges& ranges, WaveCurve curve, double value);

struct WavePoint {
    int x = 0;
    int y = 0;
    bool operator==(const WavePoint&) const = default;
};

// The curve's points from the newest sample (at x0) to the oldest; samples without that value
// are left out, so the line joins the valid ones on either side of a gap.
std::vector<WavePoint> wave_points(const WaveHistory& history, const WaveGeometry& geometry,
                                   const WaveRanges& ranges, WaveCurve curve);

// A scale value written in the strip left of x0, right-aligned and centred in [top, bottom].
struct WaveLabel {
    int value = 0;
    int top = 0;
    int bottom = 0;
    bool operator==(const WaveLabel&) const = default;
};

// From the top: G maximum, G zero, G minimum, speed maximum, speed zero, temperature maximum,
// temperature zero, temperature minimum.
std::array<WaveLabel, 8> wave_labels(const WaveGeometry& geometry, const WaveRanges& ranges);

}  // namespace velmora
