// The toolkit's value types: integer geometry in device-independent units and float colours.
#pragma once

#include <cstdint>

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

} // namespace zksdk::ui
