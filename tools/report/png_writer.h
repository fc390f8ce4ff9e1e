// PNG files of composed canvases, for tools and test artifacts.
#pragma once

#include <cstdint>
#include <string>

namespace fleet {

// Writes a picture of 32-bit B, G, R, X pixels (X ignored) as an RGB PNG. False on any failure,
// including the file write.
bool write_png(const std::string& path, const uint8_t* bgrx, int width, int height, int stride);

}  // namespace fleet
