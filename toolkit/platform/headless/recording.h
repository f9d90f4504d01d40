// Test access to what the headless renderer recorded, and the text metrics it measures with.
#pragma once

#include "toolkit/platform/headless/draw_call.h"

#include <vector>

namespace zksdk::ui {
class native_window;
class renderer;
} // namespace zksdk::ui

namespace zksdk::ui::headless {

// Deterministic text metrics: each UTF-16 unit advances 0.6 x its font size, a line is
// 1.2 x the largest font size on it; lines break after spaces (a word wider than the limit
// breaks between units) and at "\n".
inline constexpr float advance_per_font_size = 0.6f;
inline constexpr float line_height_per_font_size = 1.2f;

// Drawing calls that drew something (guards that skip a call leave no record), plus every
// begin_widget and end_widget, in order.
const std::vector<draw_call>& recorded_calls(const renderer& target);
// The calls of the renderer made for the window; empty when it has none.
const std::vector<draw_call>& recorded_calls(const native_window& window);
void clear_recording(const renderer& target);
// The renderer made for the window, or null.
renderer* renderer_of(const native_window& window);

// The last resize: client pixels and the scale (dpi / 96) on each axis.
size renderer_pixel_size(const renderer& target);
float renderer_scale_x(const renderer& target);
float renderer_scale_y(const renderer& target);
// Widgets begun and not yet ended.
std::size_t open_widgets(const renderer& target);

} // namespace zksdk::ui::headless
