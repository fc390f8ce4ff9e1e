// What the gauges show: unit names, the bar-graph frame and the gauge texts.
#include "model/gauge_texts.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

TEST(GaugeTextsTest, UnitNamesBySelector) {
    EXPECT_EQ(speed_unit_text(1), "mile/h");
    EXPECT_EQ(speed_unit_text(0), "km/h");
    EXPECT_EQ(speed_unit_text(2), "km/h");
    EXPECT_EQ(temperature_unit_text(1), "\u2109");
    EXPECT_EQ(temperature_unit_text(0), "\u2103");
    EXPECT_EQ(pressure_unit_text(1), "kpa");
    EXPECT_EQ(pressure_unit_text(0), "psi");
}

TEST(GaugeTextsTest, SpeedBarFrame) {
    const struct {
        int speed;
        int range;
        int frame;
    } cases[] = {
        {150, 150, 15}, {300, 150, 15}, {160, 150, 15}, {10, 160, 1},   {9, 160, 0},
        {0, 150, 0},    {-5, 150, 0},   {140, 160, 14}, {149, 160, 15}, {139, 160, 13},
        {50, 100, 8},   {30, 0, 0},     {30, -100, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(speed_bar_frame(c.speed, c.range), c.frame) << c.speed << " of " << c.range;
    }
}

TEST(GaugeTextsTest, GaugeTexts) {
    EXPECT_EQ(speed_gauge_text(62, 1), "Speed: 62 mile/h");
    EXPECT_EQ(speed_gauge_text(1234, 0), "Speed:1234 km/h");
    EXPECT_EQ(temperature_gauge_text(-5, 0), "Temp:-5 \u2103");
    EXPECT_EQ(temperature_gauge_text(99, 1), "Temp:99 \u2109");
    EXPECT_EQ(digital_speed_text(0, 0), "  0 km/h");
    EXPECT_EQ(digital_speed_text(100, 1), "100 mile/h");
}

TEST(GaugeTextsTest, GRowsTwoDecimals) {
    const std::array<GRow, 3> rows = g_rows(2.0, -0.125, 1.0 / 3.0);
    EXPECT_EQ(rows[0].label, "Gx : ");
    EXPECT_EQ(rows[0].value, "2.00");
    EXPECT_EQ(rows[1].label, "Gy : ");
    EXPECT_EQ(rows[1].value, "-0.12");  // -0.125 is exact: printf rounds it to even
    EXPECT_EQ(rows[2].label, "Gz : ");
    EXPECT_EQ(rows[2].value, "0.33");
}

}  // namespace
}  // namespace velmora::test
