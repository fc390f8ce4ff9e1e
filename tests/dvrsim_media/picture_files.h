// Saves test pictures where a person can look at them.
#pragma once

#include <cstdint>
#include <string>

namespace dvrsim::test_support {

// Writes DVRSIM_ARTIFACT_DIR/<name>.ppm and, when /usr/bin/ffmpeg exists, <name>.png.
// Returns the PNG path, else the PPM path, or "" when nothing could be written.
std::string save_picture(const std::string& name, const uint8_t* yuv420p, int width, int height);

}  // namespace dvrsim::test_support
