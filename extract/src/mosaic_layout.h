// Where each channel lies in the all-channel picture: the viewer's grid, one cell for a single
// channel, 2 x 2 for up to four, 3 x 3 for more (eight channels leave the last cell empty).
#pragma once

namespace ombrel {

struct CellOrigin {
    int x = 0;
    int y = 0;
};

struct MosaicLayout {
    int columns = 1;  // rows equal columns
    int cell_width = 0;
    int cell_height = 0;
    int channels = 1;  // cells in use, channel c in cell c

    int width() const { return columns * cell_width; }
    int height() const { return columns * cell_height; }
    CellOrigin origin(int channel) const {
        return {channel % columns * cell_width, channel / columns * cell_height};
    }
};

// `screen_count` channels (at most the eight a frame set carries) of cells the size of the
// job's picture, rounded up to even sizes because 4:2:0 pictures need them. Channels below
// 1 count as one.
MosaicLayout mosaic_layout(int screen_count, int picture_width, int picture_height);

}  // namespace ombrel
