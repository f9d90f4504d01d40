// Test control of the headless platform: the screen, input as the native window would route it,
// the scripted input queue, and what the program asked of the system.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/geometry.h"
#include "toolkit/platform/native_drop_target.h"
#include "toolkit/platform/native_services.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zksdk::ui {
class native_window;
}

namespace zksdk::ui::headless {

enum class mouse_button { left, middle, right, x1, x2 };

// Back to the start state: pointer at (0, 0) with DPI 96, keys up, clock 0, no focus or capture
// window, DPI 96, a 1920 x 1080 screen with a 1920 x 1040 work area, empty queues and records.
// Live windows keep their own state.
void reset();

// Screen. New windows are created at the system DPI and then move to the monitor's DPI when it
// differs. The headless frame has no borders: the outer rectangle is the client rectangle.
void set_system_dpi(int32_t dpi_x, int32_t dpi_y);
void set_monitor_dpi(int32_t dpi_x, int32_t dpi_y);
void set_screen(size pixels, rect work_area);

// The scripted input queue drained by native_window::pump, one step per call. A step may start
// a nested modal loop, which then runs the following steps.
void push_step(std::function<void()> step);
std::size_t pending_steps();

// Input, routed as the native window procedure does. Each returns false when the input was
// dropped: the window is not created, or disabled (while a window it owns runs modally).
// Positions are client pixels. The first move after the pointer enters (or after a leave) only
// starts tracking and routes nothing; later moves route mouse_move.
bool send_mouse_move(native_window& window, point client);
bool send_mouse_leave(native_window& window);
bool send_mouse_down(native_window& window, mouse_button button = mouse_button::left);
bool send_mouse_up(native_window& window, mouse_button button = mouse_button::left);
// Routes mouse_double_click when the client has handlers for it, else mouse_down; the X
// buttons have no double click.
bool send_double_click(native_window& window, mouse_button button = mouse_button::left);
// The raw X-button message: which is 1 or 2; other values are ignored.
bool send_x_button(native_window& window, uint16_t which, bool down);
// Moves the pointer there (starting tracking first when needed), presses and releases.
bool click(native_window& window, point client, mouse_button button = mouse_button::left);
// Routes mouse_wheel with the delta x 0.5 (a notch is 120).
bool send_wheel(native_window& window, int16_t delta);
bool send_key_down(native_window& window, uint32_t virtual_key, int32_t flags = 0);
bool send_key_up(native_window& window, uint32_t virtual_key);
bool send_char(native_window& window, char16_t unit);
void set_key(modifier_key key, bool down);
// Moves the system keyboard focus (null: no window of ours), routing focus_lost and
// focus_gained.
void set_focus_window(native_window* window);
void send_session_change(native_window& window, bool locked);
void send_user_message(native_window& window, intptr_t lparam, uintptr_t wparam);
// The system moves the window to a monitor with another DPI, suggesting an outer rectangle
// (screen pixels).
void send_dpi_changed(native_window& window, int32_t dpi_x, int32_t dpi_y, rect suggested);
// The close button; returns whether the window was hidden by it.
bool request_close(native_window& window);

// Fires one running native timer; false (and nothing routed) when it is not running.
bool fire_timer(native_window& window, uint32_t id);
// The local calendar year local_calendar_year reports (2026 after reset).
void set_calendar_year(int32_t year);
// Advances the clock, firing every running timer each time its interval elapses, in time order.
void advance_clock(double milliseconds);
// Running timers of the window: id -> interval.
std::map<uint32_t, uint32_t> running_timers(const native_window& window);

// Painting. send_paint runs the paint pass over the area (left, top, right, bottom) and clears
// what was invalidated; paint_pending paints the bounding box of what was invalidated, when
// anything is and the window is visible (pump does this before running a step).
void send_paint(native_window& window, rect update);
bool paint_pending(native_window& window);
// invalidate calls since the last clear, as given; the pending area is their bounding box in
// left, top, right, bottom form (all zero when nothing is pending).
const std::vector<rect>& invalidations(const native_window& window);
rect pending_update(const native_window& window);
void clear_invalidations(native_window& window);

// Files dragged over and dropped at a client position.
drop_effect send_drag_over(native_window& window, point client);
void send_drag_leave(native_window& window);
// files: the dropped files only (the native side leaves directories out before this point).
void send_drop(native_window& window, point client, std::vector<std::u16string> files);

// Input-method composition on the window's text-input state.
void send_composition_start(native_window& window);
void send_composition_update(native_window& window, std::u16string composition, int32_t cursor);
void send_composition_end(native_window& window, std::u16string result);

// Observation.
bool is_input_enabled(const native_window& window);
bool is_tracking(const native_window& window);
native_window* focus_window();
native_window* capture_window();
// Screen pixels of the outer rectangle.
rect window_bounds(const native_window& window);
uint32_t current_cursor();
const std::vector<uint32_t>& cursor_changes();
const std::string& clipboard_text();
const std::vector<std::string>& shell_opened();

// What the window announced to assistive technology, in order, until cleared.
struct announcement {
    access_event event;
    int32_t id;
    std::string text;        // the node's name when announced ("window" for id 0), or the sentence
    std::string description; // the node's description when announced
    bool operator==(const announcement&) const = default;
};
const std::vector<announcement>& announcements(const native_window& window);
void clear_announcements(native_window& window);

// Scripted dialog answers, used in order; with none left the folder picker is cancelled and the
// popup menu dismissed.
void answer_folder_picker(std::u16string folder);
void answer_popup_menu(uint32_t id);
struct folder_request {
    std::string title;
    std::u16string start_folder;
};
const std::vector<folder_request>& folder_requests();
// Items of each popup menu shown.
const std::vector<std::vector<popup_menu_item>>& popup_menus();

} // namespace zksdk::ui::headless
