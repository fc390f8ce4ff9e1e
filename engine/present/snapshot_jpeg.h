// Pieces of the snapshot writer that tests check on their own.
#pragma once

#include <cstdint>
#include <string>

namespace kivra {

// "YYYY-MM-DD HH:MM:SS" of seconds since 1970 read as UTC.
std::string utc_time_text(uint32_t seconds);

// The largest scale up to 4 (28-pixel text) whose time stamp box fits an image this wide; 1
// when none does.
int time_stamp_scale(int image_width);

}  // namespace kivra
