#include "present/label.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bitmap_font.h"
#include "present/snapshot_jpeg.h"

namespace kivra {
namespace {

struct ScaleCase {
    const char* text;
    int x, y, width, height;
    int expected;
};

class LabelScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(LabelScaleTest, FitsCorner) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(label_scale(c.text, c.x, c.y, c.width, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, LabelScaleTest,
    ::testing::Values(ScaleCase{"C1", 136, 124, 176, 144, 1},      // QCIF
                      ScaleCase{"C1", 312, 268, 352, 288, 2},      // CIF: 26x18 box in 40x20
                      ScaleCase{"C1", 664, 556, 704, 576, 2},      // D1: 4 would not fit
                      ScaleCase{"C1", 600, 460, 640, 480, 2},      // VGA
                      ScaleCase{"C8", 1240, 700, 1280, 720, 2},    // 3 would be 21 rows tall
                      ScaleCase{"C8", 1880, 1060, 1920, 1080, 2},  // 4 would too
                      ScaleCase{"C8", 0, 0, 1920, 1080, 9},
                      ScaleCase{"C8", 0, 0, 40, 1080, 3},  // 13 * scale columns wide
                      ScaleCase{"C1", 0, 0, 100, 100, 1},
                      ScaleCase{"C1", 50, 50, 60, 60, 1}));  // clipped, never below 1

TEST(LabelGeometry, BoxAroundText) {
    TextBox box = text_box("C1", 10, 20, 2, 2);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 20);
    EXPECT_EQ(box.width, 22 + 4);
    EXPECT_EQ(box.height, 14 + 4);
    EXPECT_EQ(box.text_left, 12);
    EXPECT_EQ(box.text_top, 22);
}

// Every pixel of a drawn text matches the font's bit at that place, at each scale.
TEST(DrawTextRgb, MatchesGlyphBits) {
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE(scale);
        const std::string text = "C1";
        const int width = 40, height = 30, x = 3, y = 4;
        std::vector<uint8_t> rgb(width * height * 3, 77);
        draw_text_rgb(rgb.data(), width, height, text, x, y, scale, Rgb{1, 2, 3}, Rgb{9, 8, 7});
        TextBox box = text_box(text, x, y, scale, scale);
        for (int py = 0; py < height; ++py) {
            for (int px = 0; px < width; ++px) {
                const uint8_t* pixel = &rgb[(py * width + px) * 3];
                int expected_r = 77;
                bool inside = px >= box.left && px < box.left + box.width && py >= box.top &&
                              py < box.top + box.height;
                if (inside) {
                    expected_r = 9;
                    int tx = px - box.text_left, ty = py - box.text_top;
                    int text_width =
                        (static_cast<int>(text.size()) * fleet::kGlyphAdvance - 1) * scale;
                    if (tx >= 0 && ty >= 0 && tx < text_width && ty < fleet::kGlyphHeight * scale) {
                        int column = tx / scale % fleet::kGlyphAdvance;
                        char c = text[static_cast<size_t>(tx / scale / fleet::kGlyphAdvance)];
                        if (column < fleet::kGlyphWidth &&
                            (fleet::glyph_for(c)[static_cast<size_t>(ty / scale)] >>
                             (fleet::kGlyphWidth - 1 - column)) &
                                1) {
                            expected_r = 1;
                        }
                    }
                }
                ASSERT_EQ(pixel[0], expected_r) << "at " << px << "," << py;
            }
        }
    }
}

TEST(DrawTextRgb, ClipsAtEveryEdge) {
    const int width = 8, height = 6;
    std::vector<uint8_t> rgb(width * height * 3 + 3, 0);
    rgb.back() = 0xAB;  // guard after the image
    for (int x : {-20, -3, 5, 7, 8, 100}) {
        for (int y : {-20, -3, 4, 5, 6, 100}) {
            draw_text_rgb(rgb.data(), width, height, "C8", x, y, 2, Rgb{255, 255, 255},
                          Rgb{0, 0, 0});
        }
    }
    EXPECT_EQ(rgb.back(), 0xAB);
}

TEST(BurnLabel, GreenInkOnBlueBox) {
    const int width = 64, height = 32;
    const int chroma_width = width / 2, chroma_height = height / 2;
    std::vector<uint8_t> y(width * height, 100), u(chroma_width * chroma_height, 128),
        v(chroma_width * chroma_height, 128);
    Yv12Planes picture{y.data(), u.data(), v.data(), width, chroma_width, width, height};
    burn_label(picture, "C1", 24, 12);  // scale 1: box 13x9 at (24, 12), text from (25, 13)

    EXPECT_EQ(y[12 * width + 24], 41);  // box corner: blue
    EXPECT_EQ(u[6 * chroma_width + 12], 240);
    EXPECT_EQ(v[6 * chroma_width + 12], 110);
    EXPECT_EQ(y[13 * width + 26], 145);  // top of the 'C': green
    EXPECT_EQ(u[6 * chroma_width + 13], 54);
    EXPECT_EQ(v[6 * chroma_width + 13], 34);
    EXPECT_EQ(y[13 * width + 25], 41);   // the 'C' has no top left corner
    EXPECT_EQ(y[11 * width + 24], 100);  // outside the box: untouched
    EXPECT_EQ(y[12 * width + 37], 100);
    EXPECT_EQ(u[5 * chroma_width + 12], 128);
    EXPECT_EQ(u[6 * chroma_width + 19], 128);
}

TEST(BurnLabel, ClipsToPicture) {
    const int width = 10, height = 6;
    std::vector<uint8_t> y(width * height + 1, 100), u(5 * 3 + 1, 128), v(5 * 3 + 1, 128);
    y.back() = u.back() = v.back() = 0xAB;
    Yv12Planes picture{y.data(), u.data(), v.data(), width, 5, width, height};
    for (int x : {-30, -5, 0, 6, 9, 10})
        for (int py : {-30, -5, 0, 3, 5, 6}) burn_label(picture, "C8", x, py);
    EXPECT_EQ(y.back(), 0xAB);
    EXPECT_EQ(u.back(), 0xAB);
    EXPECT_EQ(v.back(), 0xAB);
}

struct TimeCase {
    uint32_t seconds;
    const char* text;
};

class UtcTimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(UtcTimeTextTest, Formats) {
    EXPECT_EQ(utc_time_text(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Times, UtcTimeTextTest,
                         ::testing::Values(TimeCase{0, "1970-01-01 00:00:00"},
                                           TimeCase{946684800, "2000-01-01 00:00:00"},
                                           TimeCase{951782400, "2000-02-29 00:00:00"},
                                           TimeCase{1700000000, "2023-11-14 22:13:20"},
                                           TimeCase{4294967295u, "2106-02-07 06:28:15"}));

struct StampScaleCase {
    int width, expected;
};

class TimeStampScaleTest : public ::testing::TestWithParam<StampScaleCase> {};

TEST_P(TimeStampScaleTest, FitsWidth) {
    EXPECT_EQ(time_stamp_scale(GetParam().width), GetParam().expected);
}

// The box of 19 characters is (19 * 6 - 1) * scale + 2 * scale wide.
INSTANTIATE_TEST_SUITE_P(Widths, TimeStampScaleTest,
                         ::testing::Values(StampScaleCase{1920, 4}, StampScaleCase{460, 4},
                                           StampScaleCase{459, 3}, StampScaleCase{345, 3},
                                           StampScaleCase{344, 2}, StampScaleCase{230, 2},
                                           StampScaleCase{229, 1}, StampScaleCase{10, 1}));

}  // namespace
}  // namespace kivra
