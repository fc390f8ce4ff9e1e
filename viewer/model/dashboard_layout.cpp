#include "model/dashboard_layout.h"

#include <cstddef>
#include <vector>

namespace velmora {

namespace {

// Equal items along one axis, in design pixels.
struct DesignRun {
    int origin;
    int size;
    int gap = 0;
    int count = 1;
};

// A grid of equal controls; the id grows by id_step_x to the right and id_step_y downwards.
struct DesignBlock {
    int first_id;
    DesignRun x;
    DesignRun y;
    int id_step_x = 1;
    int id_step_y = 1;
};

// Tyre position p sits in column p mod 4, row p div 4; ids follow the positions.
constexpr int kTyreRowStep = 4;
constexpr DesignRun kTyreTextRows{30, 90, 0, 3};
constexpr DesignRun kTyreIconRows{30, 80, 10, 3};

const DesignBlock kDesign[] = {
    {dash_id::kSpeedBar, {45, 270}, {80, 270 * 70 / 325}},
    {dash_id::kDigitalSpeed, {15, 300}, {180, 120}},
    {dash_id::kFirstAlarm, {355, 64}, {30, 64, 7, 4}},
    {dash_id::kFirstAlarm + 4, {426, 64}, {30, 64, 7, 4}},
    {dash_id::kFirstAlarm + 8, {497, 64}, {101, 64, 7, 2}},
    {dash_id::kFirstUnitSelector, {620, 57}, {50, 57, 7, 3}},
    {dash_id::kUnitOutline, {825, 237}, {28, 278}},
    {dash_id::kFirstTyreText, {690, 60, 6, 2}, kTyreTextRows, 1, kTyreRowStep},
    {dash_id::kFirstTyreIcon, {822, 40, 10, 2}, kTyreIconRows, 1, kTyreRowStep},
    {dash_id::kRepeater, {922, 40}, {120, 80}},
    {dash_id::kFirstTyreIcon + 2, {972, 40, 10, 2}, kTyreIconRows, 1, kTyreRowStep},
    {dash_id::kFirstTyreText + 2, {1070, 60, 6, 2}, kTyreTextRows, 1, kTyreRowStep},
    {dash_id::kGReadout, {1270, 145}, {36, 125}},
    {dash_id::kSpeedText, {1270, 145}, {164, 62}},
    {dash_id::kTemperatureText, {1270, 145}, {229, 62}},
    {dash_id::kWaveChart, {1418, 550}, {40, 250}},
};

struct Span {
    int origin;
    int size;
};

// The first item spans its truncated scaled origin to its truncated scaled far edge; each next
// one starts at the truncated sum of the previous far edge and the scaled gap.
std::vector<Span> scaled_run(const DesignRun& run, double scale) {
    std::vector<Span> spans;
    int origin = static_cast<int>(run.origin * scale);
    int far = static_cast<int>((run.origin + run.size) * scale);
    for (int i = 0; i < run.count; ++i) {
        if (i > 0) {
            origin = static_cast<int>(far + run.gap * scale);
            far = static_cast<int>(origin + run.size * scale);
        }
        spans.push_back({origin, far - origin});
    }
    return spans;
}

void place_block(const DesignBlock& block, double sx, double sy,
                 std::map<int, ControlRect>& rects) {
    const std::vector<Span> columns = scaled_run(block.x, sx);
    const std::vector<Span> rows = scaled_run(block.y, sy);
    for (size_t row = 0; row < rows.size(); ++row) {
        for (size_t column = 0; column < columns.size(); ++column) {
            const int id = block.first_id + static_cast<int>(column) * block.id_step_x +
                           static_cast<int>(row) * block.id_step_y;
            rects[id] = ControlRect{columns[column].origin, rows[row].origin, columns[column].size,
                                    rows[row].size};
        }
    }
}

}  // namespace

std::map<int, ControlRect> dashboard_layout(int width, int height) {
    const double sx = width / static_cast<double>(kDashboardDesignWidth);
    const double sy = height / static_cast<double>(kDashboardDesignHeight);
    std::map<int, ControlRect> rects;
    for (const DesignBlock& block : kDesign) place_block(block, sx, sy, rects);
    return rects;
}

}  // namespace velmora
