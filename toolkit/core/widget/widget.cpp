// The widget tree: geometry, own and effective flags, invalidation and pointer mapping.
#include "toolkit/core/widget/widget.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/native_services.h"

#include <algorithm>

namespace zksdk::ui {

// Assistive technology keeps ids across calls, so an id is never given twice in a run.
int32_t new_access_id()
{
    static int32_t counter = 0;
    return ++counter;
}

widget::widget() : m_style(this), m_access_id(new_access_id()) {}

widget::~widget()
{
    if (m_window)
        m_window->forget_widget(this);
    if (m_parent)
        m_parent->remove_child(this);
    for (widget* child : m_children)
        child->m_parent = nullptr;
    emit(event_type::destroyed);
}

bool widget::emit(event_type type, void* data)
{
    return event_dispatcher::instance().emit(this, type, 2, 1, data);
}

void widget::announce(access_event event) const
{
    if (m_created && m_window != nullptr && m_window->is_created())
        m_window->announce(event, this);
}

void widget::create(const rect& geometry)
{
    m_geometry = {geometry.x, geometry.y, std::max(geometry.width, 0),
                  std::max(geometry.height, 0)};
    set_enabled(true);
    set_visible(true);
    if (m_window)
        m_window->add_widget(this);
    if (m_parent) {
        push_enabled(m_parent->m_enabled && m_parent->m_effectively_enabled);
        push_visible(m_parent->is_visible(true));
    }
    m_created = true;
}

void widget::add_child(widget* child)
{
    child->m_parent = this;
    child->emit(event_type::parent_changed, this);
    size current{m_geometry.width, m_geometry.height};
    child->emit(event_type::parent_resized, &current);
    child->push_enabled(m_effectively_enabled && m_enabled);
    child->push_visible(m_effectively_visible && m_visible);
    m_children.push_back(child);
    emit(event_type::child_added, child);
}

// A former child stands on its own again: its flags no longer depend on this widget.
void widget::detach_child(widget* child)
{
    child->m_parent = nullptr;
    child->push_enabled(true);
    child->push_visible(true);
    child->emit(event_type::shown_by_parent);
    emit(event_type::child_removed, child);
}

void widget::remove_child(widget* child)
{
    std::erase(m_children, child);
    detach_child(child);
    cut_child_connections(child);
}

void widget::remove_all_children()
{
    const std::vector<widget*> children = m_children;
    for (widget* child : children)
        detach_child(child);
    for (auto& [child, ids] : m_child_connections) {
        for (const connection_id id : ids)
            event_dispatcher::instance().disconnect(id);
    }
    m_child_connections.clear();
    m_children.clear();
}

connection_id widget::connect_child(widget* child, event_type type, event_callback callback)
{
    const connection_id id =
        event_dispatcher::instance().connect(child, this, type, std::move(callback));
    m_child_connections[child].push_back(id);
    return id;
}

void widget::cut_child_connections(widget* child)
{
    const auto found = m_child_connections.find(child);
    if (found == m_child_connections.end())
        return;
    for (const connection_id id : found->second)
        event_dispatcher::instance().disconnect(id);
    m_child_connections.erase(found);
}

// Deepest widgets hear about it first: a child after its own descendants.
void widget::push_visible(bool value)
{
    m_effectively_visible = value;
    const std::vector<widget*> children = m_children;
    for (widget* child : children) {
        const bool shown = value && m_visible;
        child->push_visible(shown);
        child->emit(shown ? event_type::shown_by_parent : event_type::hidden_by_parent);
    }
}

void widget::push_enabled(bool value)
{
    m_effectively_enabled = value;
    for (widget* child : m_children)
        child->push_enabled(value && m_enabled);
}

void widget::set_visible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    push_visible(m_effectively_visible);
    emit(visible ? event_type::shown : event_type::hidden);
    invalidate(false);
    announce(visible ? access_event::shown : access_event::hidden);
}

void widget::set_enabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    push_enabled(m_effectively_enabled);
    emit(enabled ? event_type::enabled : event_type::disabled);
    invalidate(false);
    announce(access_event::enabled_changed);
}

bool widget::is_visible(bool include_ancestors) const
{
    return include_ancestors ? m_visible && m_effectively_visible : m_visible;
}

void widget::set_geometry(const rect& geometry)
{
    const rect old = m_geometry;
    m_geometry = {geometry.x, geometry.y, std::max(geometry.width, 0),
                  std::max(geometry.height, 0)};
    if (!m_created)
        return;
    const std::vector<widget*> children = m_children;
    if (old.width != m_geometry.width || old.height != m_geometry.height) {
        size old_size{old.width, old.height};
        emit(event_type::resized, &old_size);
        for (widget* child : children) {
            child->emit(event_type::parent_resized, &old_size);
            child->invalidate(false);
        }
    }
    if (old.x != m_geometry.x || old.y != m_geometry.y) {
        point old_position{old.x, old.y};
        emit(event_type::moved, &old_position);
        for (widget* child : children)
            child->emit(event_type::parent_moved, &old_position);
    }
    // The area the widget left must be repainted by its parent.
    if (old != m_geometry && old.width > 0 && old.height > 0 && m_parent)
        m_parent->invalidate(false);
    invalidate(false);
}

rect widget::window_rect() const
{
    rect area{0, 0, m_geometry.width, m_geometry.height};
    for (const widget* node = this; node; node = node->m_parent) {
        area.x += node->m_geometry.x;
        area.y += node->m_geometry.y;
    }
    return area;
}

void widget::invalidate(bool update_now)
{
    if (!m_created || !m_window)
        return;
    if (m_geometry.width > 0 && m_geometry.height > 0)
        m_window->invalidate_area(window_rect());
    if (update_now)
        m_window->update_now();
}

point widget::pointer_position() const
{
    const point screen = pointer_screen_position();
    if (!m_window) {
        const point dpi = pointer_dpi();
        return {screen.x * 96 / dpi.x, screen.y * 96 / dpi.y};
    }
    point local = m_window->screen_to_client_dips(screen);
    for (const widget* node = this; node && node->m_parent; node = node->m_parent) {
        local.x -= node->m_geometry.x;
        local.y -= node->m_geometry.y;
    }
    return local;
}

} // namespace zksdk::ui
