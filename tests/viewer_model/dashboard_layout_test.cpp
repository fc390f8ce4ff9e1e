// The dashboard's control rectangles: exact at the design size, scaled with truncation at every
// step elsewhere.
#include "model/dashboard_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora::test {
namespace {

struct Placed {
    int id;
    ControlRect rect;
};

// The design, written out control by control.
std::vector<Placed> design_rectangles() {
    std::vector<Placed> design = {
        {12000, {45, 80, 270, 58}},    {12002, {15, 180, 300, 120}},  {33001, {825, 28, 237, 278}},
        {33006, {922, 120, 40, 80}},   {12014, {1270, 36, 145, 125}}, {12001, {1270, 164, 145, 62}},
        {12013, {1270, 229, 145, 62}}, {12016, {1418, 40, 550, 250}},
    };
    const int alarm_x[] = {355, 355, 355, 355, 426, 426, 426, 426, 497, 497};
    const int alarm_y[] = {30, 101, 172, 243, 30, 101, 172, 243, 101, 172};
    for (int i = 0; i < 10; ++i) design.push_back({12003 + i, {alarm_x[i], alarm_y[i], 64, 64}});
    for (int k = 0; k < 3; ++k) design.push_back({33002 + k, {620, 50 + 64 * k, 57, 57}});
    const int icon_x[] = {822, 872, 972, 1022};
    const int text_x[] = {690, 756, 1070, 1136};
    for (int p = 0; p < 12; ++p) {
        const int column = p % 4, row = p / 4;
        design.push_back({12017 + p, {icon_x[column], 30 + 90 * row, 40, 80}});
        design.push_back({12037 + p, {text_x[column], 30 + 90 * row, 60, 90}});
    }
    return design;
}

TEST(DashboardLayoutTest, DesignSizePlacesEveryControlExactly) {
    const std::map<int, ControlRect> layout = dashboard_layout(2009, 326);
    const std::vector<Placed> design = design_rectangles();
    EXPECT_EQ(layout.size(), design.size());
    for (const Placed& placed : design) {
        ASSERT_TRUE(layout.contains(placed.id)) << placed.id;
        EXPECT_EQ(layout.at(placed.id), placed.rect) << placed.id;
    }
}

TEST(DashboardLayoutTest, OtherSizesTruncateAtEveryStep) {
    // 1200x213: sx = 0.5973, sy = 0.6534. Scaling each design rectangle on its own would put
    // alarm 3 at y 112; the run's own steps put it at 110.
    const std::map<int, ControlRect> layout = dashboard_layout(1200, 213);
    const Placed expected[] = {
        {12003, {212, 19, 38, 42}},  {12004, {212, 65, 38, 41}},   {12005, {212, 110, 38, 41}},
        {12006, {212, 155, 38, 41}}, {12017, {490, 19, 24, 52}},   {12018, {519, 19, 23, 52}},
        {12019, {580, 19, 24, 52}},  {12020, {609, 19, 23, 52}},   {12025, {490, 135, 24, 52}},
        {12037, {412, 19, 35, 59}},  {12038, {450, 19, 35, 59}},   {12042, {450, 78, 35, 58}},
        {12048, {677, 136, 35, 58}}, {33002, {370, 32, 34, 37}},   {33004, {370, 114, 34, 37}},
        {12000, {26, 52, 162, 38}},  {12016, {846, 26, 329, 163}},
    };
    for (const Placed& placed : expected) {
        EXPECT_EQ(layout.at(placed.id), placed.rect) << placed.id;
    }
}

}  // namespace
}  // namespace velmora::test
