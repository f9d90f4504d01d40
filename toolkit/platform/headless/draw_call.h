// One drawing call as the headless renderer recorded it, with the drawing state in force.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/text_run.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zksdk::ui {
class image;
}

namespace zksdk::ui::headless {

enum class draw_op {
    begin_widget,
    end_widget,
    fill_rect,
    fill_rounded_rect,
    fill_ellipse,
    fill_vertical_gradient,
    draw_rect,
    draw_line,
    draw_text,
    draw_text_clipped,
    draw_image,
    draw_image_stretched,
    draw_image_part,
    draw_image_part_at,
};

enum class horizontal_alignment { leading, centre, trailing };
enum class vertical_alignment { top, centre, bottom };

// Floating-point edges in the widget's space, as a device would receive them.
struct float_box {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
    bool operator==(const float_box&) const = default;
};

// The renderer's state at the time of a call; defaults are the renderer's initial state.
struct drawing_state {
    color fill{0, 0, 0, 1};
    color text{1, 1, 1, 1};
    color stroke{1, 1, 1, 1};
    float stroke_width = 1.0f;
    int32_t dash = 0; // 0 solid, 1 dotted, 2 dashed
    std::string font_family;
    float font_size = 12.0f;
    int32_t font_weight = 400; // 300, 400 or 700
    bool italic = false;
    bool underline = false;
    horizontal_alignment horizontal = horizontal_alignment::leading;
    vertical_alignment vertical = vertical_alignment::top;
};

// Fields an operation does not use keep their defaults.
struct draw_call {
    draw_op op = draw_op::fill_rect;
    const void* widget = nullptr; // innermost begun widget (the one begun, for begin_widget)
    point origin;                 // that widget's top-left in window coordinates
    // The rectangle as the caller passed it: area, destination, layout rect, or for
    // begin_widget the widget's geometry.
    rect area;
    // What reaches the device: the rounded fill, the centred outline, the offset line
    // (left/top = from, right/bottom = to), the image destination, or for begin_widget the
    // widget clip (0, 0, rounded width, rounded height).
    float_box shape;
    rect clip;   // draw_text_clipped and fill_ellipse clip; begin_widget's update (l, t, r, b)
    rect source; // image parts, logical units
    point from;  // draw_line from, fill_ellipse centre, draw_image(_part_at) point
    point to;    // draw_line to
    float radius = 0;
    float opacity = 0;
    color top; // gradient colours
    color bottom;
    std::string text;
    std::vector<text_run> runs;
    const image* picture = nullptr;
    drawing_state state;
};

} // namespace zksdk::ui::headless
