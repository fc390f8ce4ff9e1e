// A picture's size in pixels, as the outputs and the stream's own fields give it.
#pragma once

namespace ombrel {

struct PictureSize {
    int width = 0;
    int height = 0;
};

}  // namespace ombrel
