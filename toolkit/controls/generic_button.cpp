// generic_button: states from the pointer and the capture, clicks, and painting from the style.
#include "toolkit/controls/generic_button.h"

#include "toolkit/controls/button_geometry.h"
#include "toolkit/controls/state_frames.h"
#include "toolkit/controls/style_picture.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/native_services.h"
#include "toolkit/platform/renderer.h"

namespace zksdk::ui {

namespace {

uintptr_t small_integer(const event_info& info)
{
    return reinterpret_cast<uintptr_t>(info.data);
}

} // namespace

// Connected at construction, not on `created`: a button whose builder never announces it must
// still paint and click.
generic_button::generic_button()
{
    set_tab_stop(true);
    // Enter presses the focused button itself, the default one or not.
    set_enter_presses_default(false);
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::paint,
                   bind_event<generic_button>(this, &generic_button::paint));
    events.connect(this, this, event_type::mouse_enter,
                   bind_event(this, &generic_button::on_mouse_enter));
    events.connect(this, this, event_type::mouse_leave,
                   bind_event(this, &generic_button::on_mouse_leave));
    events.connect(this, this, event_type::disabled,
                   bind_event(this, &generic_button::on_disabled));
    events.connect(this, this, event_type::focus_gained,
                   bind_event<widget>(this, &widget::invalidate, false));
    events.connect(this, this, event_type::focus_lost,
                   bind_event<widget>(this, &widget::invalidate, false));
    events.connect(this, this, event_type::mouse_down,
                   bind_event(this, &generic_button::on_mouse_down));
    events.connect(this, this, event_type::mouse_up,
                   bind_event(this, &generic_button::on_mouse_up));
    events.connect(this, this, event_type::key_down,
                   bind_event(this, &generic_button::on_key_down));
    events.connect(this, this, event_type::style_changed,
                   bind_event(this, &generic_button::on_style_changed));
    events.connect(this, this, event_type::describe,
                   bind_event(this, &generic_button::on_describe));
    events.connect(this, this, event_type::access_action,
                   bind_event(this, &generic_button::activate));
}

// A button destroyed in the middle of a press must not leave the window's input pointed at it.
generic_button::~generic_button()
{
    if (captured_widget == this) {
        release_capture();
    }
}

void generic_button::set_caption(std::string_view caption)
{
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    invalidate(false);
    announce(access_event::name_changed);
}

void generic_button::set_toggled(bool toggled)
{
    if (toggled == m_toggled) {
        return;
    }
    m_toggled = toggled;
    invalidate(false);
    announce(access_event::state_changed);
}

void generic_button::set_icon_opacity(float opacity)
{
    if (opacity == m_icon_opacity) {
        return;
    }
    m_icon_opacity = opacity;
    invalidate(false);
}

bool generic_button::is_pressed() const
{
    if (captured_widget != this) {
        return false;
    }
    const point at = pointer_position();
    return at.x >= 0 && at.y >= 0 && at.x <= width() && at.y <= height();
}

int32_t generic_button::state_frame(int32_t frames) const
{
    return button_frame(frames, {m_hover, is_pressed(), accepts_input(), m_toggled});
}

color generic_button::dimmed(color value) const
{
    if (!accepts_input()) {
        value.a *= 0.5f;
    }
    return value;
}

void generic_button::on_mouse_enter()
{
    m_hover = true;
    invalidate(false);
}

void generic_button::on_mouse_leave()
{
    m_hover = false;
    invalidate(false);
}

// A press cut short by disabling ends here: the router no longer delivers the release to a
// disabled button, and a capture left behind would keep every pointer event away from the rest.
void generic_button::on_disabled()
{
    m_hover = false;
    if (captured_widget == this) {
        release_capture();
    }
    invalidate(false);
}

void generic_button::release_capture()
{
    release_mouse_capture();
    captured_widget = nullptr;
}

void generic_button::on_mouse_down(const event_info& info)
{
    if (small_integer(info) != mouse_button::left) {
        return;
    }
    captured_widget = this;
    capture_mouse(window()->native());
    invalidate(false);
}

void generic_button::on_mouse_up(const event_info& info)
{
    if (small_integer(info) != mouse_button::left || captured_widget != this) {
        return;
    }
    const point at = pointer_position();
    release_capture();
    if (at.x < 0 || at.y < 0 || at.x > width() || at.y > height()) {
        invalidate(false);
        return;
    }
    if (m_toggle_mode) {
        m_toggled = !m_toggled;
        announce(access_event::state_changed);
    }
    if (style().read_bool("button_reset_hover")) {
        m_hover = false;
    }
    invalidate(false);
    emit(event_type::clicked, reinterpret_cast<void*>(static_cast<uintptr_t>(m_toggled)));
}

void generic_button::on_key_down(const event_info& info)
{
    const uintptr_t key = small_integer(info);
    if (key == key_code::enter || key == key_code::space) {
        activate();
    }
}

void generic_button::activate()
{
    if (m_toggle_mode) {
        m_toggled = !m_toggled;
        invalidate(false);
        announce(access_event::state_changed);
    }
    event_dispatcher::instance().emit(this, event_type::clicked, 2, 1,
                                      reinterpret_cast<void*>(static_cast<uintptr_t>(m_toggled)),
                                      clicked_without_pointer);
}

void generic_button::on_describe(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::push_button;
    node.name = m_caption;
    node.default_action = "Press";
    if (m_toggle_mode && m_toggled) {
        node.states |= access_state::checked;
    }
}

void generic_button::on_style_changed(const event_info& info)
{
    const style_key& key = *static_cast<const style_key*>(info.data);
    // The multiply is baked into the decoded pixels, so any change to it needs a fresh decode.
    if (key == style_key("button_image") || key == style_key("button_image_filter_multiply") ||
        key == style_key("button_image_filter_multiply_area")) {
        m_icon.reset();
    } else if (key == style_key("button_back_image")) {
        m_back.reset();
    } else if (key == style_key("button_auto_size") ||
               key == style_key("button_auto_size_min_max") ||
               key == style_key("button_text_margins") || key == style_key("button_font_name") ||
               key == style_key("button_font_size") || key == style_key("button_font_weight") ||
               key == style_key("button_font_style") ||
               key == style_key("button_text_underlined")) {
        update_size();
    }
    invalidate(false);
}

void generic_button::update_size()
{
    if (!style().read_bool("button_auto_size") || window() == nullptr || !window()->is_created()) {
        return;
    }
    renderer& target = window()->painter();
    set_caption_font(target);
    const int32_t margin = style().read_int_pair("button_text_margins")[0];
    const auto [minimum, maximum] = style().read_int_pair("button_auto_size_min_max");
    const int32_t measured = m_caption.empty() ? 0 : target.measure_text(m_caption, {}).width;
    set_geometry({x(), y(), auto_size_width(measured, margin, minimum, maximum), height()});
}

void generic_button::set_caption_font(renderer& target) const
{
    const style_table& keys = style();
    target.set_font(keys.read_string("button_font_name"), keys.read_float("button_font_size"),
                    keys.read_int("button_font_weight"), keys.read_int("button_font_style"),
                    keys.read_bool("button_text_underlined"));
}

} // namespace zksdk::ui
