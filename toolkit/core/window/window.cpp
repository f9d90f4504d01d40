// The window: creation, the modal loop, focus, timers and the router's pointer and key rules.
#include "toolkit/core/window/window.h"

#include "toolkit/core/window/tooltip.h"
#include "toolkit/platform/native_services.h"
#include "toolkit/platform/renderer.h"
#include "toolkit/platform/text_input_state.h"

#include <cmath>

namespace zksdk::ui {

widget* captured_widget = nullptr;

namespace {

constexpr uint32_t reserved_timer_id = 0xFFFFFFFE;

void* integer_data(uintptr_t value)
{
    return reinterpret_cast<void*>(value);
}

} // namespace

window::window() : m_native(std::make_unique<native_window>())
{
    set_system_cursor(0);
}

window::~window()
{
    emit(event_type::destroyed);
    event_dispatcher::instance().disconnect_all(this);
}

void window::on_user_message(intptr_t, uintptr_t) {}

void window::set_cursor(uint32_t shape)
{
    set_system_cursor(shape);
}

bool window::emit(event_type type, void* data, uint64_t extra)
{
    return event_dispatcher::instance().emit(this, type, 2, 1, data, extra);
}

bool window::deliver(widget* target, event_type code, void* data, uint64_t extra)
{
    return event_dispatcher::instance().emit(target, code, 2, 1, data, extra);
}

void window::create(std::string_view title, const rect& geometry, uint16_t flags)
{
    m_native->create_native(m_owner ? &m_owner->native() : nullptr, *this, geometry, flags);
    m_native->set_title(title);
    m_root.set_name("BaseWidget");
    m_root.set_window(this);
    m_root.set_parent(nullptr);
    m_root.create({0, 0, geometry.width, geometry.height});
    deliver(&m_root, event_type::created, nullptr);
    // The renderer takes the window's size and scale from the native window itself: the size
    // message sent during creation came before the window could pass it on.
    m_renderer = std::make_unique<renderer>(*m_native);
    m_text_input = std::make_unique<text_input_state>(*m_native);
    emit(event_type::created);
    m_created = true;
}

int32_t window::run_modal()
{
    m_result = 0;
    emit(event_type::shown);
    if (m_native->owner())
        m_native->set_owner_enabled(false);
    if (!m_native->is_visible()) {
        m_native->show();
        m_native->update_now();
    }
    m_native->set_running(true);
    emit(event_type::modal_started);
    while (m_native->is_running()) {
        if (!m_native->pump())
            break;
    }
    m_native->set_running(false);
    emit(event_type::hidden);
    return m_result;
}

void window::close(int32_t result)
{
    m_result = result;
    emit(event_type::hidden);
    m_native->set_running(false);
    if (m_native->owner()) {
        m_native->set_owner_enabled(true);
        m_native->focus_owner();
    }
    if (m_native->is_visible())
        m_native->hide();
}

void window::set_focus(widget* target, int32_t reason)
{
    if (target == m_focused)
        return;
    if (m_focused)
        deliver(m_focused, event_type::focus_lost, integer_data(static_cast<uint32_t>(reason)),
                reinterpret_cast<uintptr_t>(target));
    // The window draws the keyboard's focus mark, so it repaints where the mark leaves and lands
    // even for widgets that do not repaint on focus changes themselves.
    if (m_keyboard_cues && m_focused)
        m_focused->invalidate(false);
    if (m_keyboard_cues && target)
        target->invalidate(false);
    m_focused = target;
    if (takes_input(target)) {
        deliver(target, event_type::focus_gained, integer_data(static_cast<uint32_t>(reason)));
        announce(access_event::focus, target);
    }
}

void window::add_tooltip(widget* target, const rect& area, std::string_view title,
                         std::string_view text)
{
    if (title.empty() && text.empty())
        return;
    if (m_tooltips.empty())
        m_native->start_timer(tooltip_timer_id, 100);
    m_tooltips[target].push_back({area, std::string(title), std::string(text)});
}

// Made when the pointer first meets a widget with a tip, not with the first tip: a window
// and its renderer cost the first frame of a page that shows no tip. It is made hidden, with
// the hidden frame that lets its first shown frame reach the screen, well before the tip shows.
void window::create_tooltip_window()
{
    if (m_tooltip)
        return;
    m_tooltip = std::make_unique<tooltip>();
    m_tooltip->set_owner(this);
    m_tooltip->create("", {0, 0, 400, 200}, 0x21);
}

void window::remove_tooltips(widget* target)
{
    if (m_tooltips.erase(target) && m_tooltips.empty())
        m_native->stop_timer(tooltip_timer_id);
}

void window::set_timer(event_object* owner, uint32_t number, uint32_t interval_ms, bool one_shot)
{
    for (const auto& [id, entry] : m_timers) {
        if (entry.owner == owner && entry.number == number)
            return;
    }
    uint32_t id = m_native->next_timer_id();
    while (id >= reserved_timer_id || m_timers.count(id))
        id = m_native->next_timer_id();
    m_timers[id] = {owner, number, one_shot};
    m_native->start_timer(id, interval_ms);
}

void window::kill_timer(event_object* owner, uint32_t number)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.owner == owner && it->second.number == number) {
            m_native->stop_timer(it->first);
            m_timers.erase(it);
            return;
        }
    }
}

void window::native_timer(uint32_t id)
{
    if (id == tooltip_timer_id) {
        tooltip_tick();
        return;
    }
    const auto found = m_timers.find(id);
    if (found == m_timers.end())
        return;
    const timer_entry entry = found->second;
    if (entry.one_shot)
        kill_timer(entry.owner, entry.number);
    {
        const work_scope work(*this);
        event_dispatcher::instance().emit(entry.owner, event_type::timer, 2, 1,
                                          integer_data(entry.number));
        settle_focus();
    }
    tell_untold();
}

void window::add_widget(widget* created)
{
    m_widgets.push_back(created);
}

// Nothing may keep pointing at a widget that is gone, or the next input would reach freed memory.
void window::forget_widget(widget* gone)
{
    remove_tooltips(gone);
    // A tip shown for the widget reads its keys from it; it must not outlive it on screen.
    if (m_tooltip && m_tooltip->style_source() == gone) {
        hide_tooltip();
        m_tooltip->clear_style_source();
    }
    std::erase(m_widgets, gone);
    if (m_hovered == gone) {
        m_hovered = nullptr;
        m_tooltip_suppressed = false;
    }
    if (m_focused == gone)
        m_focused = nullptr;
    if (m_wheel_widget == gone)
        m_wheel_widget = nullptr;
    if (m_drop_widget == gone)
        m_drop_widget = nullptr;
    if (m_tooltip_widget == gone)
        m_tooltip_widget = nullptr;
    if (captured_widget == gone)
        captured_widget = nullptr;
}

void window::invalidate_area(const rect& area)
{
    m_native->invalidate(area);
}

void window::update_now()
{
    m_native->update_now();
}

point window::screen_to_client_dips(point screen) const
{
    const point client = screen_to_client(*m_native, screen);
    return {client.x * 96 / m_native->dpi_x(), client.y * 96 / m_native->dpi_y()};
}

widget* window::widget_at(point position) const
{
    if (captured_widget)
        return captured_widget;
    if (!m_root.is_visible(true) || position.x < 0 || position.y < 0 ||
        position.x >= m_root.width() || position.y >= m_root.height())
        return nullptr;
    widget* current = const_cast<widget*>(&m_root);
    point origin{m_root.x(), m_root.y()};
    for (;;) {
        widget* hit = nullptr;
        const auto& children = current->children();
        for (auto it = children.rbegin(); it != children.rend() && !hit; ++it) {
            widget* child = *it;
            if (!child->is_visible(true))
                continue;
            const int32_t left = origin.x + child->x();
            const int32_t top = origin.y + child->y();
            if (position.x >= left && position.x < left + child->width() && position.y >= top &&
                position.y < top + child->height())
                hit = child;
        }
        if (!hit)
            return current;
        origin = {origin.x + hit->x(), origin.y + hit->y()};
        current = hit;
    }
}

widget* window::pointer_widget() const
{
    return widget_at(m_root.pointer_position());
}

widget* window::captured() const
{
    return takes_input(captured_widget) ? captured_widget : nullptr;
}

void window::paint_native(rect update)
{
    paint_tree(&m_root, update);
}

void window::paint_tree(widget* target, const rect& update)
{
    if (!target->is_visible(true))
        return;
    const float saved_x = m_paint_origin_x;
    const float saved_y = m_paint_origin_y;
    const float left = m_paint_origin_x + static_cast<float>(target->x());
    const float top = m_paint_origin_y + static_cast<float>(target->y());
    const float right = left + static_cast<float>(target->width());
    const float bottom = top + static_cast<float>(target->height());
    m_paint_origin_x = left;
    m_paint_origin_y = top;
    // update holds left, top, right, bottom in its four fields.
    if (static_cast<float>(update.x) < right && static_cast<float>(update.y) < bottom &&
        left < static_cast<float>(update.width) && top < static_cast<float>(update.height)) {
        m_renderer->begin_widget(target, target->geometry(), update);
        // A handler that throws still closes its level: a pass left open would keep the
        // renderer's frame begun, and the window would never present again.
        try {
            deliver(target, event_type::paint, nullptr);
            const std::vector<widget*> children = target->children();
            for (widget* child : children)
                paint_tree(child, update);
            if (target == m_focused && m_keyboard_cues)
                paint_focus_mark(*target);
        } catch (...) {
            m_paint_origin_x = saved_x;
            m_paint_origin_y = saved_y;
            m_renderer->end_widget();
            throw;
        }
        m_renderer->end_widget();
    }
    m_paint_origin_x = saved_x;
    m_paint_origin_y = saved_y;
}

bool window::request_close()
{
    bool kept = false;
    {
        const work_scope work(*this);
        kept = emit(event_type::close_request);
    }
    tell_untold();
    return kept;
}

void window::native_resized(size pixels)
{
    if (m_created)
        m_renderer->resize(pixels.width, pixels.height, m_native->dpi_x(), m_native->dpi_y());
}

bool window::has_pointer_handlers(event_type code)
{
    const widget* under = pointer_widget();
    auto& events = event_dispatcher::instance();
    if (takes_input(under) && events.has_handlers(const_cast<widget*>(under), code))
        return true;
    return events.has_handlers(this, code);
}

void window::user_message(intptr_t lparam, uintptr_t wparam)
{
    {
        const work_scope work(*this);
        on_user_message(lparam, wparam);
        settle_focus();
    }
    tell_untold();
}

} // namespace zksdk::ui
