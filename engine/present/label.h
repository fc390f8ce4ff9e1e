// Text burned into pictures with the 5x7 bitmap font: channel labels into YV12 pictures before
// scaling, time stamps into RGB snapshots.
#pragma once

#include <cstdint>
#include <string_view>

namespace kivra {

// A label's box (text plus margin) and where its text starts, in picture pixels. May reach
// outside the picture; drawing clips.
struct TextBox {
    int left = 0, top = 0, width = 0, height = 0;
    int text_left = 0, text_top = 0;
    int scale = 1;
};

TextBox text_box(std::string_view text, int x, int y, int scale, int margin);

enum class TextPixel { outside, box, ink };
TextPixel text_pixel(const TextBox& box, std::string_view text, int px, int py);

// Scale of a channel label for a picture height: 7 rows of text per 120 picture rows, at
// least 1, and smaller again while the box would run past the picture's right or bottom edge
// from (x, y). A label placed 40x20 from the lower right corner thus gets scale 2 (a 26x18
// box) from 240 rows up: 7-row text turns to mush once a CIF picture shrinks into a cell.
int label_scale(std::string_view text, int x, int y, int width, int height);

// A YV12 picture in memory this module owns: chroma planes of (width + 1) / 2 x
// (height + 1) / 2.
struct Yv12Planes {
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    int y_stride = 0, chroma_stride = 0;
    int width = 0, height = 0;
};

// Green text on a blue box at (x, y), clipped to the picture. A chroma sample shared by ink and
// box pixels takes the ink colour, so thin strokes stay green instead of a green-blue mix.
void burn_label(const Yv12Planes& picture, std::string_view text, int x, int y);

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// Packed RGB text with a margin of one scale unit around it, clipped to the image.
void draw_text_rgb(uint8_t* rgb, int width, int height, std::string_view text, int x, int y,
                   int scale, Rgb ink, Rgb background);

}  // namespace kivra
