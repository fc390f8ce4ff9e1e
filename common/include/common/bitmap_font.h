// A 5x7 bitmap font for text burned into pictures: simulated recordings, channel labels,
// snapshot time stamps.
#pragma once

#include <array>
#include <cstdint>

namespace fleet {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = kGlyphWidth + 1;  // one blank column between glyphs

// Rows top to bottom; bit 4 is the leftmost column.
using Glyph = std::array<uint8_t, kGlyphHeight>;

// Digits, A-Z (lower case folds to upper case), ':', '-', '.', '/' and ' '; anything else is
// blank.
const Glyph& glyph_for(char c);

}  // namespace fleet
