// scroll_bar: following the content and the viewport, the thumb drag, track clicks, arrow
// buttons and the wheel.
#include "toolkit/controls/scroll_bar.h"

#include "toolkit/controls/scroll_geometry.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/native_services.h"

#include <algorithm>

namespace zksdk::ui {

namespace {

bool contains_with_edges(const rect& area, point at)
{
    return at.x >= area.x && at.y >= area.y && at.x <= area.x + area.width &&
           at.y <= area.y + area.height;
}

bool contains(const rect& area, point at)
{
    return at.x >= area.x && at.y >= area.y && at.x < area.x + area.width &&
           at.y < area.y + area.height;
}

} // namespace

scroll_bar::scroll_bar()
{
    event_dispatcher::instance().connect(this, this, event_type::created,
                                         bind_event<scroll_bar>(this, &scroll_bar::on_created));
}

// A bar destroyed in the middle of a drag must not leave the window's input pointed at it.
scroll_bar::~scroll_bar()
{
    if (captured_widget == this) {
        end_drag();
    }
}

void scroll_bar::on_created()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::paint, bind_event<scroll_bar>(this, &scroll_bar::paint));
    events.connect(this, this, event_type::mouse_down,
                   bind_event(this, &scroll_bar::on_mouse_down));
    events.connect(this, this, event_type::mouse_up, bind_event(this, &scroll_bar::on_mouse_up));
    events.connect(this, this, event_type::mouse_move,
                   bind_event<scroll_bar>(this, &scroll_bar::on_mouse_move));
    events.connect(this, this, event_type::mouse_wheel, bind_event(this, &scroll_bar::on_wheel));
    events.connect(this, this, event_type::resized,
                   bind_event<scroll_bar>(this, &scroll_bar::layout));
    // The router stops delivering to a disabled bar, so a drag in progress ends here.
    events.connect(this, this, event_type::disabled,
                   bind_event<scroll_bar>(this, &scroll_bar::end_drag));
    layout();
}

void scroll_bar::set_orientation(scroll_orientation orientation)
{
    if (orientation == m_orientation) {
        return;
    }
    m_orientation = orientation;
    layout();
}

void scroll_bar::set_buttons(scroll_buttons buttons)
{
    if ((buttons == scroll_buttons::shown) == m_has_buttons) {
        return;
    }
    m_has_buttons = buttons == scroll_buttons::shown;
    layout();
}

void scroll_bar::set_step(int32_t step)
{
    if (step == m_step) {
        return;
    }
    m_step = step;
    invalidate(false);
}

void scroll_bar::attach(widget* content)
{
    detach();
    m_content = content;
    if (content == nullptr) {
        update();
        return;
    }
    move_content(0);
    event_dispatcher& events = event_dispatcher::instance();
    const auto follow = [&](event_object* sender, event_type type, event_callback callback) {
        m_content_connections.push_back(events.connect(sender, this, type, std::move(callback)));
    };
    if (is_vertical()) {
        follow(content, event_type::mouse_wheel, bind_event(this, &scroll_bar::on_wheel));
    }
    follow(content, event_type::resized, bind_event<scroll_bar>(this, &scroll_bar::update));
    follow(content, event_type::moved, bind_event<scroll_bar>(this, &scroll_bar::update));
    // Forgetting the content as it goes keeps the bar from reaching into a destroyed widget.
    follow(content, event_type::destroyed, bind_event<scroll_bar>(this, &scroll_bar::detach));
    if (widget* viewport = content->parent()) {
        follow(viewport, event_type::resized,
               bind_event<scroll_bar>(this, &scroll_bar::on_viewport_resized));
    }
    update();
}

void scroll_bar::detach()
{
    for (const connection_id id : m_content_connections) {
        event_dispatcher::instance().disconnect(id);
    }
    m_content_connections.clear();
    if (m_content == nullptr) {
        return;
    }
    m_content = nullptr;
    update();
}

void scroll_bar::move_content(int32_t coordinate)
{
    rect placed = m_content->geometry();
    (is_vertical() ? placed.y : placed.x) = coordinate;
    m_content->set_geometry(placed);
}

void scroll_bar::scroll_to(int32_t offset, scroll_snap snap)
{
    if (m_content == nullptr) {
        return;
    }
    const int32_t wanted = snap == scroll_snap::exact ? offset : snap_to_step(offset, m_step);
    move_content(clamp_coordinate(-wanted, m_range));
    emit(event_type::value_changed, reinterpret_cast<void*>(static_cast<intptr_t>(offset)));
}

void scroll_bar::scroll_by(int32_t delta)
{
    if (m_content == nullptr) {
        return;
    }
    move_content(clamp_coordinate(start_of(m_content->geometry()) + delta, m_range));
    emit(event_type::value_changed, reinterpret_cast<void*>(static_cast<intptr_t>(m_position)));
}

void scroll_bar::layout()
{
    const int32_t side = is_vertical() ? width() : height();
    m_first_button = {};
    m_second_button = {};
    if (m_has_buttons && is_vertical()) {
        m_first_button = {0, 0, side, side};
        m_second_button = {0, height() - side, side, side};
    } else if (m_has_buttons) {
        m_first_button = {0, 0, side, side};
        m_second_button = {width() - side, 0, side, side};
    }
    update();
}

void scroll_bar::update()
{
    const int32_t buttons = extent_of(m_first_button);
    const int32_t bar = is_vertical() ? height() : width();
    widget* viewport = m_content != nullptr ? m_content->parent() : nullptr;
    if (viewport == nullptr) {
        // Nothing to scroll: the thumb fills the track and nothing can move it.
        m_thumb = is_vertical() ? rect{0, buttons, width(), height() - 2 * buttons}
                                : rect{buttons, 0, width() - 2 * buttons, height()};
        m_range = 0;
        m_position = 0;
        m_ratio = 0;
        m_needed = false;
    } else {
        const rect& content = m_content->geometry();
        const int32_t seen = extent_of(viewport->geometry());
        const scroll_metrics metrics =
            measure_scroll(bar - 2 * buttons, seen, extent_of(content), start_of(content),
                           style().read_int("scroll_min_size"));
        m_range = metrics.range;
        m_position = metrics.position;
        m_ratio = metrics.ratio;
        const int32_t thumb_start = metrics.thumb_offset + buttons;
        m_thumb = is_vertical() ? rect{0, thumb_start, width(), metrics.thumb_length}
                                : rect{thumb_start, 0, metrics.thumb_length, height()};
        m_needed = seen < extent_of(content);
        if (thumb_start + metrics.thumb_length > bar) {
            scroll_to(m_range, scroll_snap::exact);
        } else if (m_range < -start_of(content)) {
            scroll_to(m_position, scroll_snap::exact);
        }
    }
    set_visible(m_needed);
    invalidate(false);
}

// Pulls the content back so that a larger viewport shows no empty space past its far edge.
void scroll_bar::on_viewport_resized()
{
    widget* viewport = m_content != nullptr ? m_content->parent() : nullptr;
    if (viewport != nullptr) {
        const int32_t start = start_of(m_content->geometry());
        const int32_t length = extent_of(m_content->geometry());
        const int32_t seen = extent_of(viewport->geometry());
        if (start < 0 && start + length < seen) {
            move_content(std::min(0, seen - length));
        }
    }
    update();
}

void scroll_bar::on_mouse_down(const event_info& info)
{
    if (reinterpret_cast<uintptr_t>(info.data) != mouse_button::left) {
        return;
    }
    const point at = pointer_position();
    if (contains_with_edges(m_thumb, at)) {
        const auto offset = static_cast<int32_t>(static_cast<float>(m_position) * m_ratio);
        m_dragging = true;
        captured_widget = this;
        m_drag_anchor = {at.x - offset, at.y - offset};
        capture_mouse(window()->native());
        return;
    }
    if (contains(m_first_button, at) || contains(m_second_button, at)) {
        return;
    }
    // A thumb that cannot move (nothing to scroll, or as long as the track) gives no offset.
    const int32_t pressed = along(at);
    std::optional<int32_t> offset;
    if (pressed < start_of(m_thumb)) {
        offset = offset_at(pressed, m_ratio);
    } else if (pressed > start_of(m_thumb) + extent_of(m_thumb)) {
        offset = offset_at(pressed - extent_of(m_thumb), m_ratio);
    }
    if (offset) {
        scroll_to(*offset, scroll_snap::exact);
    }
}

void scroll_bar::on_mouse_move()
{
    if (!m_dragging) {
        return;
    }
    const point at = pointer_position();
    if (const auto offset = offset_at(along(at) - along(m_drag_anchor), m_ratio)) {
        scroll_to(*offset, scroll_snap::to_step);
    }
}

void scroll_bar::on_mouse_up(const event_info& info)
{
    if (reinterpret_cast<uintptr_t>(info.data) != mouse_button::left) {
        return;
    }
    if (m_dragging) {
        end_drag();
        return;
    }
    if (m_content == nullptr || !m_has_buttons) {
        return;
    }
    const point at = pointer_position();
    if (contains(m_first_button, at)) {
        scroll_by(m_step);
    } else if (contains(m_second_button, at)) {
        scroll_by(-m_step);
    }
}

void scroll_bar::end_drag()
{
    if (captured_widget == this) {
        release_mouse_capture();
        captured_widget = nullptr;
    }
    m_dragging = false;
}

// Right Alt is how the system reports AltGr, which also holds Control down: typing with AltGr
// must not stop the wheel.
void scroll_bar::on_wheel(const event_info& info)
{
    if (is_key_down(modifier_key::control) && !is_key_down(modifier_key::right_alt)) {
        return;
    }
    const bool shift =
        is_key_down(modifier_key::left_shift) || is_key_down(modifier_key::right_shift);
    const int32_t multiplier = shift ? style().read_int("scroll_speed_multiplier") : 1;
    const double amount = *static_cast<const double*>(info.data);
    scroll_by(multiplier * static_cast<int32_t>(amount));
}

} // namespace zksdk::ui
