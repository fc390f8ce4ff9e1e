#include "dvrsim/picture_painter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "common/bitmap_font.h"

namespace dvrsim {
namespace {

using fleet::Glyph;
using fleet::glyph_for;
using fleet::kGlyphAdvance;
using fleet::kGlyphHeight;
using fleet::kGlyphWidth;

struct Yuv {
    uint8_t y;
    uint8_t u;
    uint8_t v;
};

// BT.601 limited range, what decoders assume for untagged SD and our HD streams alike.
constexpr Yuv from_rgb(int r, int g, int b) {
    return Yuv{static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
               static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
               static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

constexpr Yuv kBandColour = from_rgb(255, 0, 255);
constexpr Yuv kTextBoxColour = from_rgb(24, 24, 24);
constexpr uint8_t kTextLuma = 235;
constexpr Yuv kMarkerColour = from_rgb(240, 240, 240);
constexpr Yuv kMarkerEdgeColour = from_rgb(20, 20, 20);

constexpr Yuv kChannelColours[] = {
    from_rgb(70, 110, 165),  // steel blue
    from_rgb(60, 140, 95),   // green
    from_rgb(185, 95, 65),   // terracotta
    from_rgb(125, 80, 145),  // plum
    from_rgb(175, 145, 50),  // ochre
    from_rgb(45, 130, 140),  // teal
    from_rgb(170, 75, 110),  // rose
    from_rgb(105, 120, 55),  // olive
};
constexpr int kChannelColourCount = static_cast<int>(std::size(kChannelColours));

struct Canvas {
    uint8_t* y;
    uint8_t* u;
    uint8_t* v;
    int width;
    int height;
};

struct Rect {
    int x;
    int y;
    int w;
    int h;
};

int round_up_even(int value) {
    return (value + 1) & ~1;
}
int round_down_even(int value) {
    return value & ~1;
}

Rect clip(Rect r, int width, int height) {
    const int x0 = std::max(r.x, 0);
    const int y0 = std::max(r.y, 0);
    const int x1 = std::min(r.x + r.w, width);
    const int y1 = std::min(r.y + r.h, height);
    return Rect{x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

void fill_plane_rect(uint8_t* plane, int stride, Rect r, uint8_t value) {
    for (int row = r.y; row < r.y + r.h; ++row) {
        std::memset(plane + static_cast<ptrdiff_t>(row) * stride + r.x, value,
                    static_cast<size_t>(r.w));
    }
}

void fill_luma(const Canvas& c, Rect r, uint8_t value) {
    fill_plane_rect(c.y, c.width, clip(r, c.width, c.height), value);
}

void fill_rect(const Canvas& c, Rect r, Yuv colour) {
    const Rect luma = clip(r, c.width, c.height);
    if (luma.w == 0 || luma.h == 0) return;
    fill_plane_rect(c.y, c.width, luma, colour.y);
    // Odd sizes have no chroma for the last column or row (w/2 x h/2 planes).
    const Rect chroma = clip(Rect{luma.x / 2, luma.y / 2, (luma.x + luma.w + 1) / 2 - luma.x / 2,
                                  (luma.y + luma.h + 1) / 2 - luma.y / 2},
                             c.width / 2, c.height / 2);
    fill_plane_rect(c.u, c.width / 2, chroma, colour.u);
    fill_plane_rect(c.v, c.width / 2, chroma, colour.v);
}

int text_width(const std::string& text, int scale) {
    if (text.empty()) return 0;
    return (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

// Each run of set bits in a glyph row becomes one luma fill, so a row costs a few memsets.
void draw_glyph(const Canvas& c, const Glyph& glyph, int x, int y, int scale) {
    for (int row = 0; row < kGlyphHeight; ++row) {
        const auto bit = [&](int col) { return (glyph[row] >> (kGlyphWidth - 1 - col)) & 1; };
        int column = 0;
        while (column < kGlyphWidth) {
            if (bit(column) == 0) {
                ++column;
                continue;
            }
            int end = column;
            while (end < kGlyphWidth && bit(end) != 0) ++end;
            fill_luma(c, Rect{x + column * scale, y + row * scale, (end - column) * scale, scale},
                      kTextLuma);
            column = end;
        }
    }
}

// Light text on a dark box reads on every background colour, and survives compression.
void draw_text(const Canvas& c, const std::string& text, int x, int y, int scale) {
    const int pad = round_up_even(scale);
    fill_rect(c,
              Rect{x - pad, y - pad, round_up_even(text_width(text, scale) + 2 * pad),
                   round_up_even(kGlyphHeight * scale + 2 * pad)},
              kTextBoxColour);
    for (size_t i = 0; i < text.size(); ++i) {
        draw_glyph(c, glyph_for(text[i]), x + static_cast<int>(i) * kGlyphAdvance * scale, y,
                   scale);
    }
}

std::string time_text(uint32_t time, int frame_in_second) {
    using namespace std::chrono;
    const sys_seconds moment{seconds{time}};
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss clock{moment - day};
    char text[40];
    std::snprintf(text, sizeof(text), "%04d-%02u-%02u %02d:%02d:%02d.%02d",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), std::clamp(frame_in_second, 0, 99));
    return text;
}

// Sizes follow the visible height so CIF stays legible and D1 / 720p are not tiny.
struct Layout {
    int label_scale;
    int time_scale;
    int margin;
    int marker_size;
};

Layout layout_for(int width, int visible_height) {
    constexpr int kTimeChars = 22;  // "YYYY-MM-DD HH:MM:SS.ff"
    Layout l{};
    l.label_scale = std::max(2, visible_height / 48);
    l.time_scale =
        std::max(1, std::min(visible_height / 120, width / (kTimeChars * kGlyphAdvance + 4)));
    l.margin = round_up_even(std::max(4, visible_height / 24));
    l.marker_size = round_up_even(std::max(8, visible_height / 6));
    return l;
}

// A box sweeping left to right, one step per frame, so frozen or repeated pictures show.
void draw_marker(const Canvas& c, const Layout& l, int top, int bottom, int frame_index) {
    const int travel = std::max(c.width - l.marker_size, 1);
    const int step = round_up_even(std::max(2, c.width / 48));
    const int64_t position = (static_cast<int64_t>(frame_index) * step) % travel;
    const int x = round_down_even(static_cast<int>(position < 0 ? position + travel : position));
    const int y = round_down_even(top + (bottom - top - l.marker_size) / 2);
    const int edge = round_up_even(std::max(2, l.marker_size / 16));
    fill_rect(c, Rect{x, y, l.marker_size, l.marker_size}, kMarkerEdgeColour);
    fill_rect(c, Rect{x + edge, y + edge, l.marker_size - 2 * edge, l.marker_size - 2 * edge},
              kMarkerColour);
}

// A textured scene drifting sideways three pixels a frame, with grain that differs in every
// picture: the encoder then spends about what a recorder spends on footage (at 15 frames a
// second some 0.45, 1.2 and 2.8 Mbit/s for CIF, D1 and 720p). The chroma keeps the channel's
// colour.
void paint_camera_detail(const Canvas& c, int top, uint8_t base_luma,
                         const PictureContent& content) {
    const int drift = content.frame_index * 3;
    uint32_t grain = static_cast<uint32_t>(content.frame_index) * 2654435761u ^
                     static_cast<uint32_t>(content.channel) * 40503u;
    for (int y = top; y < c.height; ++y) {
        uint8_t* row = c.y + static_cast<ptrdiff_t>(y) * c.width;
        for (int x = 0; x < c.width; ++x) {
            const int sx = x + drift;
            const int texture = ((sx * 37) ^ (y * 91) ^ ((sx / 7) * (y / 5))) & 63;
            const int blocks = ((sx / 40 + y / 30) % 2) * 48;
            grain = grain * 1664525u + 1013904223u;
            const int noise = static_cast<int>(grain >> 29) - 4;
            row[x] = static_cast<uint8_t>(
                std::clamp(static_cast<int>(base_luma) - 56 + texture + blocks + noise, 16, 235));
        }
    }
}

Yuv channel_colour(int channel) {
    const int slot = ((channel % kChannelColourCount) + kChannelColourCount) % kChannelColourCount;
    return kChannelColours[slot];
}

}  // namespace

size_t yuv420p_size(int width, int height) {
    const auto luma = static_cast<size_t>(width) * static_cast<size_t>(height);
    const auto chroma = static_cast<size_t>(width / 2) * static_cast<size_t>(height / 2);
    return luma + 2 * chroma;
}

void paint_picture(uint8_t* yuv420p, int width, int height, const PictureContent& content) {
    if (yuv420p == nullptr || width <= 0 || height <= 0) return;
    uint8_t* u = yuv420p + static_cast<ptrdiff_t>(width) * height;
    uint8_t* v = u + static_cast<ptrdiff_t>(width / 2) * (height / 2);
    const Canvas c{yuv420p, u, v, width, height};

    const int band = std::min(kCroppedBandRows, height);
    const Yuv background = channel_colour(content.channel);
    fill_rect(c, Rect{0, band, width, height - band}, background);
    if (content.scene == Scene::Camera) paint_camera_detail(c, band, background.y, content);
    fill_rect(c, Rect{0, 0, width, band}, kBandColour);

    const int visible_height = height - band;
    const Layout l = layout_for(width, visible_height);
    const int label_y = band + l.margin;
    draw_text(c, "CH " + std::to_string(content.channel + 1), l.margin, label_y, l.label_scale);
    const int time_y = round_down_even(height - l.margin - kGlyphHeight * l.time_scale);
    draw_text(c, time_text(content.time, content.frame_in_second), l.margin, time_y, l.time_scale);

    const int label_bottom = label_y + kGlyphHeight * l.label_scale + l.margin;
    draw_marker(c, l, label_bottom, time_y - l.margin, content.frame_index);
}

}  // namespace dvrsim
