// The wave chart's arithmetic without pixels: columns and bands from the widget size, the row of
// a value on each curve, the points of a curve with gaps, and the label boxes.
#include "model/wave_geometry.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

constexpr uint32_t kStart = 1700000000;

struct SizeCase {
    int width, height;
    int step, x1, line_end, unit, top, bottom;
};

TEST(WaveGeometryTest, ColumnsAndBandsFromTheSize) {
    const SizeCase cases[] = {
        {550, 250, 8, 497, 502, 30, 4, 244}, {92, 100, 1, 84, 89, 11, 6, 94},
        {91, 100, 0, 25, 30, 11, 6, 94},  // below 92 pixels every sample is at x0
        {8, 14, 0, 25, 30, 1, 0, 8},         {0, 0, 0, 25, 30, 0, -6, -6},
        {480, 87, 7, 438, 443, 10, 1, 81},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const WaveGeometry g = wave_geometry(c.width, c.height);
        EXPECT_EQ(g.x0, 25);
        EXPECT_EQ(g.step, c.step);
        EXPECT_EQ(g.x1, c.x1);
        EXPECT_EQ(g.line_end, c.line_end);
        EXPECT_EQ(g.unit, c.unit);
        EXPECT_EQ(g.top, c.top);
        EXPECT_EQ(g.bottom, c.bottom);
        const int u = c.unit;
        EXPECT_EQ(g.lines(), (std::array<int, 6>{c.top, c.top + 2 * u, c.top + 4 * u, c.top + 6 * u,
                                                 c.bottom - u, c.bottom}));
        EXPECT_EQ(g.column(59), c.x1);
    }
}

struct RowCase {
    const char* name;
    WaveCurve curve;
    WaveRanges ranges;
    double value;
    int row;
};

// At 550x250: T = 4, c = 30, G zero 64, speed zero 184, temperature zero 214.
TEST(WaveGeometryTest, RowOfAValue) {
    const WaveRanges standard;
    const WaveRanges g8{-8, 8, 250, -50, 100};
    const RowCase cases[] = {
        {"8 g reaches the top with -8..8", WaveCurve::Gx, g8, 8.0, 4},
        {"-8 g reaches T + 4c with -8..8", WaveCurve::Gz, g8, -8.0, 124},
        {"4 g is 2c above the top with -2..2", WaveCurve::Gy, standard, 4.0, -56},
        {"0 g on its line", WaveCurve::Gx, standard, 0.0, 64},
        {"-2 g at T + 4c", WaveCurve::Gx, standard, -2.0, 124},
        {"0.01 g below a pixel truncates", WaveCurve::Gx, standard, 0.01, 63},
        {"-0.01 g truncates", WaveCurve::Gx, standard, -0.01, 64},
        {"above the top truncates towards zero", WaveCurve::Gx, standard, 4.01, -56},
        {"speed 0 on T + 6c", WaveCurve::Speed, standard, 0.0, 184},
        {"speed maximum at T + 4c", WaveCurve::Speed, standard, 250.0, 124},
        {"half the speed maximum", WaveCurve::Speed, standard, 125.0, 154},
        {"speed 1 truncates", WaveCurve::Speed, standard, 1.0, 183},
        {"speed with a 150 maximum", WaveCurve::Speed, WaveRanges{-2, 2, 150, -50, 100}, 150.0,
         124},
        {"temperature 0 on B - c", WaveCurve::Temperature, standard, 0.0, 214},
        {"temperature 100 of -50..100 beside its label", WaveCurve::Temperature, standard, 100.0,
         184},
        {"temperature -50 of -50..100 on the bottom axis", WaveCurve::Temperature, standard, -50.0,
         244},
        {"temperature 25", WaveCurve::Temperature, standard, 25.0, 206},
        {"temperature -25 halfway below zero", WaveCurve::Temperature, standard, -25.0, 229},
        {"temperature 50 of -50..50", WaveCurve::Temperature, WaveRanges{-2, 2, 250, -50, 50}, 50.0,
         184},
        {"an empty G range is flat", WaveCurve::Gx, WaveRanges{2, 2, 250, -50, 100}, 1.0, 64},
        {"a zero speed maximum is flat", WaveCurve::Speed, WaveRanges{-2, 2, 0, -50, 100}, 80.0,
         184},
        {"far off values stay defined", WaveCurve::Speed, standard, 1e300, -(1 << 20)},
    };
    const WaveGeometry geometry = wave_geometry(550, 250);
    for (const RowCase& c : cases) {
        EXPECT_EQ(wave_row(geometry, c.ranges, c.curve, c.value), c.row) << c.name;
    }
}

WaveSample sample(int second, std::optional<int> speed, std::optional<std::array<double, 3>> g) {
    return WaveSample{utc_civil_time(kStart + static_cast<uint32_t>(second)), speed, 20, g};
}

// Five seconds; the third has no speed and the fourth no G.
WaveHistory five_seconds() {
    WaveHistory history;
    history.append(sample(0, 125, std::array<double, 3>{1.0, 0.0, -1.0}));
    history.append(sample(1, 125, std::array<double, 3>{1.0, 0.0, -1.0}));
    history.append(sample(2, std::nullopt, std::array<double, 3>{1.0, 0.0, -1.0}));
    history.append(sample(3, 250, std::nullopt));
    history.append(sample(4, 0, std::array<double, 3>{2.0, -2.0, 0.5}));
    return history;
}

TEST(WaveGeometryTest, CurvePointsFromTheNewestAndAcrossGaps) {
    const WaveHistory history = five_seconds();
    const WaveGeometry g = wave_geometry(550, 250);  // step 8
    const WaveRanges ranges;
    using P = WavePoint;
    EXPECT_EQ(wave_points(history, g, ranges, WaveCurve::Speed),
              (std::vector<P>{{25, 184}, {33, 124}, {49, 154}, {57, 154}}));
    EXPECT_EQ(wave_points(history, g, ranges, WaveCurve::Gx),
              (std::vector<P>{{25, 4}, {41, 34}, {49, 34}, {57, 34}}));
    EXPECT_EQ(wave_points(history, g, ranges, WaveCurve::Gy),
              (std::vector<P>{{25, 124}, {41, 64}, {49, 64}, {57, 64}}));
    EXPECT_EQ(wave_points(history, g, ranges, WaveCurve::Gz),
              (std::vector<P>{{25, 49}, {41, 94}, {49, 94}, {57, 94}}));
    EXPECT_EQ(wave_points(history, g, ranges, WaveCurve::Temperature),
              (std::vector<P>{{25, 208}, {33, 208}, {41, 208}, {49, 208}, {57, 208}}));
}

TEST(WaveGeometryTest, NarrowChartPutsEverySampleAtTheAxis) {
    const std::vector<WavePoint> points =
        wave_points(five_seconds(), wave_geometry(91, 250), WaveRanges{}, WaveCurve::Speed);
    ASSERT_EQ(points.size(), 4u);
    for (const WavePoint& p : points) EXPECT_EQ(p.x, 25);
}

TEST(WaveGeometryTest, FullMinuteSpansFromTheAxisToTheLastColumn) {
    WaveHistory history;
    for (int i = 0; i < 75; ++i) history.append(sample(i, i, std::nullopt));
    const WaveGeometry g = wave_geometry(550, 250);
    const std::vector<WavePoint> points = wave_points(history, g, WaveRanges{}, WaveCurve::Speed);
    ASSERT_EQ(points.size(), 60u);
    EXPECT_EQ(points.front(), (WavePoint{g.x0, wave_row(g, WaveRanges{}, WaveCurve::Speed, 74)}));
    EXPECT_EQ(points.back(), (WavePoint{g.x1, wave_row(g, WaveRanges{}, WaveCurve::Speed, 15)}));
}

TEST(WaveGeometryTest, EmptyHistoryHasNoPoints) {
    const WaveGeometry g = wave_geometry(550, 250);
    for (const WaveCurve curve : kWaveCurves) {
        EXPECT_TRUE(wave_points(WaveHistory{}, g, WaveRanges{}, curve).empty());
    }
}

// At 550x250, c = 30: 0.8c = 24, 0.9c = 27, 0.5c = 15.
TEST(WaveGeometryTest, LabelBoxes) {
    using L = WaveLabel;
    EXPECT_EQ(
        wave_labels(wave_geometry(550, 250), WaveRanges{}),
        (std::array<L, 8>{L{2, 4, 28}, L{0, 49, 79}, L{-2, 97, 124}, L{250, 124, 151},
                          L{0, 157, 184}, L{100, 184, 211}, L{0, 199, 229}, L{-50, 229, 259}}));
    // c = 11: 0.8c = 8, 0.9c = 9, 0.5c = 5.
    EXPECT_EQ(wave_labels(wave_geometry(300, 100), WaveRanges{-8, 8, 150, -20, 50}),
              (std::array<L, 8>{L{8, 6, 14}, L{0, 23, 33}, L{-8, 41, 50}, L{150, 50, 59},
                                L{0, 63, 72}, L{50, 72, 81}, L{0, 78, 88}, L{-20, 89, 99}}));
}

}  // namespace
}  // namespace velmora::test
