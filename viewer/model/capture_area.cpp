#include "model/capture_area.h"

#include "kivra/kivra.h"

namespace velmora {

namespace {

constexpr int kFourScreens = 4;
constexpr int kGridChannels = 8;  // the ninth cell of the 3 x 3 grid shows no channel

int cells_per_side(int screen_count, int division) {
    const bool four = screen_count == kFourScreens || division == KIVRA_DIVISION_FIRST_FOUR ||
                      division == KIVRA_DIVISION_LAST_FOUR;
    return four ? 2 : 3;
}

}  // namespace

CaptureArea video_area(int width, int height) {
    return {0, 0, width, height};
}

bool one_channel_fills_area(int screen_count, int full_screen_index) {
    return full_screen_index > KIVRA_FULL_SCREEN_GRID || screen_count == 1;
}

std::optional<CaptureArea> channel_area(int width, int height, int x, int y, int screen_count,
                                        int division, int full_screen_index) {
    if (screen_count < 0 || width <= 0 || height <= 0) return std::nullopt;
    if (one_channel_fills_area(screen_count, full_screen_index)) return video_area(width, height);
    const int per_side = cells_per_side(screen_count, division);
    const int cell_width = width / per_side;
    const int cell_height = height / per_side;
    if (cell_width == 0 || cell_height == 0 || x < 0 || y < 0) return std::nullopt;
    const int column = x / cell_width;
    const int row = y / cell_height;
    if (column >= per_side || row >= per_side) return std::nullopt;
    if (row * per_side + column >= kGridChannels) return std::nullopt;
    const int left = column * cell_width;
    const int top = row * cell_height;
    return CaptureArea{left, top, left + cell_width, top + cell_height};
}

}  // namespace velmora
