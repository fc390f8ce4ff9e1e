#include "common/bitmap_font.h"

#include <gtest/gtest.h>

#include <string>

namespace fleet {
namespace {

const std::string kDrawn = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ:-./";

bool blank(const Glyph& glyph) {
    for (uint8_t row : glyph) {
        if (row != 0) return false;
    }
    return true;
}

TEST(BitmapFont, EveryDrawnCharacterHasItsOwnShape) {
    for (size_t i = 0; i < kDrawn.size(); ++i) {
        EXPECT_FALSE(blank(glyph_for(kDrawn[i]))) << kDrawn[i];
        for (size_t j = 0; j < i; ++j) {
            EXPECT_NE(glyph_for(kDrawn[i]), glyph_for(kDrawn[j])) << kDrawn[i] << kDrawn[j];
        }
    }
}

TEST(BitmapFont, GlyphsStayInsideTheirFiveColumns) {
    for (char c : kDrawn) {
        for (uint8_t row : glyph_for(c)) EXPECT_EQ(row >> kGlyphWidth, 0) << c;
    }
}

TEST(BitmapFont, SpaceAndUnknownCharactersAreBlankAndLowerCaseFolds) {
    EXPECT_TRUE(blank(glyph_for(' ')));
    EXPECT_TRUE(blank(glyph_for('#')));
    EXPECT_TRUE(blank(glyph_for(static_cast<char>(0xC3))));
    EXPECT_EQ(glyph_for('h'), glyph_for('H'));
}

}  // namespace
}  // namespace fleet
