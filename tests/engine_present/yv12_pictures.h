// Pictures and colour checks shared by the presenter tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivra::test {

struct Colour {
    int r = 0, g = 0, b = 0;
};

// A YV12 picture (Y, V, U) of one colour, converted with the BT.601 limited-range matrix.
// With a frame, a 2-pixel white border marks the picture's edges.
std::vector<uint8_t> solid_yv12(int width, int height, Colour colour, bool frame = false);

bool near(Colour actual, Colour expected, int tolerance);
bool is_green(Colour c);
bool is_blue(Colour c);
std::string describe(Colour c);

}  // namespace kivra::test
