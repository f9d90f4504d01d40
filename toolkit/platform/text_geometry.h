// Where the lines of a laid-out text lie: what a reader needs to find a range or a point in it.
#pragma once

#include <cstdint>
#include <vector>

namespace zksdk::ui {

// One line as the renderer lays it out, in the layout's coordinates.
struct text_line_geometry {
    int32_t first = 0; // UTF-16 units [first, end), the line's break included
    int32_t end = 0;
    float top = 0;
    float height = 0;
    std::vector<float> edges; // x of each unit boundary from first to end: end - first + 1 values
};

} // namespace zksdk::ui
