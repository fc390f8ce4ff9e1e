// The picture size of every channel of one decoded GOP. FrameSet, whose layout hosts share,
// carries one width and height for all channels, but recorders write channels at different
// sizes (D1 on the first, CIF on the rest), so the engine keeps these beside each FrameSet.
#pragma once

#include <array>
#include <cstdint>

#include "kivra/kivra.h"

namespace kivra {

struct PictureSize {
    int32_t width = 0;  // 0 x 0: no picture of the channel decoded
    int32_t height = 0;
    bool known() const { return width > 0 && height > 0; }
};

using ChannelSizes = std::array<PictureSize, KIVRA_MAX_CHANNELS>;

}  // namespace kivra
