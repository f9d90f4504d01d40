// The toolkit's value types: integer geometry in device-independent units and float colours.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace zksdk::ui {

struct point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const point&) const = default;
};

struct size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const size&) const = default;
};

struct rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const rect&) const = default;
};

// Red, green, blue, alpha, each 0 to 1. All zero means "no colour of its own" where a reader says
// so.
struct color {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;
    bool operator==(const color&) const = default;
};

// MulDiv: a * b / c rounded to nearest (halves away from zero); -1 when c is 0 or on overflow.
// Every DIP and pixel conversion rounds this way, so a size survives the round trip.
inline int32_t mul_div(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t product = int64_t{a} * b;
    const int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    const int64_t result = (product < 0) != (c < 0) ? -magnitude : magnitude;
    if (result > std::numeric_limits<int32_t>::max() ||
        result < std::numeric_limits<int32_t>::min())
        return -1;
    return static_cast<int32_t>(result);
}

} // namespace zksdk::ui
