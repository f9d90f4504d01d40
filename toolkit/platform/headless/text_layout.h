// The headless text layout: deterministic metrics and line breaking behind measure and hit test.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/headless/draw_call.h"
#include "toolkit/platform/text_geometry.h"
#include "toolkit/platform/text_run.h"

#include <span>
#include <string_view>
#include <vector>

namespace zksdk::ui::headless {

// One laid-out line: UTF-16 units [first, end), without its line break.
struct text_line {
    int32_t first = 0;
    int32_t end = 0;
    double width = 0;         // including trailing spaces
    double trimmed_width = 0; // without them; alignment uses this
    double height = 0;
    double top = 0;
    double left = 0; // alignment offset inside the maximum width
};

// A text laid out in a box of at most the maximum width and height, starting at (0, 0).
class text_layout {
public:
    text_layout(std::u16string_view text, float font_size, std::span<const text_run> runs,
                float maximum_width, float maximum_height, horizontal_alignment horizontal,
                vertical_alignment vertical);

    const std::vector<text_line>& lines() const { return m_lines; }
    double width() const;  // widest line including trailing spaces
    double height() const; // all lines
    // Hit-test boxes of the range, one per line it touches, folded into their bounding box.
    float_box range_bounds(int32_t first, int32_t end) const;
    // Each line with its break and the x of every unit boundary in it.
    std::vector<text_line_geometry> geometry() const;

private:
    double advance(int32_t first, int32_t end) const;
    void break_paragraph(int32_t first, int32_t end, double maximum_width);
    void add_line(int32_t first, int32_t end, int32_t paragraph_end);

    std::u16string_view m_text;
    std::vector<float> m_sizes; // font size of each UTF-16 unit
    float m_font_size;
    std::vector<text_line> m_lines;
};

} // namespace zksdk::ui::headless
