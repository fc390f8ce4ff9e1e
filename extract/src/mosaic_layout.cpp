#include "mosaic_layout.h"

#include <algorithm>

#include "kivra/kivra.h"

namespace ombrel {
namespace {

int columns_for(int channels) {
    if (channels <= 1) return 1;
    if (channels <= 4) return 2;
    return 3;
}

int even(int n) {
    return std::max(2, (n + 1) & ~1);
}

}  // namespace

MosaicLayout mosaic_layout(int screen_count, int picture_width, int picture_height) {
    MosaicLayout layout;
    layout.channels = std::clamp(screen_count, 1, KIVRA_MAX_CHANNELS);
    layout.columns = columns_for(layout.channels);
    layout.cell_width = even(picture_width);
    layout.cell_height = even(picture_height);
    return layout;
}

}  // namespace ombrel
