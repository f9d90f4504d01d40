// check_box: arrangement of box and caption, toggling, the bound flag and painting.
#include "toolkit/controls/check_box.h"

#include "toolkit/controls/check_box_layout.h"
#include "toolkit/controls/state_frames.h"
#include "toolkit/controls/style_picture.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>

namespace zksdk::ui {

check_box::check_box()
{
    set_name("check_box");
    set_tab_stop(true);
    event_dispatcher::instance().connect(this, this, event_type::created,
                                         bind_event<check_box>(this, &check_box::on_created));
}

void check_box::on_created()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::paint, bind_event<check_box>(this, &check_box::paint));
    events.connect(this, this, event_type::mouse_down, bind_event(this, &check_box::on_mouse_down));
    events.connect(this, this, event_type::mouse_up,
                   bind_event<check_box>(this, &check_box::toggle));
    events.connect(this, this, event_type::mouse_enter,
                   bind_event(this, &check_box::on_mouse_enter));
    events.connect(this, this, event_type::mouse_leave,
                   bind_event(this, &check_box::on_mouse_leave));
    events.connect(this, this, event_type::focus_lost,
                   bind_event<widget>(this, &widget::invalidate, false));
    events.connect(this, this, event_type::focus_gained,
                   bind_event<widget>(this, &widget::invalidate, false));
    events.connect(this, this, event_type::style_changed,
                   bind_event(this, &check_box::on_style_changed));
    events.connect(this, this, event_type::key_down, bind_event(this, &check_box::on_key_down));
    events.connect(this, this, event_type::describe, bind_event(this, &check_box::on_describe));
    events.connect(this, this, event_type::access_action,
                   bind_event<check_box>(this, &check_box::toggle));
    layout(static_cast<int32_t>(check_box_arrangement::box_first_centred));
    // Usable only once its owner says so.
    set_enabled(false);
}

void check_box::set_caption(std::string_view caption)
{
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    invalidate(false);
    announce(access_event::name_changed);
}

void check_box::set_checked(bool checked)
{
    if (checked == is_checked()) {
        return;
    }
    m_checked = checked;
    if (m_bound != nullptr) {
        *m_bound = checked;
    }
    invalidate(false);
    announce(access_event::state_changed);
}

void check_box::bind(bool* flag)
{
    m_bound = flag;
    if (flag != nullptr) {
        m_checked = *flag;
    }
    invalidate(false);
}

// Flips what the user sees: the bound flag may have changed since the last paint.
void check_box::toggle()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.emit(this, event_type::value_changed, 0, 0);
    m_checked = !is_checked();
    if (m_bound != nullptr) {
        *m_bound = m_checked;
    }
    invalidate(false);
    announce(access_event::state_changed);
    events.emit(this, event_type::value_changed, 2, 0);
}

// Space toggles, as a release of the pointer does; Enter is left to the window (a wizard's
// default button).
void check_box::on_key_down(const event_info& info)
{
    if (reinterpret_cast<uintptr_t>(info.data) == key_code::space) {
        toggle();
    }
}

void check_box::on_describe(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::check_button;
    node.name = m_caption;
    node.default_action = is_checked() ? "Uncheck" : "Check";
    if (is_checked()) {
        node.states |= access_state::checked;
    }
}

void check_box::on_mouse_enter()
{
    m_hover = true;
    invalidate(false);
}

void check_box::on_mouse_leave()
{
    m_hover = false;
    invalidate(false);
}

void check_box::on_style_changed(const event_info& info)
{
    if (*static_cast<const style_key*>(info.data) == style_key("checkbox_image")) {
        m_box_image.reset();
    }
    layout(m_layout_kind);
}

void check_box::set_caption_font(renderer& target) const
{
    const style_table& keys = style();
    target.set_font(keys.read_string("checkbox_font_name"), keys.read_float("checkbox_font_size"),
                    keys.read_int("checkbox_font_weight"), keys.read_int("checkbox_font_style"),
                    false);
}

// A picture that is missing or cannot be decoded leaves the box as large as it was.
void check_box::measure_box()
{
    const style_image value = style().read_image("checkbox_image");
    if (value.data == nullptr || m_box_image.is_decoded()) {
        return;
    }
    if (decode_style_picture(m_box_image, value)) {
        m_box_size = m_box_image.frame_size();
    }
}

void check_box::layout(int32_t kind)
{
    m_layout_kind = kind;
    if (window() == nullptr || !window()->is_created()) {
        return;
    }
    renderer& target = window()->painter();
    set_caption_font(target);
    target.set_text_alignment(text_align::leading, text_align::top);
    const size caption = m_caption.empty() ? size{} : target.measure_text(m_caption, {});
    measure_box();
    const int32_t gap = style().read_int("checkbox_text_gap");
    m_box_rect = {m_box_rect.x, (height() - m_box_size.height) / 2, m_box_size.width,
                  m_box_size.height};
    m_text_rect = {m_text_rect.x, (height() - caption.height) / 2, caption.width, caption.height};
    if (const auto columns =
            arrange_check_box(kind, width(), m_box_size.width, caption.width, gap)) {
        m_box_rect.x = columns->box_x;
        m_text_rect.x = columns->caption_x;
    }
    invalidate(false);
}

// Around the caption, as Windows marks a focused check box: over the box, a mark as thick as the
// box's border would hide whether it is ticked.
rect check_box::focus_mark_area() const
{
    if (m_caption.empty()) {
        return widget::focus_mark_area();
    }
    constexpr int32_t margin = 3;
    int32_t left = std::max(m_text_rect.x - margin, 0);
    int32_t right = std::min(m_text_rect.x + m_text_rect.width + margin, width());
    // The layout puts the box on either side of the caption.
    if (m_box_rect.x >= m_text_rect.x) {
        right = std::min(right, m_box_rect.x);
    } else {
        left = std::max(left, m_box_rect.x + m_box_rect.width);
    }
    return {left, 0, std::max(0, right - left), height()};
}

void check_box::paint()
{
    if (m_bound != nullptr) {
        m_checked = *m_bound;
    }
    renderer& target = window()->painter();
    const style_table& keys = style();
    target.set_fill_color(keys.read_color("checkbox_back_color"));
    target.fill_rect({0, 0, width(), height()});

    const int32_t frames = keys.read_image("checkbox_image").frames;
    const int32_t frame = check_box_frame(frames, {m_hover, false, accepts_input(), m_checked});
    const rect source{0, frame * m_box_size.height, m_box_size.width, m_box_size.height};
    target.draw_image_part_at({m_box_rect.x, m_box_rect.y}, m_box_image, source, 1.0f);

    if (window()->focused_widget() == this && window()->shows_focus_mark() && !m_hover) {
        target.set_dash(1);
        target.set_stroke(keys.read_color("checkbox_border_color_focus"), 1.0f);
        target.draw_rect(m_box_rect);
    }

    color text = keys.read_color("checkbox_font_color");
    text.a = accepts_input() ? 1.0f : 0.5f;
    target.set_text_color(text);
    set_caption_font(target);
    target.set_text_alignment(text_align::leading, text_align::middle);
    if (!m_caption.empty()) {
        target.draw_text(m_text_rect, m_caption);
    }
}

} // namespace zksdk::ui
