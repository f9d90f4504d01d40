// The window's accessibility: the tree of described widgets, default actions, focus requests,
// documents' texts and announcements.
#include "toolkit/core/window/window.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>
#include <unordered_map>

namespace zksdk::ui {

namespace {

// Nothing to say: neither a role nor a name. Such widgets are left out and their children
// hang on the nearest described ancestor.
bool is_silent(const access_node& node)
{
    return node.role == access_role::grouping && node.name.empty();
}

rect intersection(const rect& a, const rect& b)
{
    const int32_t left = std::max(a.x, b.x);
    const int32_t top = std::max(a.y, b.y);
    const int32_t right = std::min(a.x + a.width, b.x + b.width);
    const int32_t bottom = std::min(a.y + a.height, b.y + b.height);
    if (right <= left || bottom <= top)
        return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

// The children in creation order, each one that asks so moved to just after its sibling.
std::vector<const widget*> reading_order(const widget& parent)
{
    std::vector<const widget*> order(parent.children().begin(), parent.children().end());
    std::vector<const widget*> moved;
    std::erase_if(order, [&moved](const widget* child) {
        const bool later = child->read_after() != nullptr;
        if (later)
            moved.push_back(child);
        return later;
    });
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
        const auto sibling = std::find(order.begin(), order.end(), (*it)->read_after());
        order.insert(sibling == order.end() ? order.end() : sibling + 1, *it);
    }
    return order;
}

rect bounding(const std::vector<rect>& boxes)
{
    if (boxes.empty())
        return {};
    int32_t left = boxes[0].x, top = boxes[0].y;
    int32_t right = left + boxes[0].width, bottom = top + boxes[0].height;
    for (const rect& box : boxes) {
        left = std::min(left, box.x);
        top = std::min(top, box.y);
        right = std::max(right, box.x + box.width);
        bottom = std::max(bottom, box.y + box.height);
    }
    return {left, top, right - left, bottom - top};
}

} // namespace

bool window::is_blocked() const
{
    return m_native->is_created() && !m_native->is_input_enabled();
}

// What its ancestors let through: a scrolled document is far taller than its viewport.
rect window::visible_rect(const widget& target) const
{
    rect area = target.window_rect();
    for (const widget* up = target.parent(); up != nullptr; up = up->parent())
        area = intersection(area, up->window_rect());
    return area;
}

bool window::describe(const widget& target, access_node& node) const
{
    node = access_node{};
    auto& events = event_dispatcher::instance();
    auto* sender = const_cast<widget*>(&target);
    events.emit(sender, event_type::describe, 2, 1, &node);
    if (node.name.empty() && target.labelled_by() != 0) {
        const widget* label = widget_by_access_id(target.labelled_by());
        if (label != nullptr && label->is_visible(true)) {
            access_node labelling;
            events.emit(const_cast<widget*>(label), event_type::describe, 2, 1, &labelling);
            node.name = labelling.name;
        }
    }
    if (is_silent(node))
        return false;
    node.id = target.access_id();
    node.bounds = visible_rect(target);
    node.live = target.live();
    // Under a running popup nothing here can be used, whatever it looks like.
    const bool usable = target.accepts_input() && !is_blocked();
    // A text is read, never used: a reader has nothing to call unavailable about it.
    if (!usable && node.role != access_role::static_text)
        node.states |= access_state::disabled;
    if (!target.is_visible(true))
        node.states |= access_state::invisible;
    if (target.is_tab_stop() && usable && target.is_visible(true))
        node.states |= access_state::focusable;
    if (&target == m_focused)
        node.states |= access_state::focused;
    if (&target == m_default_button && usable)
        node.states |= access_state::default_button;
    return true;
}

int32_t window::part_id(int32_t owner, size_t index)
{
    const auto key = std::make_pair(owner, index);
    const auto found = m_part_ids.find(key);
    if (found != m_part_ids.end())
        return found->second;
    const int32_t id = new_access_id();
    m_part_ids.emplace(key, id);
    return id;
}

// Readers that walk objects rather than text (Active Accessibility) read a document by its
// paragraphs, each a static text of its own.
void window::add_parts(std::vector<access_node>& nodes, const widget& document,
                       const access_node& node)
{
    access_text text;
    if ((node.states & access_state::invisible) != 0 || !access_text_of(node.id, text))
        return;
    const std::vector<text_span> pieces = paragraphs(text.text);
    for (size_t i = 0; i < pieces.size(); ++i) {
        access_node part;
        part.id = part_id(document.access_id(), i);
        part.parent = node.id;
        part.role = access_role::static_text;
        part.name = utf16_to_utf8(std::u16string_view(text.text).substr(
            static_cast<size_t>(pieces[i].first),
            static_cast<size_t>(pieces[i].end - pieces[i].first)));
        part.states = access_state::read_only;
        part.paint_order = node.paint_order;
        part.bounds = bounding(range_boxes(text, pieces[i]));
        if (part.bounds.width == 0)
            part.states |= access_state::offscreen;
        nodes.push_back(std::move(part));
    }
}

std::vector<access_node> window::access_tree()
{
    std::vector<access_node> nodes;
    access_node self;
    self.id = 0;
    self.role = m_access_role;
    self.name = m_native->title();
    self.description = m_access_description;
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
    // The paint pass's order: depth first through the children as created.
    std::unordered_map<const widget*, int32_t> painted;
    std::vector<const widget*> to_paint(m_root.children().rbegin(), m_root.children().rend());
    while (!to_paint.empty()) {
        const widget* next = to_paint.back();
        to_paint.pop_back();
        painted.emplace(next, static_cast<int32_t>(painted.size()) + 1);
        to_paint.insert(to_paint.end(), next->children().rbegin(), next->children().rend());
    }
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
            node.paint_order = painted[next.target];
            parent_for_children = node.id;
            const bool document = node.role == access_role::document;
            nodes.push_back(node);
            if (document)
                add_parts(nodes, *next.target, node);
        }
        const std::vector<const widget*> children = reading_order(*next.target);
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
    bool done = false;
    {
        const work_scope work(*this);
        done = event_dispatcher::instance().emit(target, event_type::access_action);
        settle_focus();
    }
    tell_untold();
    return done;
}

bool window::access_focus(int32_t id)
{
    widget* target = widget_by_access_id(id);
    if (!target || !target->is_tab_stop() || !target->accepts_input() ||
        !target->is_visible(true) || is_blocked())
        return false;
    set_keyboard_cues(true);
    set_focus(target, 1);
    return true;
}

bool window::access_text_of(int32_t id, access_text& out)
{
    widget* target = widget_by_access_id(id);
    if (target == nullptr)
        return false;
    access_text_source source;
    event_dispatcher::instance().emit(target, event_type::access_text, 2, 1, &source);
    if (source.text == nullptr || source.lines == nullptr)
        return false;
    const rect place = target->window_rect();
    out.text = utf8_to_utf16(*source.text);
    out.lines = *source.lines;
    for (text_line_geometry& line : out.lines) {
        line.top += static_cast<float>(place.y);
        for (float& edge : line.edges)
            edge += static_cast<float>(place.x);
    }
    out.visible = visible_rect(*target);
    out.caret = source.caret;
    return true;
}

bool window::access_scroll(int32_t id, text_span range, bool align_to_top, bool place)
{
    widget* target = widget_by_access_id(id);
    access_text text;
    if (target == nullptr || is_blocked() || !access_text_of(id, text))
        return false;
    const int32_t first = line_of(text, range.first);
    const int32_t last = line_of(text, std::max(range.first, range.end - 1));
    if (first < 0)
        return false;
    const int32_t origin = target->window_rect().y;
    const text_line_geometry& top_line = text.lines[static_cast<size_t>(first)];
    const text_line_geometry& bottom_line = text.lines[static_cast<size_t>(last)];
    access_scroll_request request{
        static_cast<int32_t>(top_line.top) - origin,
        static_cast<int32_t>(bottom_line.top + bottom_line.height) - origin, align_to_top,
        place ? first : -1};
    return event_dispatcher::instance().emit(target, event_type::access_scroll, 2, 1, &request);
}

bool window::focus_within(const widget& target) const
{
    for (const widget* node = m_focused; node != nullptr; node = node->parent()) {
        if (node == &target)
            return true;
    }
    return false;
}

void window::announce(access_event event, const widget* target)
{
    if (target != nullptr &&
        (event == access_event::enabled_changed || event == access_event::hidden) &&
        focus_within(*target))
        m_focus_check_pending = true;
    // Nobody can read a window that is not shown yet; it announces itself when it opens.
    if (!m_native->is_created() || !m_native->is_visible())
        return;
    // What readers speak wherever their focus is comes after the focus: said before a focus
    // event, it would be cut short by it.
    const bool live = target != nullptr && target->live() != access_live::off &&
                      (event == access_event::name_changed || event == access_event::shown);
    if (live || event == access_event::alert || event == access_event::live_region_changed)
        tell_focus();
    // Readers drop or misplace a focus event from a window that does not have the system's
    // focus; the window says where its focus is when it gets it (window_input.cpp).
    if (event == access_event::focus && !m_native->is_focus_window())
        return;
    if (event == access_event::focus)
        m_focus_untold = false;
    int32_t id = 0;
    if (target != nullptr) {
        access_node node;
        if (!describe(*target, node))
            return;
        // What is hidden says nothing, except that it went.
        const bool heard = event == access_event::hidden ? target->is_effectively_visible()
                                                         : target->is_visible(true);
        if (!heard)
            return;
        id = node.id;
    }
    m_native->announce(event, id);
    // A live text that changes, or comes into sight, is read out.
    if ((event == access_event::name_changed || event == access_event::shown) &&
        target != nullptr && target->live() != access_live::off)
        m_native->announce(access_event::live_region_changed, id);
}

void window::announce_text(std::string_view sentence, const widget* source)
{
    if (!m_native->is_created() || sentence.empty())
        return;
    // Nobody hears a window before it is shown; what it says then (the first page's name) is
    // for the reader who meets it when it opens.
    if (!m_native->is_visible()) {
        m_untold_sentence = sentence;
        m_untold_source = source != nullptr ? source->access_id() : 0;
        return;
    }
    tell_focus();
    int32_t id = 0;
    access_node node;
    if (source != nullptr && source->is_visible(true) && describe(*source, node))
        id = node.id;
    m_native->announce(access_event::notification, id, sentence);
}

void window::tell_focus()
{
    if (!m_focus_untold || !m_native->is_focus_window())
        return;
    m_focus_untold = false;
    if (m_focused != nullptr && m_focused->accepts_input())
        announce(access_event::focus, m_focused);
}

void window::tell_untold()
{
    if (m_work_depth != 0 || !m_native->is_created() || !m_native->is_visible() ||
        !m_native->is_focus_window())
        return;
    tell_focus();
    if (m_untold_sentence.empty())
        return;
    const std::string sentence = std::move(m_untold_sentence);
    m_untold_sentence.clear();
    const widget* source = m_untold_source != 0 ? widget_by_access_id(m_untold_source) : nullptr;
    // What the window had to say of a widget that is gone from sight no longer holds.
    if (m_untold_source == 0 || (source != nullptr && source->is_visible(true)))
        announce_text(sentence, source);
}

bool window::focus_and_announce(widget* target)
{
    if (target == m_focused)
        return false;
    set_focus(target, focus_by_program);
    return true;
}

void window::settle_focus()
{
    if (!m_focus_check_pending)
        return;
    m_focus_check_pending = false;
    if (m_focused == nullptr || (m_focused->accepts_input() && m_focused->is_visible(true)))
        return;
    const auto usable = [](const widget* w) {
        return w != nullptr && w->is_tab_stop() && w->accepts_input() && w->is_visible(true);
    };
    widget* next = usable(m_default_button) ? m_default_button : nullptr;
    for (size_t i = 0; next == nullptr && i < m_widgets.size(); ++i) {
        if (usable(m_widgets[i]))
            next = m_widgets[i];
    }
    if (next != nullptr)
        set_focus(next, focus_by_program);
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
