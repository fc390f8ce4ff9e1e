#include "yv12_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace kivra::test {
namespace {

uint8_t clamp_round(double value) {
    return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

}  // namespace

std::vector<uint8_t> solid_yv12(int width, int height, Colour colour, bool frame) {
    double r = colour.r, g = colour.g, b = colour.b;
    uint8_t y = clamp_round(16.0 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0);
    uint8_t u = clamp_round(128.0 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0);
    uint8_t v = clamp_round(128.0 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0);
    size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
    size_t chroma = static_cast<size_t>(width / 2) * static_cast<size_t>(height / 2);
    std::vector<uint8_t> picture(luma + 2 * chroma);
    std::fill(picture.begin(), picture.begin() + static_cast<ptrdiff_t>(luma), y);
    std::fill(picture.begin() + static_cast<ptrdiff_t>(luma),
              picture.begin() + static_cast<ptrdiff_t>(luma + chroma), v);
    std::fill(picture.begin() + static_cast<ptrdiff_t>(luma + chroma), picture.end(), u);
    if (frame) {
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                bool edge = row < 2 || column < 2 || row >= height - 2 || column >= width - 2;
                if (!edge) continue;
                picture[static_cast<size_t>(row) * width + column] = 235;
                size_t c = static_cast<size_t>(row / 2) * (width / 2) + column / 2;
                if (row / 2 < height / 2 && column / 2 < width / 2) {
                    picture[luma + c] = 128;
                    picture[luma + chroma + c] = 128;
                }
            }
        }
    }
    return picture;
}

bool near(Colour actual, Colour expected, int tolerance) {
    return std::abs(actual.r - expected.r) <= tolerance &&
           std::abs(actual.g - expected.g) <= tolerance &&
           std::abs(actual.b - expected.b) <= tolerance;
}

bool is_green(Colour c) {
    return c.g > 140 && c.g > c.r + 80 && c.g > c.b + 80;
}

bool is_blue(Colour c) {
    return c.b > 140 && c.b > c.r + 80 && c.b > c.g + 80;
}

std::string describe(Colour c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

}  // namespace kivra::test
