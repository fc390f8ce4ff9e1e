// Which part of the engine's canvas a snapshot takes: all of the video area, or the cell of the
// channel under the pointer. Coordinates are canvas pixels, the engine's own, so a cell here is
// exactly the cell the engine draws that channel in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace velmora {

struct CaptureArea {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    // {left, top, right, bottom}, as snapshot command 9 takes it.
    std::array<int32_t, 4> rect() const { return {left, top, right, bottom}; }
    bool operator==(const CaptureArea&) const = default;
};

// The whole video area of a width x height canvas.
CaptureArea video_area(int width, int height);

// True when one channel is drawn over the whole video area: one chosen full-screen (index
// 1..8), or a recording of a single channel.
bool one_channel_fills_area(int screen_count, int full_screen_index);

// The area of the channel under (x, y) of a width x height canvas: the whole canvas when one
// channel fills it; otherwise the grid cell under the point, 2 x 2 when the screen count is 4
// or the division shows four channels (1 or 2), else 3 x 3, cells of integer size in reading
// order of which the first eight hold channels. Nothing when the screen count is unknown (-1),
// the point is outside every channel's cell or the canvas is empty.
std::optional<CaptureArea> channel_area(int width, int height, int x, int y, int screen_count,
                                        int division, int full_screen_index);

}  // namespace velmora
