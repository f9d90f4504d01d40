// The window's router: which widget each input reaches, wheel latching, Tab and tooltip timing.
#include "toolkit/core/window/window.h"

#include "toolkit/core/window/tooltip.h"
#include "toolkit/platform/native_services.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>
#include <cstdlib>

namespace zksdk::ui {

namespace {

constexpr double wheel_latch_ms = 400;
constexpr int32_t wheel_latch_distance = 10;
constexpr uintptr_t tab_character = 9;

widget* nearest_enabled(widget* target)
{
    while (target && !target->accepts_input())
        target = target->parent();
    return target;
}

// A page switch can hide the focused control: keys must not act on what the user cannot see.
bool takes_keys(const widget* target)
{
    return takes_input(target) && target->is_visible(true);
}

bool is_tab_candidate(const widget* target)
{
    return target->is_tab_stop() && target->accepts_input() && target->is_visible(true);
}

bool contains_inclusive(const rect& area, point p)
{
    return p.x >= area.x && p.y >= area.y && p.x <= area.x + area.width &&
           p.y <= area.y + area.height;
}

} // namespace

// Whatever an input changed, the focus lands somewhere usable before the next one.
void window::route(event_type code, void* data, const void* extra)
{
    {
        const work_scope work(*this);
        route_input(code, data, extra);
        settle_focus();
    }
    tell_untold();
}

void window::route_input(event_type code, void* data, const void* extra)
{
    switch (code) {
    case event_type::mouse_up:
        if (m_swallow_up) {
            m_swallow_up = false;
            return;
        }
        if (widget* target = captured()) {
            deliver(target, code, data);
            return;
        }
        if (widget* under = pointer_widget(); takes_input(under))
            deliver(under, code, data);
        emit(code, data);
        return;
    case event_type::mouse_down:
    case event_type::mouse_double_click:
        route_pointer_button(code, data);
        return;
    case event_type::mouse_wheel:
        if (m_native->is_focus_window())
            route_wheel(data);
        return;
    case event_type::mouse_leave:
        if (widget* target = nearest_enabled(m_hovered))
            deliver(target, code, nullptr);
        m_hovered = nullptr;
        m_tooltip_suppressed = false;
        return;
    case event_type::mouse_move:
        route_mouse_move(data);
        return;
    case event_type::key_down:
    case event_type::key_down_extended:
    case event_type::key_up: {
        if (code == event_type::key_down)
            set_keyboard_cues(true);
        // The widget the key reached, not wherever the key moved the focus.
        widget* receiver = takes_keys(m_focused) ? m_focused : nullptr;
        if (receiver != nullptr)
            deliver(receiver, code, data);
        if (code == event_type::key_down && reinterpret_cast<uintptr_t>(data) == key_code::enter &&
            receiver != nullptr && receiver == m_focused && receiver->enter_presses_default())
            press_default();
        emit(code, data);
        return;
    }
    case event_type::char_input:
        if (reinterpret_cast<uintptr_t>(data) == tab_character)
            traverse_tab();
        else if (takes_keys(m_focused))
            deliver(m_focused, code, data);
        emit(code, data);
        return;
    case event_type::resized: {
        const auto* client = static_cast<const size*>(data);
        m_root.set_geometry({0, 0, client->width, client->height});
        emit(code);
        return;
    }
    case event_type::dpi_changed: {
        if (m_created) {
            const auto* pixels = static_cast<const size*>(data);
            const auto* dpi = static_cast<const point*>(extra);
            m_renderer->resize(pixels->width, pixels->height, dpi->x, dpi->y);
            m_root.set_geometry(
                {0, 0, mul_div(pixels->width, 96, dpi->x), mul_div(pixels->height, 96, dpi->y)});
        }
        emit(code);
        return;
    }
    case event_type::focus_gained:
    case event_type::focus_lost:
        if (takes_input(m_focused))
            deliver(m_focused, code, nullptr);
        // A window that gets the focus back (it opened, a popup closed) says where it is once
        // the work it was doing is done, or before that work says anything read out wherever
        // the focus is: a popup that closes hands the focus back in the middle of the work that
        // opened it, and when that work moves the focus on (an answer that ends what was going
        // on), the move is told and the place it left is never said.
        if (code == event_type::focus_gained)
            m_focus_untold = true;
        emit(code);
        return;
    case event_type::file_drop:
        route_file_drop(data, static_cast<int64_t>(reinterpret_cast<uintptr_t>(extra)));
        return;
    case event_type::text_input:
        if (takes_input(m_focused))
            deliver(m_focused, code, data);
        return;
    case event_type::session_locked:
    case event_type::session_unlocked:
        emit(code);
        return;
    default:
        return;
    }
}

void window::route_pointer_button(event_type code, void* data)
{
    set_keyboard_cues(false);
    if (widget* target = captured()) {
        deliver(target, code, data);
        return;
    }
    if (widget* under = pointer_widget(); takes_input(under)) {
        // Empty space (a panel nobody listens on) keeps the focus where it was.
        auto& events = event_dispatcher::instance();
        if (under->is_tab_stop() || events.has_handlers(under, event_type::mouse_down) ||
            events.has_handlers(under, event_type::mouse_up))
            set_focus(under, 0);
        deliver(under, code, data);
    }
    hide_tooltip();
    m_tooltip_suppressed = true;
    emit(code, data);
    m_swallow_up = code == event_type::mouse_double_click;
}

void window::route_mouse_move(void* data)
{
    if (widget* target = captured()) {
        deliver(target, event_type::mouse_move, data);
        return;
    }
    widget* under = pointer_widget();
    if (under == m_hovered) {
        if (widget* target = nearest_enabled(under))
            deliver(target, event_type::mouse_move, data);
    } else {
        if (widget* left = nearest_enabled(m_hovered))
            deliver(left, event_type::mouse_leave, nullptr);
        if (widget* entered = nearest_enabled(under))
            deliver(entered, event_type::mouse_enter, nullptr);
        m_tooltip_suppressed = false;
        if (m_tooltips.count(under))
            create_tooltip_window();
    }
    m_hovered = under;
    emit(event_type::mouse_move, data);
}

// A wheel gesture stays with the widget it started on while notches keep coming quickly and
// close together, even when the pointer drifts onto another scrollable widget.
void window::route_wheel(void* data)
{
    const point position = m_root.pointer_position();
    widget* candidate = widget_at(position);
    while (candidate && !(candidate->accepts_input() && event_dispatcher::instance().has_handlers(
                                                            candidate, event_type::mouse_wheel)))
        candidate = candidate->parent();
    if (candidate) {
        const double now = monotonic_milliseconds();
        const bool gesture_over =
            now - m_wheel_time >= wheel_latch_ms ||
            std::abs(position.x - m_wheel_position.x) > wheel_latch_distance ||
            std::abs(position.y - m_wheel_position.y) > wheel_latch_distance;
        m_wheel_time = now;
        if (candidate != m_wheel_widget && gesture_over)
            m_wheel_widget = candidate;
        if (m_wheel_widget)
            deliver(m_wheel_widget, event_type::mouse_wheel, data);
    }
    m_wheel_position = position;
    emit(event_type::mouse_wheel, data);
}

void window::route_file_drop(void* data, int64_t state)
{
    widget* under = pointer_widget();
    auto& events = event_dispatcher::instance();
    if (state == 1 && under != m_drop_widget && takes_input(under)) {
        if (m_drop_widget)
            events.emit(m_drop_widget, event_type::file_drop, 2, 1, nullptr, 2);
        events.emit(under, event_type::file_drop, 2, 1, nullptr, 1);
        m_drop_widget = under;
    } else if (state == 2 && takes_input(m_drop_widget)) {
        events.emit(m_drop_widget, event_type::file_drop, 2, 1, nullptr, 2);
        m_drop_widget = nullptr;
    } else if (state == 0 && takes_input(under)) {
        events.emit(under, event_type::file_drop, 2, 1, data, 0);
    }
    emit(event_type::file_drop, data, 0);
}

void window::traverse_tab()
{
    if (m_widgets.empty())
        return;
    if (!m_focused)
        m_focused = &m_root;
    const auto found = std::find(m_widgets.begin(), m_widgets.end(), m_focused);
    const size_t start =
        found == m_widgets.end() ? 0 : static_cast<size_t>(found - m_widgets.begin());
    const size_t count = m_widgets.size();
    const bool backwards =
        is_key_down(modifier_key::left_shift) || is_key_down(modifier_key::right_shift);
    // Shift+Tab from a widget that is no tab stop also goes to the nearest earlier tab stop.
    size_t chosen = start;
    for (size_t step = 1; step <= count; ++step) {
        const size_t index = backwards ? (start + count - step) % count : (start + step) % count;
        if (is_tab_candidate(m_widgets[index])) {
            chosen = index;
            break;
        }
    }
    set_keyboard_cues(true);
    set_focus(m_widgets[chosen], 1);
}

void window::press_default()
{
    widget* button = m_default_button;
    if (button != nullptr && button->accepts_input() && button->is_visible(true))
        event_dispatcher::instance().emit(button, event_type::access_action);
}

void window::hide_tooltip()
{
    if (!m_tooltip || !m_tooltip->native().is_shown())
        return;
    m_tooltip->native().hide();
    m_tooltip->native().set_shown(false);
    event_dispatcher::instance().emit(m_tooltip.get(), event_type::hidden);
}

void window::tooltip_tick()
{
    if (m_hovered != m_tooltip_widget) {
        m_tooltip_time = 0;
        m_tooltip_widget = m_hovered;
        hide_tooltip();
    } else if (m_hovered && m_tooltips.count(m_hovered)) {
        // A tip added under a pointer already resting there.
        create_tooltip_window();
        const point p = m_hovered->pointer_position();
        const std::vector<tooltip_entry>& entries = m_tooltips[m_hovered];
        const tooltip_entry* match = nullptr;
        rect area;
        for (const tooltip_entry& entry : entries) {
            area = entry.area == rect{} ? rect{0, 0, m_hovered->width(), m_hovered->height()}
                                        : entry.area;
            if (contains_inclusive(area, p)) {
                match = &entry;
                break;
            }
        }
        if (match && area == m_tooltip_area) {
            if (m_tooltip_time > 0.75f && m_tooltip_time < 6.0f &&
                !m_tooltip->native().is_shown() && !m_tooltip_suppressed)
                show_tooltip(*match);
        } else {
            m_tooltip_time = 0;
            m_tooltip_area = area;
            hide_tooltip();
        }
    }
    m_tooltip_time += 0.1f;
}

void window::show_tooltip(const tooltip_entry& entry)
{
    const point screen = pointer_screen_position();
    m_tooltip->show_tip({screen.x + 5, screen.y + 20}, entry.title, entry.text, m_hovered);
    const rect work = m_tooltip->native().monitor_work_area();
    const rect placed = m_tooltip->native().client_placement();
    const point outer =
        m_tooltip->native().convert({placed.width, placed.height}, conversion::to_pixels);
    const int32_t x = std::max(work.x, std::min(placed.x, work.x + work.width - outer.x));
    const int32_t y = std::max(work.y, std::min(placed.y, work.y + work.height - outer.y));
    m_tooltip->native().set_bounds({x, y, placed.width, placed.height});
}

} // namespace zksdk::ui
