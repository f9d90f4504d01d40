// A toolkit top-level window: native window, renderer, root widget and the input router.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/accessibility_text.h"
#include "toolkit/core/event_object.h"
#include "toolkit/core/widget/widget.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/native_window_client.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zksdk::ui {

class renderer;
class text_input_state;
class tooltip;

// The widget a control that drags (a pressed button, a scroll thumb) points all input at.
extern widget* captured_widget;

// One native window with its widget tree. Application windows derive from it; the object that
// shows a window owns it, and a window owns its native record, renderer and tooltip window.
class window : public event_object, private native_window_client {
public:
    window();
    ~window() override;

    virtual void on_user_message(intptr_t lparam, uintptr_t wparam);

    void create(std::string_view title, const rect& geometry, uint16_t flags);
    int32_t run_modal();
    void close(int32_t result);
    void set_focus(widget* target, int32_t reason);
    void add_tooltip(widget* target, const rect& area, std::string_view title,
                     std::string_view text);
    void remove_tooltips(widget* target);
    void set_timer(event_object* owner, uint32_t number, uint32_t interval_ms, bool one_shot);
    void kill_timer(event_object* owner, uint32_t number);

    // The router's entry: the native window and the drop target hand every input here.
    void route(event_type code, void* data, const void* extra) override;
    widget* widget_at(point position) const;
    void paint_tree(widget* target, const rect& update);
    void tooltip_tick();

    // Process-wide: 0 arrow, 1 cross, 2 west-east, 3 north-south, 4 and 7 north-west/south-east,
    // 5 I-beam, 6 hand, 8 north-east/south-west; other values do nothing.
    static void set_cursor(uint32_t shape);

    // Called by widgets: the tree's bookkeeping and repainting.
    void add_widget(widget* created);
    void forget_widget(widget* gone);
    void invalidate_area(const rect& area);
    void update_now();
    point screen_to_client_dips(point screen) const;

    void set_owner(window* owner) { m_owner = owner; }
    window* owner() const { return m_owner; }
    widget& root() { return m_root; }
    const widget& root() const { return m_root; }
    renderer& painter() const { return *m_renderer; }
    native_window& native() const { return *m_native; }
    text_input_state* text_input() const { return m_text_input.get(); }
    widget* focused_widget() const { return m_focused; }
    widget* hovered_widget() const { return m_hovered; }
    // Null until the pointer first meets a widget with a tooltip.
    tooltip* tooltip_window() const { return m_tooltip.get(); }
    const std::vector<widget*>& widgets() const { return m_widgets; }
    bool is_created() const { return m_created; }

    // Accessibility: the description of this window and its widgets (widgets describe
    // themselves on `describe`), their default actions and the changes worth announcing.
    std::vector<access_node> access_tree() override;
    bool access_default_action(int32_t id) override;
    bool access_focus(int32_t id) override;
    bool access_text_of(int32_t id, access_text& out) override;
    bool access_scroll(int32_t id, text_span range, bool align_to_top, bool place) override;
    // Describes one widget; false when it has nothing to say (no role and no name).
    bool describe(const widget& target, access_node& node) const;
    widget* widget_by_access_id(int32_t id) const;
    // Announces a change of the widget's node (null: the window's own node). Nothing is said
    // of what is hidden or silent.
    void announce(access_event event, const widget* target = nullptr);
    // A sentence read out now (a run's result, a page that opened), once for each reader: UI
    // Automation clients hear it as a notification, Active Accessibility readers as a change of
    // the live text `source` that shows it (null: notification only). Said before the window is
    // shown, the latest one waits and follows the focus the window tells when it first gets it
    // (unless its source is hidden by then).
    void announce_text(std::string_view sentence, const widget* source = nullptr);
    // client for an application window, dialog for a popup.
    void set_access_role(access_role role) { m_access_role = role; }
    access_role role() const { return m_access_role; }
    // What a reader adds after the window's name: a dialog's message.
    void set_access_description(std::string_view text) { m_access_description = text; }
    // Enter presses it from any widget that does not press itself (every one but a button), and
    // it reports itself as the default; the focus falls back to it when the focused widget goes.
    void set_default_button(widget* button) { m_default_button = button; }
    widget* default_button() const { return m_default_button; }
    // Moves the focus there, which is said. Where it is there already nothing is said: readers
    // drop a focus event on the object they are on, and the caller tells what changed instead.
    // True when the focus moved.
    bool focus_and_announce(widget* target);
    // While a popup this window owns runs, the window takes no input, from users or readers.
    bool is_blocked() const;
    // Focus marks show only while the user drives the window with the keyboard: Tab or another
    // key turns them on, a mouse press turns them off.
    bool shows_focus_mark() const { return m_keyboard_cues; }
    void set_keyboard_cues(bool shown);

    static constexpr uint32_t tooltip_timer_id = 0xFFFFFFFF;
    // The router's focus reasons are 0 (a click) and 1 (Tab); the program's own moves use this.
    static constexpr int32_t focus_by_program = 2;

private:
    struct timer_entry {
        event_object* owner;
        uint32_t number;
        bool one_shot;
    };
    struct tooltip_entry {
        rect area;
        std::string title;
        std::string text;
    };

    bool emit(event_type type, void* data = nullptr, uint64_t extra = 0);
    bool deliver(widget* target, event_type code, void* data, uint64_t extra = 0);
    widget* pointer_widget() const;
    widget* captured() const;
    void route_pointer_button(event_type code, void* data);
    void route_mouse_move(void* data);
    void route_wheel(void* data);
    void route_file_drop(void* data, int64_t state);
    void traverse_tab();
    void route_input(event_type code, void* data, const void* extra);
    void press_default();
    // The work of one message (an input, a timer, a reader's action or a user message) counts
    // while it runs; what it left untold is told when the outermost one ends.
    struct work_scope {
        explicit work_scope(window& owner) : depth(owner.m_work_depth) { ++depth; }
        ~work_scope() { --depth; }
        work_scope(const work_scope&) = delete;
        work_scope& operator=(const work_scope&) = delete;
        int32_t& depth;
    };
    // The focus the window got back and has not said yet, if it has the system's focus still.
    void tell_focus();
    // Outside any work: that focus, then a sentence said before the window was shown.
    void tell_untold();
    // The focused widget was disabled or hidden: the focus goes to the default button, else
    // the first tab stop, once the change that caused it is complete.
    void settle_focus();
    bool focus_within(const widget& target) const;
    rect visible_rect(const widget& target) const;
    void add_parts(std::vector<access_node>& nodes, const widget& document,
                   const access_node& node);
    int32_t part_id(int32_t owner, size_t index);
    void paint_focus_mark(const widget& target);
    void create_tooltip_window();
    void hide_tooltip();
    void show_tooltip(const tooltip_entry& entry);

    void paint_native(rect update) override;
    void native_timer(uint32_t id) override;
    bool request_close() override;
    void native_resized(size pixels) override;
    bool has_pointer_handlers(event_type code) override;
    void user_message(intptr_t lparam, uintptr_t wparam) override;

    std::unique_ptr<native_window> m_native;
    std::unique_ptr<renderer> m_renderer;
    std::unique_ptr<text_input_state> m_text_input;
    window* m_owner = nullptr;
    widget* m_focused = nullptr;
    widget* m_hovered = nullptr;
    widget* m_drop_widget = nullptr;
    std::vector<widget*> m_widgets;
    std::unique_ptr<tooltip> m_tooltip;
    std::map<widget*, std::vector<tooltip_entry>> m_tooltips;
    widget* m_tooltip_widget = nullptr;
    rect m_tooltip_area;
    float m_tooltip_time = 0;
    int32_t m_result = 0;
    bool m_created = false;
    float m_paint_origin_x = 0;
    float m_paint_origin_y = 0;
    widget* m_wheel_widget = nullptr;
    double m_wheel_time = 0;
    point m_wheel_position;
    bool m_swallow_up = false;
    bool m_tooltip_suppressed = false;
    std::unordered_map<uint32_t, timer_entry> m_timers;
    access_role m_access_role = access_role::client;
    std::string m_access_description;
    widget* m_default_button = nullptr;
    bool m_focus_check_pending = false;
    int32_t m_work_depth = 0;
    // The window got the system's focus and has not said where its focus is since.
    bool m_focus_untold = false;
    std::string m_untold_sentence;
    int32_t m_untold_source = 0; // the sentence's source, by access id (0: none)
    std::map<std::pair<int32_t, size_t>, int32_t> m_part_ids;
    bool m_keyboard_cues = false;
    widget m_root;
};

} // namespace zksdk::ui
