// scroll_bar's drawing: track, thumb with three grip lines, and the arrow buttons.
#include "toolkit/controls/scroll_bar.h"

#include "toolkit/controls/style_picture.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

namespace zksdk::ui {

void scroll_bar::paint()
{
    paint_back({0, 0, width(), height()});
    if (!style().read_bool("scroll_auto_hide") || m_needed) {
        paint_thumb(m_thumb);
    }
    if (m_has_buttons) {
        paint_button(m_first_button, scroll_end::first);
        paint_button(m_second_button, scroll_end::second);
    }
}

void scroll_bar::paint_back(const rect& area)
{
    renderer& target = window()->painter();
    target.set_fill_color(style().read_color("scroll_back_color"));
    target.fill_rect(area);
}

void scroll_bar::paint_thumb(const rect& area)
{
    renderer& target = window()->painter();
    target.set_fill_color(style().read_color("scroll_bar_back_color"));
    target.fill_rect(area);
    target.set_stroke(style().read_color("scroll_bar_line_color"), 1.0f);
    target.set_dash(0);
    for (int32_t i = 0; i < 3; ++i) {
        if (is_vertical()) {
            const int32_t c = area.height / 2 + area.y + 3 * i - 3;
            target.draw_line({4, c}, {area.width - 4, c});
        } else {
            const int32_t c = area.x + area.width / 2 + 3 * i - 3;
            target.draw_line({c, 4}, {c, area.height - 4});
        }
    }
}

// The arrow picture holds both arrows in 8 x 8 units: up over down, or left beside right.
void scroll_bar::paint_button(const rect& area, scroll_end end)
{
    renderer& target = window()->painter();
    target.set_fill_color(style().read_color("scroll_button_back_color"));
    target.fill_rect(area);
    target.set_stroke(style().read_color("scroll_button_line_color"), 1.0f);
    target.set_dash(0);
    const bool first = end == scroll_end::first;
    if (is_vertical()) {
        target.draw_line({area.x, area.y}, {area.x + area.width, area.y});
    } else {
        target.draw_line({area.x, area.y}, {area.x, area.y + area.height});
    }
    if (!m_arrow.is_decoded() &&
        !decode_style_picture(m_arrow, style().read_image("scroll_button_arrow_image"))) {
        return;
    }
    if (is_vertical()) {
        const rect source{0, first ? 0 : 4, 8, 4};
        target.draw_image_part_at({area.x + area.width / 2 - 4, area.y + area.height / 2 - 2},
                                  m_arrow, source, 1.0f);
    } else {
        const rect source{first ? 0 : 4, 0, 4, 8};
        target.draw_image_part_at({area.x + area.height / 2 - 2, area.y + area.width / 2 - 4},
                                  m_arrow, source, 1.0f);
    }
}

} // namespace zksdk::ui
