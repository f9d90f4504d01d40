// tooltip: measures its title and text, sizes itself to them and draws them on a framed back.
#include "toolkit/core/window/tooltip.h"

#include "toolkit/platform/renderer.h"

#include <algorithm>

namespace zksdk::ui {

tooltip::tooltip()
{
    event_dispatcher::instance().connect(&root(), this, event_type::paint,
                                         bind_event<tooltip>(this, &tooltip::paint));
}

const style_table& tooltip::keys() const
{
    return m_style_source ? m_style_source->style() : root().style();
}

void tooltip::use_font(bool is_title) const
{
    const style_table& style = keys();
    if (is_title)
        painter().set_font(style.read_string("tooltip_title_font_name"),
                           style.read_float("tooltip_title_font_size"),
                           style.read_int("tooltip_title_font_weight"),
                           style.read_int("tooltip_title_font_style"), false);
    else
        painter().set_font(
            style.read_string("tooltip_font_name"), style.read_float("tooltip_font_size"),
            style.read_int("tooltip_font_weight"), style.read_int("tooltip_font_style"), false);
}

size tooltip::measure(std::string_view text, bool is_title) const
{
    if (text.empty())
        return {};
    use_font(is_title);
    return painter().measure_text(text, {0, 0});
}

void tooltip::show_tip(point position, std::string_view title, std::string_view text,
                       widget* style_source)
{
    m_title = title;
    m_text = text;
    m_style_source = style_source;
    m_spacing = !m_title.empty() && !m_text.empty() ? 2 : 0;
    m_title_size = measure(m_title, true);
    m_text_size = measure(m_text, false);
    m_content_size = {std::max(m_title_size.width, m_text_size.width),
                      m_title_size.height + m_text_size.height + m_spacing};
    native().set_bounds(
        {position.x, position.y, m_content_size.width + 16, m_content_size.height + 8});
    native().set_shown(true);
    native().show(activation::no_activate);
    native().update_now();
}

void tooltip::paint()
{
    const style_table& style = keys();
    renderer& target = painter();
    const int32_t w = root().width();
    const int32_t h = root().height();
    target.set_fill_color(style.read_color("tooltip_back_color"));
    target.fill_rect({0, 0, w, h});
    target.set_dash(0);
    target.set_stroke(style.read_color("tooltip_border_color"), 1.0f);
    target.draw_rect({0, 0, w, h});
    target.set_stroke(style.read_color("tooltip_border_color_1"), 1.0f);
    target.draw_rect({1, 1, w - 2, h - 2});

    target.set_text_color(style.read_color("tooltip_title_font_color"));
    use_font(true);
    target.set_text_alignment(0, 1);
    if (!m_title.empty())
        target.draw_text({8, 4, w - 16, m_title_size.height}, m_title);
    target.set_text_color(style.read_color("tooltip_font_color"));
    use_font(false);
    target.set_text_alignment(0, 1);
    if (!m_text.empty())
        target.draw_text({8, m_title_size.height + m_spacing + 4, w - 16, m_text_size.height},
                         m_text);
}

} // namespace zksdk::ui
