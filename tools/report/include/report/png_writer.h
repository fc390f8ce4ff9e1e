// PNG files of composed canvases, for tools and test artifacts.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.h"

namespace fleet {

// Writes a picture of 32-bit B, G, R, X pixels (X ignored) as an RGB PNG; on any failure,
// including the file write, says what failed and leaves no file behind.
Status write_png(const std::string& path, const uint8_t* bgrx, int width, int height, int stride);

}  // namespace fleet
