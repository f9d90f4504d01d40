// flow_panel: measure the fixed items, share what is left among the stretch items, place.
#include "toolkit/core/widget/flow_panel.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>

namespace zksdk::ui {

flow_panel::flow_panel(flow_direction direction, auto_size sizing, track_children tracking)
    : m_direction(direction), m_auto_size(sizing == auto_size::on),
      m_track_children(tracking == track_children::on)
{
    style().set("default_back_color", color{0, 0, 0, 0});
    event_dispatcher::instance().connect(this, this, event_type::created,
                                         bind_event<flow_panel>(this, &flow_panel::on_created));
}

void flow_panel::on_created()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::child_added,
                   bind_event(this, &flow_panel::on_child_added));
    events.connect(this, this, event_type::child_removed,
                   bind_event(this, &flow_panel::on_child_removed));
    events.connect(this, this, event_type::paint, bind_event<flow_panel>(this, &flow_panel::paint));
    events.connect(this, this, event_type::resized, bind_event(this, &flow_panel::on_resized));
    if (m_auto_size) {
        events.connect(this, this, event_type::parent_resized,
                       bind_event<flow_panel>(this, &flow_panel::fit_to_parent));
        fit_to_parent();
    }
}

void flow_panel::add_spacing(int32_t length)
{
    m_items.push_back({nullptr, length, item_kind::spacing, false});
}

void flow_panel::add_stretch()
{
    m_items.push_back({nullptr, 0, item_kind::stretch, true});
    m_has_stretch = true;
}

void flow_panel::on_child_added(const event_info& info)
{
    auto* child = static_cast<widget*>(info.data);
    m_items.push_back({child, 0, item_kind::child, false});
    if (m_track_children)
        connect_child(child, event_type::resized, bind_event(this, &flow_panel::on_child_resized));
    connect_child(child, event_type::hidden, bind_event<flow_panel>(this, &flow_panel::relayout));
    connect_child(child, event_type::shown, bind_event<flow_panel>(this, &flow_panel::relayout));
}

// The remaining children keep their places until the next relayout.
void flow_panel::on_child_removed(const event_info& info)
{
    const auto* child = static_cast<widget*>(info.data);
    std::erase_if(m_items, [child](const item& entry) {
        return entry.kind == item_kind::child && entry.child == child;
    });
    m_has_stretch = std::any_of(m_items.begin(), m_items.end(),
                                [](const item& entry) { return entry.stretch; });
}

void flow_panel::on_child_resized(const event_info& info)
{
    const auto* child = static_cast<const widget*>(info.sender);
    const auto* old = static_cast<const size*>(info.data);
    const bool height_changed = old->height != child->height();
    const bool width_changed = old->width != child->width();
    if (m_direction == flow_direction::vertical) {
        if (height_changed)
            relayout();
        return;
    }
    if (width_changed)
        relayout();
    if (height_changed)
        relayout();
}

void flow_panel::on_resized(const event_info& info)
{
    const auto* old = static_cast<const size*>(info.data);
    const bool changed = old->width != width() || old->height != height();
    if (changed && m_has_stretch)
        relayout();
}

void flow_panel::fit_to_parent()
{
    if (parent() && m_has_stretch) {
        rect fitted = geometry();
        if (m_direction == flow_direction::horizontal)
            fitted.width = parent()->width() - x();
        else if (m_direction == flow_direction::vertical)
            fitted.height = parent()->height() - y();
        set_geometry(fitted);
    }
    relayout();
}

int32_t flow_panel::main_length(const widget& target) const
{
    return m_direction == flow_direction::horizontal ? target.width() : target.height();
}

void flow_panel::relayout()
{
    int32_t used = 0;
    int32_t stretch_count = 0;
    for (const item& entry : m_items) {
        if (entry.kind == item_kind::child && entry.child->is_visible(false))
            used += main_length(*entry.child);
        else if (entry.kind == item_kind::spacing)
            used += entry.length;
        stretch_count += entry.stretch ? 1 : 0;
    }
    // May be negative: stretch items then pull the following items back.
    const int32_t share = stretch_count > 0 ? (main_length(*this) - used) / stretch_count : 0;

    int32_t position = 0;
    const std::vector<item> items = m_items; // set_geometry raises events that may edit the list
    for (const item& entry : items) {
        if (entry.kind == item_kind::stretch) {
            position += share;
        } else if (entry.kind == item_kind::spacing) {
            position += entry.length;
        } else if (entry.child->is_visible(false)) {
            widget& child = *entry.child;
            const int32_t length = main_length(child) + (entry.stretch ? share : 0);
            if (m_direction == flow_direction::horizontal)
                child.set_geometry({position, child.y(), length, child.height()});
            else
                child.set_geometry({child.x(), position, child.width(), length});
            position += length;
        }
    }
    if (m_auto_size && position != main_length(*this)) {
        rect sized = geometry();
        (m_direction == flow_direction::horizontal ? sized.width : sized.height) =
            std::max(position, 0);
        set_geometry(sized);
    }
}

void flow_panel::paint()
{
    renderer& target = window()->painter();
    target.set_fill_color(style().read_color("default_back_color"));
    target.fill_rect({0, 0, width(), height()});
}

} // namespace zksdk::ui
