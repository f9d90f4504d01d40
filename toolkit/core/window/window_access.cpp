// The window's accessibility: the tree of described widgets, default actions, focus requests
// and announcements.
#include "toolkit/core/window/window.h"

#include "toolkit/platform/renderer.h"

#include <algorithm>

namespace zksdk::ui {

namespace {

// Nothing to say: neither a role nor a name. Such widgets are left out and their children
// hang on the nearest described ancestor.
bool is_silent(const access_node& node)
{
    return node.role == access_role::grouping && node.name.empty();
}

} // namespace

bool window::describe(const widget& target, access_node& node) const
{
    node = access_node{};
    auto& events = event_dispatcher::instance();
    auto* sender = const_cast<widget*>(&target);
    events.emit(sender, event_type::describe, 2, 1, &node);
    if (node.name.empty() && target.labelled_by() != 0) {
        if (const widget* label = widget_by_access_id(target.labelled_by())) {
            access_node labelling;
            events.emit(const_cast<widget*>(label), event_type::describe, 2, 1, &labelling);
            node.name = labelling.name;
        }
    }
    if (is_silent(node))
        return false;
    node.id = target.access_id();
    node.bounds = target.window_rect();
    if (!target.accepts_input())
        node.states |= access_state::disabled;
    if (!target.is_visible(true))
        node.states |= access_state::invisible;
    if (target.is_tab_stop() && target.accepts_input() && target.is_visible(true))
        node.states |= access_state::focusable;
    if (&target == m_focused)
        node.states |= access_state::focused;
    return true;
}

std::vector<access_node> window::access_tree()
{
    std::vector<access_node> nodes;
    access_node self;
    self.id = 0;
    self.role = m_access_role;
    self.name = m_native->title();
    self.bounds = {0, 0, m_root.width(), m_root.height()};
    if (!m_native->is_visible())
        self.states |= access_state::invisible;
    nodes.push_back(self);
    // Depth first from the root, parents before children, each child under its nearest
    // described ancestor.
    struct pending {
        const widget* target;
        int32_t parent;
    };
    // The top level is read from top to bottom: a page built after the frame's footer still
    // comes before it.
    std::vector<const widget*> top(m_root.children().begin(), m_root.children().end());
    std::stable_sort(top.begin(), top.end(), [](const widget* a, const widget* b) {
        return 2 * a->y() + a->height() < 2 * b->y() + b->height();
    });
    std::vector<pending> stack;
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.push_back({*it, 0});
    while (!stack.empty()) {
        const pending next = stack.back();
        stack.pop_back();
        access_node node;
        int32_t parent_for_children = next.parent;
        if (describe(*next.target, node)) {
            node.parent = next.parent;
            parent_for_children = node.id;
            nodes.push_back(std::move(node));
        }
        const auto& children = next.target->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, parent_for_children});
    }
    return nodes;
}

widget* window::widget_by_access_id(int32_t id) const
{
    for (widget* candidate : m_widgets) {
        if (candidate->access_id() == id)
            return candidate;
    }
    return nullptr;
}

bool window::access_default_action(int32_t id)
{
    widget* target = widget_by_access_id(id);
    access_node node;
    if (!target || !describe(*target, node) || node.default_action.empty())
        return false;
    if ((node.states & (access_state::disabled | access_state::invisible)) != 0)
        return false;
    return event_dispatcher::instance().emit(target, event_type::access_action);
}

bool window::access_focus(int32_t id)
{
    widget* target = widget_by_access_id(id);
    if (!target || !target->is_tab_stop() || !target->accepts_input() || !target->is_visible(true))
        return false;
    set_keyboard_cues(true);
    set_focus(target, 1);
    return true;
}

void window::announce(access_event event, const widget* target)
{
    // Nobody can read a window that is not shown yet; it announces itself when it opens.
    if (!m_native->is_created() || !m_native->is_visible())
        return;
    m_native->announce(event, target ? target->access_id() : 0);
}

void window::set_keyboard_cues(bool shown)
{
    if (m_keyboard_cues == shown)
        return;
    m_keyboard_cues = shown;
    if (m_focused)
        m_focused->invalidate(false);
}

// Drawn over the widget and its children, inside its own bounds so that its clip keeps all of
// it; a widget whose style gives the mark no width (the default) draws its own or none.
void window::paint_focus_mark(const widget& target)
{
    const float width = target.style().read_float("focus_mark_width");
    const color stroke = target.style().read_color("focus_mark_color");
    if (width <= 0 || stroke.a <= 0)
        return;
    const int32_t inset = static_cast<int32_t>(width / 2);
    const rect area = target.focus_mark_area();
    m_renderer->set_dash(0);
    m_renderer->set_stroke(stroke, width);
    m_renderer->draw_rect(
        {area.x + inset, area.y + inset, area.width - 2 * inset, area.height - 2 * inset});
}

} // namespace zksdk::ui
