// The base of every visible element: a rectangle with a style table, flags and children.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/event_object.h"
#include "toolkit/core/geometry.h"
#include "toolkit/core/style/style_table.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zksdk::ui {

class window;

// A fresh id for something assistive technology reads: a widget, or a part of one.
int32_t new_access_id();

// A node of a window's widget tree. The object that builds an interface owns its widgets; the
// parent and child links never own. Behaviour comes from callbacks on its own events.
class widget : public event_object {
public:
    widget();
    ~widget() override;

    virtual void add_child(widget* child);
    virtual void remove_child(widget* child);
    virtual void remove_all_children();
    virtual void invalidate(bool update_now);
    virtual bool is_visible(bool include_ancestors) const;
    // Where the keyboard's focus mark goes, in this widget's coordinates: all of it, unless the
    // widget has a part the mark must not cover.
    virtual rect focus_mark_area() const { return {0, 0, width(), height()}; }

    // The second construction step: window and parent must be set before it.
    void create(const rect& geometry);
    void set_geometry(const rect& geometry);
    void set_visible(bool visible);
    void set_enabled(bool enabled);
    void set_name(std::string_view name) { m_name = name; }
    void set_tab_stop(bool tab_stop) { m_tab_stop = tab_stop; }
    void set_window(ui::window* owner) { m_window = owner; }
    void set_parent(widget* parent) { m_parent = parent; }

    // Connects a callback on a child's event and records it, so removing the child cuts it.
    connection_id connect_child(widget* child, event_type type, event_callback callback);

    // The pointer in this widget's coordinates, in DIPs.
    point pointer_position() const;
    // This widget's rectangle in window client coordinates.
    rect window_rect() const;

    style_table& style() { return m_style; }
    const style_table& style() const { return m_style; }
    bool is_created() const { return m_created; }
    widget* parent() const { return m_parent; }
    ui::window* window() const { return m_window; }
    const std::vector<widget*>& children() const { return m_children; }
    const std::string& name() const { return m_name; }
    bool is_tab_stop() const { return m_tab_stop; }
    bool is_enabled() const { return m_enabled; }
    bool is_effectively_enabled() const { return m_effectively_enabled; }
    bool is_effectively_visible() const { return m_effectively_visible; }
    // Enabled and effectively enabled: what the router requires before delivering input.
    bool accepts_input() const { return m_enabled && m_effectively_enabled; }
    int32_t x() const { return m_geometry.x; }
    int32_t y() const { return m_geometry.y; }
    int32_t width() const { return m_geometry.width; }
    int32_t height() const { return m_geometry.height; }
    const rect& geometry() const { return m_geometry; }
    // Stable for the widget's lifetime and unique in the process; > 0.
    int32_t access_id() const { return m_access_id; }
    // A widget without a name of its own takes the name of the widget that labels it.
    void set_labelled_by(const widget* label) { m_labelled_by = label ? label->access_id() : 0; }
    int32_t labelled_by() const { return m_labelled_by; }
    // A reader reads this widget right after that sibling, whatever their order as children
    // (which decides painting and hit testing) or of creation (the tab order).
    void set_read_after(const widget* sibling) { m_read_after = sibling; }
    const widget* read_after() const { return m_read_after; }
    // Changes of a live widget's text are read out when the reader is next quiet.
    void set_live(access_live live) { m_live = live; }
    access_live live() const { return m_live; }
    // Enter on it presses the window's default button, as in a dialog: on a check box, a
    // document, anything but a button, which presses itself.
    void set_enter_presses_default(bool presses) { m_enter_presses_default = presses; }
    bool enter_presses_default() const { return m_enter_presses_default; }

protected:
    bool emit(event_type type, void* data = nullptr);
    // Tells assistive technology about a change of this widget, once it is on a window.
    void announce(access_event event) const;

private:
    void push_visible(bool value);
    void push_enabled(bool value);
    void detach_child(widget* child);
    void cut_child_connections(widget* child);

    style_table m_style;
    bool m_created = false;
    std::unordered_map<widget*, std::vector<connection_id>> m_child_connections;
    widget* m_parent = nullptr;
    ui::window* m_window = nullptr;
    std::vector<widget*> m_children;
    std::string m_name = "Widget";
    bool m_visible = false;
    bool m_effectively_visible = true;
    bool m_tab_stop = false;
    bool m_enabled = true;
    bool m_effectively_enabled = true;
    rect m_geometry;
    int32_t m_access_id;
    int32_t m_labelled_by = 0;
    access_live m_live = access_live::off;
    const widget* m_read_after = nullptr;
    bool m_enter_presses_default = true;
};

// A widget that exists and takes input: the only kind the window routes input and focus to.
inline bool takes_input(const widget* target)
{
    return target && target->accepts_input();
}

} // namespace zksdk::ui
