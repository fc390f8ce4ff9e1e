#include <gtest/gtest.h>

#include "present/presenter.h"

namespace kivra {
namespace {

struct CellCase {
    int layout, position, width, height;
    bool valid;
    CellRect expected;
};

class CellRectTest : public ::testing::TestWithParam<CellCase> {};

TEST_P(CellRectTest, PlacesCell) {
    const CellCase& c = GetParam();
    CellRect rect{-1, -1, -1, -1};
    ASSERT_EQ(cell_rect(c.layout, c.position, c.width, c.height, rect), c.valid);
    if (!c.valid) return;
    EXPECT_EQ(rect.left, c.expected.left);
    EXPECT_EQ(rect.top, c.expected.top);
    EXPECT_EQ(rect.width, c.expected.width);
    EXPECT_EQ(rect.height, c.expected.height);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CellRectTest,
    ::testing::Values(
        CellCase{1, 0, 900, 600, true, {0, 0, 900, 600}}, CellCase{1, 1, 900, 600, false, {}},
        CellCase{1, 8, 900, 600, false, {}}, CellCase{1, -1, 900, 600, false, {}},
        CellCase{4, 0, 800, 600, true, {0, 0, 400, 300}},
        CellCase{4, 1, 800, 600, true, {400, 0, 400, 300}},
        CellCase{4, 2, 800, 600, true, {0, 300, 400, 300}},
        CellCase{4, 3, 800, 600, true, {400, 300, 400, 300}},
        CellCase{4, 3, 801, 601, true, {400, 300, 400, 300}},  // odd remainders stay unused
        CellCase{4, 4, 800, 600, false, {}}, CellCase{9, 0, 900, 600, true, {0, 0, 300, 200}},
        CellCase{9, 7, 900, 600, true, {300, 400, 300, 200}},
        CellCase{9, 8, 900, 600, true, {600, 400, 300, 200}},
        CellCase{9, 5, 1000, 700, true, {666, 233, 333, 233}}, CellCase{9, 9, 900, 600, false, {}},
        CellCase{9, -1, 900, 600, false, {}}, CellCase{9, 4, 0, 0, true, {0, 0, 0, 0}},
        CellCase{9, 4, 2, 2, true, {0, 0, 0, 0}}, CellCase{4, 0, -1, 600, false, {}},
        CellCase{0, 0, 900, 600, false, {}}, CellCase{2, 0, 900, 600, false, {}},
        CellCase{16, 0, 900, 600, false, {}}));

}  // namespace
}  // namespace kivra
