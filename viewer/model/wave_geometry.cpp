#include "model/wave_geometry.h"

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

constexpr int kColumns = WaveHistory::kSlots - 1;
constexpr int kLabelStrip = 25;   // left of x0, for the scale labels
constexpr int kLineOverhang = 5;  // the lines reach past the oldest sample
constexpr int kRightMargin = 3;   // keeps the line ends inside the widget
constexpr int kBottomMargin = 6;
constexpr int kUnits = 8;  // G 4c, speed 2c, temperature 2c
// Far outside any widget, and small enough that the conversion to int is always defined.
constexpr double kFarRow = 1 << 20;

// Pixels per value unit over a band of `band` pixels; flat when the range is empty or inverted.
double scale_of(int band, int span) {
    return span > 0 ? static_cast<double>(band) / span : 0.0;
}

// 0, 1, 2 for x, y, z.
size_t g_axis(WaveCurve curve) {
    return static_cast<size_t>(static_cast<int>(curve) - static_cast<int>(WaveCurve::Gx));
}

std::optional<double> value_of(const WaveSample& sample, WaveCurve curve) {
    switch (curve) {
        case WaveCurve::Temperature:
            if (sample.temperature) return *sample.temperature;
            return std::nullopt;
        case WaveCurve::Speed:
            if (sample.speed) return *sample.speed;
            return std::nullopt;
        case WaveCurve::Gx:
        case WaveCurve::Gy:
        case WaveCurve::Gz:
            if (sample.g) return (*sample.g)[g_axis(curve)];
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

WaveGeometry wave_geometry(int width, int height) {
    WaveGeometry g;
    // The minute must fit right of the labels: sharing the whole width into steps put the
    // oldest seconds past the right edge.
    g.step = std::max(0, (width - kLabelStrip - kLineOverhang - kRightMargin) / kColumns);
    g.x0 = kLabelStrip;
    g.x1 = g.x0 + kColumns * g.step;
    g.line_end = g.x1 + kLineOverhang;
    g.bottom = height - kBottomMargin;
    g.unit = std::max(0, (height - kBottomMargin) / kUnits);
    g.top = g.bottom - kUnits * g.unit;
    g.g_zero = g.top + 2 * g.unit;
    g.g_min = g.top + 4 * g.unit;
    g.speed_zero = g.top + 6 * g.unit;
    g.temperature_zero = g.bottom - g.unit;
    return g;
}

int wave_row(const WaveGeometry& geometry, const WaveRanges& ranges, WaveCurve curve,
             double value) {
    const int c = geometry.unit;
    int baseline = geometry.g_zero;
    double scale = scale_of(4 * c, ranges.g_max - ranges.g_min);
    if (curve == WaveCurve::Temperature) {
        // Zero sits at B - c with the maximum c above it and the minimum c below, where the
        // labels are; one scale over the whole range put -50..100 beside its labels.
        baseline = geometry.temperature_zero;
        scale =
            value >= 0 ? scale_of(c, ranges.temperature_max) : scale_of(c, -ranges.temperature_min);
    } else if (curve == WaveCurve::Speed) {
        baseline = geometry.speed_zero;
        scale = scale_of(2 * c, ranges.speed_max);
    }
    return static_cast<int>(std::clamp(baseline - value * scale, -kFarRow, kFarRow));
}

std::vector<WavePoint> wave_points(const WaveHistory& history, const WaveGeometry& geometry,
                                   const WaveRanges& ranges, WaveCurve curve) {
    std::vector<WavePoint> points;
    const int newest = history.newest();
    for (int k = newest; k >= 0; --k) {
        const std::optional<double> value = value_of(history.samples()[k], curve);
        if (!value) continue;
        points.push_back({geometry.column(newest - k), wave_row(geometry, ranges, curve, *value)});
    }
    return points;
}

std::array<WaveLabel, 8> wave_labels(const WaveGeometry& geometry, const WaveRanges& ranges) {
    const WaveGeometry& g = geometry;
    const int c = g.unit;
    // 0.8c, 0.9c and 0.5c truncated: exact in integers, as the unit is never negative.
    const int c8 = c * 8 / 10;
    const int c9 = c * 9 / 10;
    const int c5 = c / 2;
    return {{
        {ranges.g_max, g.top, g.top + c8},
        {0, g.g_zero - c5, g.g_zero + c5},
        {ranges.g_min, g.g_min - c9, g.g_min},
        {ranges.speed_max, g.g_min, g.g_min + c9},
        {0, g.speed_zero - c9, g.speed_zero},
        {ranges.temperature_max, g.speed_zero, g.speed_zero + c9},
        {0, g.temperature_zero - c5, g.temperature_zero + c5},
        {ranges.temperature_min, g.bottom - c5, g.bottom + c5},
    }};
}

}  // namespace velmora
