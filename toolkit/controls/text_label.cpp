// text_label: sizing to the text, link boxes and the hand cursor, opening links, painting.
#include "toolkit/controls/text_label.h"

#include "toolkit/controls/markup_parser.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/native_services.h"
#include "toolkit/platform/renderer.h"

namespace zksdk::ui {

namespace {

constexpr uint32_t arrow_cursor = 0;
constexpr uint32_t hand_cursor = 6;
constexpr float disabled_text_alpha = 0.5f;

// Edges count as inside; an empty box (a link with no visible text) holds nothing.
bool holds(const rect& area, point p)
{
    return area.width > 0 && area.height > 0 && area.x <= p.x && p.x <= area.x + area.width &&
           area.y <= p.y && p.y <= area.y + area.height;
}

} // namespace

// Connected at construction, not on `created`: a label whose builder never announces it must
// still paint and open its links.
text_label::text_label()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::paint, bind_event(this, &text_label::paint));
    events.connect(this, this, event_type::style_changed,
                   bind_event(this, &text_label::on_style_changed));
    events.connect(this, this, event_type::mouse_move,
                   bind_event(this, &text_label::on_mouse_move));
    events.connect(this, this, event_type::mouse_leave,
                   bind_event(this, &text_label::on_mouse_leave));
    events.connect(this, this, event_type::mouse_up, bind_event(this, &text_label::on_click));
    events.connect(this, this, event_type::describe, bind_event(this, &text_label::on_describe));
    events.connect(this, this, event_type::access_text,
                   bind_event(this, &text_label::on_access_text));
    events.connect(this, this, event_type::resized, bind_event(this, &text_label::forget_geometry));
    // Text set before the label had a window could not be measured then.
    events.connect(this, this, event_type::created, bind_event(this, &text_label::update_size));
}

void text_label::on_style_changed()
{
    forget_geometry();
    update_size();
    invalidate(false);
}

void text_label::set_text(std::string_view text, label_fit width, label_fit height)
{
    m_fit_width = width == label_fit::to_text;
    m_fit_height = height == label_fit::to_text;
    const bool renamed = text != m_text;
    m_text = text;
    forget_geometry();
    update_size();
    invalidate(false);
    if (renamed)
        announce(access_event::name_changed);
}

void text_label::set_fit(label_fit width, label_fit height)
{
    m_fit_width = width == label_fit::to_text;
    m_fit_height = height == label_fit::to_text;
}

void text_label::set_markup(std::string_view markup)
{
    parsed_markup parsed = parse_markup(markup, style().read_string("label_font_name"),
                                        style().read_float("label_font_size"));
    const bool renamed = parsed.text != m_text;
    m_text = std::move(parsed.text);
    m_runs = std::move(parsed.runs);
    forget_geometry();
    if (renamed)
        announce(access_event::name_changed);
}

// Static text named by what it shows; an empty label has nothing to say.
void text_label::on_describe(const event_info& info)
{
    if (m_text.empty())
        return;
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::static_text;
    node.name = m_text;
    node.states |= access_state::read_only;
}

void text_label::on_access_text(const event_info& info)
{
    auto& source = *static_cast<access_text_source*>(info.data);
    source.text = &m_text;
    source.lines = &line_geometry();
}

// Laid out in the label's whole box with the font and alignment it paints with.
const std::vector<text_line_geometry>& text_label::line_geometry() const
{
    if (m_geometry_ready)
        return m_geometry;
    m_geometry.clear();
    if (window() && window()->is_created() && !m_text.empty()) {
        use_label_font();
        const std::span<const text_run> runs = m_mode == label_mode::markup
                                                   ? std::span<const text_run>(m_runs)
                                                   : std::span<const text_run>();
        m_geometry = window()->painter().text_geometry(m_text, {width(), height()}, runs);
    }
    m_geometry_ready = true;
    return m_geometry;
}

void text_label::use_label_font() const
{
    renderer& target = window()->painter();
    target.set_font(style().read_string("label_font_name"), style().read_float("label_font_size"),
                    style().read_int("label_font_weight"), style().read_int("label_font_style"),
                    style().read_bool("label_text_underlined"));
    target.set_text_alignment(style().read_int("label_text_align"),
                              style().read_int("label_text_valign"));
}

size text_label::layout_limit() const
{
    return {m_fit_width ? 0 : width(), m_fit_height ? 0 : height()};
}

void text_label::update_size()
{
    if (!m_fit_width && !m_fit_height)
        return;
    if (!window() || !window()->is_created())
        return;
    use_label_font();
    // Runs belong to the markup; left over after a switch to plain text they would style it.
    const std::span<const text_run> runs = m_mode == label_mode::markup
                                               ? std::span<const text_run>(m_runs)
                                               : std::span<const text_run>();
    const size measured =
        m_text.empty() ? size{} : window()->painter().measure_text(m_text, layout_limit(), runs);
    set_geometry({x(), y(), m_fit_width ? measured.width + 1 : width(),
                  m_fit_height ? measured.height + 1 : height()});
}

void text_label::update_links()
{
    m_links.clear();
    if (!window() || !window()->is_created())
        return;
    use_label_font();
    for (const text_run& run : m_runs) {
        if (run.link.empty())
            continue;
        rect bounds;
        if (!m_text.empty() && run.first < run.end)
            bounds = window()->painter().text_range_bounds(m_text, layout_limit(), m_runs,
                                                           run.first, run.end);
        m_links.push_back({bounds, run.link});
    }
}

void text_label::paint()
{
    renderer& target = window()->painter();
    const rect bounds{0, 0, width(), height()};
    target.set_fill_color(style().read_color("default_back_color"));
    target.fill_rect(bounds);
    target.set_dash(0);
    target.set_stroke(style().read_color("default_border_color"), 1.0f);
    target.draw_rect(bounds);
    color text_color = style().read_color("label_font_color");
    if (!accepts_input())
        text_color.a = disabled_text_alpha;
    target.set_text_color(text_color);
    target.set_text_alignment(style().read_int("label_text_align"),
                              style().read_int("label_text_valign"));
    if (m_mode == label_mode::markup) {
        // Every character lies in a run, so the runs carry the whole font.
        if (!m_text.empty())
            target.draw_text(bounds, m_text, m_runs);
        return;
    }
    target.set_font(style().read_string("label_font_name"), style().read_float("label_font_size"),
                    style().read_int("label_font_weight"), style().read_int("label_font_style"),
                    style().read_bool("label_text_underlined"));
    if (!m_text.empty())
        target.draw_text(bounds, m_text);
}

const label_link* text_label::link_under_pointer() const
{
    const point pointer = pointer_position();
    for (const label_link& link : m_links)
        if (holds(link.bounds, pointer))
            return &link;
    return nullptr;
}

void text_label::on_mouse_move()
{
    if (m_mode != label_mode::markup)
        return;
    m_hand_shown = link_under_pointer() != nullptr;
    window::set_cursor(m_hand_shown ? hand_cursor : arrow_cursor);
}

// Leaving straight from a link would otherwise keep the hand over whatever lies beside it.
void text_label::on_mouse_leave()
{
    if (!m_hand_shown)
        return;
    m_hand_shown = false;
    window::set_cursor(arrow_cursor);
}

void text_label::on_click()
{
    if (m_mode != label_mode::markup)
        return;
    if (const label_link* link = link_under_pointer())
        shell_open(link->target);
}

} // namespace zksdk::ui
