#include "present/label.h"

#include <algorithm>
#include <cstddef>

#include "common/bitmap_font.h"

namespace kivra {
namespace {

struct Yuv {
    uint8_t y, u, v;
};

// BT.601 limited range, the same matrix libswscale applies on the way back to RGB.
constexpr Yuv to_yuv(double r, double g, double b) {
    auto round = [](double value) { return static_cast<uint8_t>(value + 0.5); };
    return {round(16.0 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0),
            round(128.0 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0),
            round(128.0 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0)};
}

constexpr Yuv kInk = to_yuv(0, 255, 0);
constexpr Yuv kBox = to_yuv(0, 0, 255);

int text_width(std::string_view text, int scale) {
    if (text.empty()) return 0;
    return (static_cast<int>(text.size()) * fleet::kGlyphAdvance - 1) * scale;
}

}  // namespace

TextBox text_box(std::string_view text, int x, int y, int scale, int margin) {
    TextBox box;
    box.scale = scale;
    box.left = x;
    box.top = y;
    box.width = text_width(text, scale) + 2 * margin;
    box.height = fleet::kGlyphHeight * scale + 2 * margin;
    box.text_left = x + margin;
    box.text_top = y + margin;
    return box;
}

TextPixel text_pixel(const TextBox& box, std::string_view text, int px, int py) {
    if (px < box.left || py < box.top || px >= box.left + box.width || py >= box.top + box.height) {
        return TextPixel::outside;
    }
    int tx = px - box.text_left;
    int ty = py - box.text_top;
    if (tx < 0 || ty < 0 || tx >= text_width(text, box.scale) ||
        ty >= fleet::kGlyphHeight * box.scale) {
        return TextPixel::box;
    }
    int gx = tx / box.scale;
    int column = gx % fleet::kGlyphAdvance;
    if (column >= fleet::kGlyphWidth) return TextPixel::box;
    const fleet::Glyph& glyph =
        fleet::glyph_for(text[static_cast<size_t>(gx / fleet::kGlyphAdvance)]);
    bool ink =
        (glyph[static_cast<size_t>(ty / box.scale)] >> (fleet::kGlyphWidth - 1 - column)) & 1;
    return ink ? TextPixel::ink : TextPixel::box;
}

int label_scale(std::string_view text, int x, int y, int width, int height) {
    int scale = std::max(1, height / 120);
    while (scale > 1) {
        TextBox box = text_box(text, x, y, scale, scale);
        if (box.left + box.width <= width && box.top + box.height <= height) break;
        --scale;
    }
    return scale;
}

void burn_label(const Yv12Planes& picture, std::string_view text, int x, int y) {
    if (text.empty()) return;
    int scale = label_scale(text, x, y, picture.width, picture.height);
    TextBox box = text_box(text, x, y, scale, scale);
    int left = std::max(box.left, 0);
    int top = std::max(box.top, 0);
    int right = std::min(box.left + box.width, picture.width);
    int bottom = std::min(box.top + box.height, picture.height);
    if (left >= right || top >= bottom) return;

    for (int py = top; py < bottom; ++py) {
        uint8_t* row = picture.y + static_cast<ptrdiff_t>(py) * picture.y_stride;
        for (int px = left; px < right; ++px) {
            row[px] = text_pixel(box, text, px, py) == TextPixel::ink ? kInk.y : kBox.y;
        }
    }
    for (int cy = top / 2; cy <= (bottom - 1) / 2; ++cy) {
        uint8_t* u_row = picture.u + static_cast<ptrdiff_t>(cy) * picture.chroma_stride;
        uint8_t* v_row = picture.v + static_cast<ptrdiff_t>(cy) * picture.chroma_stride;
        for (int cx = left / 2; cx <= (right - 1) / 2; ++cx) {
            TextPixel strongest = TextPixel::outside;
            for (int py = 2 * cy; py < std::min(2 * cy + 2, bottom); ++py) {
                for (int px = 2 * cx; px < std::min(2 * cx + 2, right); ++px) {
                    strongest = std::max(strongest, text_pixel(box, text, px, py));
                }
            }
            if (strongest == TextPixel::outside) continue;
            const Yuv& colour = strongest == TextPixel::ink ? kInk : kBox;
            u_row[cx] = colour.u;
            v_row[cx] = colour.v;
        }
    }
}

void draw_text_rgb(uint8_t* rgb, int width, int height, std::string_view text, int x, int y,
                   int scale, Rgb ink, Rgb background) {
    if (text.empty() || scale < 1) return;
    TextBox box = text_box(text, x, y, scale, scale);
    int left = std::max(box.left, 0);
    int top = std::max(box.top, 0);
    int right = std::min(box.left + box.width, width);
    int bottom = std::min(box.top + box.height, height);
    for (int py = top; py < bottom; ++py) {
        uint8_t* pixel = rgb + (static_cast<ptrdiff_t>(py) * width + left) * 3;
        for (int px = left; px < right; ++px, pixel += 3) {
            const Rgb& colour = text_pixel(box, text, px, py) == TextPixel::ink ? ink : background;
            pixel[0] = colour.r;
            pixel[1] = colour.g;
            pixel[2] = colour.b;
        }
    }
}

}  // namespace kivra
