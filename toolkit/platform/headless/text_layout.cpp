// The headless text layout: deterministic metrics and line breaking behind measure and hit test.
#include "toolkit/platform/headless/text_layout.h"

#include "toolkit/platform/headless/recording.h"

#include <algorithm>

namespace zksdk::ui::headless {

namespace {

// Float sums of 0.6 x size drift by a few ulps; a line that fits on paper must fit here.
constexpr double fit_tolerance = 1e-3;

} // namespace

text_layout::text_layout(std::u16string_view text, float font_size, std::span<const text_run> runs,
                         float maximum_width, float maximum_height, horizontal_alignment horizontal,
                         vertical_alignment vertical)
    : m_text(text), m_sizes(text.size(), font_size), m_font_size(font_size)
{
    const auto length = static_cast<int32_t>(text.size());
    for (const text_run& run : runs) {
        const int32_t first = std::clamp(run.first, 0, length);
        const int32_t end = std::clamp(run.end, first, length);
        std::fill(m_sizes.begin() + first, m_sizes.begin() + end, run.size);
    }
    int32_t paragraph = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i == length || text[i] == u'\n') {
            break_paragraph(paragraph, i, maximum_width);
            paragraph = i + 1;
        }
    }
    double top = 0;
    for (text_line& line : m_lines) {
        line.top = top;
        top += line.height;
        if (horizontal == horizontal_alignment::centre) {
            line.left = (maximum_width - line.trimmed_width) / 2;
        } else if (horizontal == horizontal_alignment::trailing) {
            line.left = maximum_width - line.trimmed_width;
        }
    }
    double shift = 0;
    if (vertical == vertical_alignment::centre) {
        shift = (maximum_height - top) / 2;
    } else if (vertical == vertical_alignment::bottom) {
        shift = maximum_height - top;
    }
    for (text_line& line : m_lines) {
        line.top += shift;
    }
}

double text_layout::advance(int32_t first, int32_t end) const
{
    double sum = 0;
    for (int32_t i = first; i < end; ++i) {
        sum += advance_per_font_size * static_cast<double>(m_sizes[i]);
    }
    return sum;
}

void text_layout::break_paragraph(int32_t first, int32_t end, double maximum_width)
{
    int32_t start = first;
    do {
        int32_t after_space = -1; // the last break opportunity on this line
        double width = 0;
        int32_t i = start;
        while (i < end) {
            const double unit = advance_per_font_size * static_cast<double>(m_sizes[i]);
            if (m_text[i] == u' ') {
                width += unit; // spaces hang past the edge and never wrap
                after_space = ++i;
                continue;
            }
            if (i > start && width + unit > maximum_width + fit_tolerance) {
                if (after_space > start) {
                    i = after_space;
                }
                break;
            }
            width += unit;
            ++i;
        }
        add_line(start, i, end);
        start = i;
    } while (start < end);
}

void text_layout::add_line(int32_t first, int32_t end, int32_t paragraph_end)
{
    text_line line{first, end};
    line.width = advance(first, end);
    int32_t trimmed = end;
    while (trimmed > first && m_text[trimmed - 1] == u' ') {
        --trimmed;
    }
    line.trimmed_width = advance(first, trimmed);
    float tallest = 0;
    for (int32_t i = first; i < end; ++i) {
        tallest = std::max(tallest, m_sizes[i]);
    }
    if (tallest == 0) {
        // An empty line is as high as its line break, or the text's font.
        const bool has_break = paragraph_end < static_cast<int32_t>(m_sizes.size());
        tallest = has_break ? m_sizes[paragraph_end] : m_font_size;
    }
    line.height = line_height_per_font_size * static_cast<double>(tallest);
    m_lines.push_back(line);
}

double text_layout::width() const
{
    double widest = 0;
    for (const text_line& line : m_lines) {
        widest = std::max(widest, line.width);
    }
    return widest;
}

double text_layout::height() const
{
    double sum = 0;
    for (const text_line& line : m_lines) {
        sum += line.height;
    }
    return sum;
}

float_box text_layout::range_bounds(int32_t first, int32_t end) const
{
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const text_line& line : m_lines) {
        const int32_t a = std::max(first, line.first);
        const int32_t b = std::min(end, line.end);
        if (a >= b) {
            continue;
        }
        const double box_left = line.left + advance(line.first, a);
        const double box_right = box_left + advance(a, b);
        const double box_bottom = line.top + line.height;
        left = any ? std::min(left, box_left) : box_left;
        top = any ? std::min(top, line.top) : line.top;
        right = any ? std::max(right, box_right) : box_right;
        bottom = any ? std::max(bottom, box_bottom) : box_bottom;
        any = true;
    }
    return {static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
            static_cast<float>(bottom)};
}

std::vector<text_line_geometry> text_layout::geometry() const
{
    std::vector<text_line_geometry> result;
    const auto length = static_cast<int32_t>(m_text.size());
    for (const text_line& line : m_lines) {
        text_line_geometry out;
        out.first = line.first;
        out.end = line.end < length && m_text[line.end] == u'\n' ? line.end + 1 : line.end;
        out.top = static_cast<float>(line.top);
        out.height = static_cast<float>(line.height);
        double x = line.left;
        out.edges.push_back(static_cast<float>(x));
        for (int32_t i = out.first; i < out.end; ++i) {
            x += i < line.end ? advance(i, i + 1) : 0.0;
            out.edges.push_back(static_cast<float>(x));
        }
        result.push_back(std::move(out));
    }
    return result;
}

} // namespace zksdk::ui::headless
