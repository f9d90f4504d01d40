// Test control of the headless platform: input routed as the native window procedure routes it.
#include "toolkit/platform/headless/headless_control.h"

#include "toolkit/platform/headless/headless_internals.h"
#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_window_client.h"

#include <algorithm>
#include <cassert>

namespace zksdk::ui::headless {

namespace {

// Null when the input is dropped: no native window yet, or input disabled.
native_window_client* input_client(native_window& window)
{
    auto& self = window.backend();
    if (!self.created || !self.input_enabled) {
        return nullptr;
    }
    return self.client;
}

// While a window holds the capture it receives the pointer input, wherever the pointer is.
native_window& pointer_target(native_window& window)
{
    native_window* capture = state().capture;
    return capture != nullptr ? *capture : window;
}

uintptr_t button_number(mouse_button button)
{
    switch (button) {
    case mouse_button::left:
        return 0;
    case mouse_button::middle:
        return 1;
    case mouse_button::right:
        return 2;
    case mouse_button::x1:
        return 3;
    case mouse_button::x2:
        return 4;
    }
    return 0;
}

bool send_button(native_window& window, mouse_button button, event_type code)
{
    native_window_client* client = input_client(pointer_target(window));
    if (client == nullptr) {
        return false;
    }
    client->route(code, as_data(button_number(button)), nullptr);
    return true;
}

void leave_other_windows(const native_window& entered)
{
    const std::vector<native_window*> windows = state().windows;
    for (native_window* other : windows) {
        if (other != &entered && is_live(other) && other->backend().tracking) {
            send_mouse_leave(*other);
        }
    }
}

void place_pointer(const native_window& window, point client)
{
    auto& system = state();
    const auto& self = window.backend();
    system.pointer = {self.outer.x + client.x, self.outer.y + client.y};
    system.pointer_dpi = {self.dpi_x, self.dpi_y};
}

bool inside(rect inner_ltrb, rect outer_ltrb)
{
    return outer_ltrb.x <= inner_ltrb.x && outer_ltrb.y <= inner_ltrb.y &&
           inner_ltrb.width <= outer_ltrb.width && inner_ltrb.height <= outer_ltrb.height;
}

} // namespace

void reset()
{
    system_state fresh;
    fresh.windows = std::move(state().windows);
    state() = std::move(fresh);
}

void set_calendar_year(int32_t year)
{
    state().calendar_year = year;
}

void set_system_dpi(int32_t dpi_x, int32_t dpi_y)
{
    state().system_dpi = {dpi_x, dpi_y};
}

void set_monitor_dpi(int32_t dpi_x, int32_t dpi_y)
{
    state().monitor_dpi = {dpi_x, dpi_y};
}

void set_screen(size pixels, rect work_area)
{
    state().screen = pixels;
    state().work_area = work_area;
}

void push_step(std::function<void()> step)
{
    state().steps.push_back(std::move(step));
}

std::size_t pending_steps()
{
    return state().steps.size();
}

bool send_mouse_move(native_window& window, point client)
{
    native_window& target = pointer_target(window);
    native_window_client* routed = input_client(target);
    if (routed == nullptr) {
        return false;
    }
    if (state().capture == nullptr) {
        leave_other_windows(target);
    }
    place_pointer(window, client);
    auto& self = target.backend();
    if (!self.tracking) {
        // The first move inside only arms the leave notification.
        self.tracking = true;
        return true;
    }
    routed->route(event_type::mouse_move, nullptr, nullptr);
    return true;
}

bool send_mouse_leave(native_window& window)
{
    auto& self = window.backend();
    if (!self.created || !self.tracking) {
        return false;
    }
    self.tracking = false;
    self.client->route(event_type::mouse_leave, nullptr, nullptr);
    return true;
}

bool send_mouse_down(native_window& window, mouse_button button)
{
    return send_button(window, button, event_type::mouse_down);
}

bool send_mouse_up(native_window& window, mouse_button button)
{
    return send_button(window, button, event_type::mouse_up);
}

bool send_double_click(native_window& window, mouse_button button)
{
    if (button == mouse_button::x1 || button == mouse_button::x2) {
        return false;
    }
    native_window_client* client = input_client(pointer_target(window));
    if (client == nullptr) {
        return false;
    }
    const event_type code = client->has_pointer_handlers(event_type::mouse_double_click)
                                ? event_type::mouse_double_click
                                : event_type::mouse_down;
    client->route(code, as_data(button_number(button)), nullptr);
    return true;
}

bool send_x_button(native_window& window, uint16_t which, bool down)
{
    if (which != 1 && which != 2) {
        return false;
    }
    const mouse_button button = which == 1 ? mouse_button::x1 : mouse_button::x2;
    return send_button(window, button, down ? event_type::mouse_down : event_type::mouse_up);
}

bool click(native_window& window, point client, mouse_button button)
{
    if (!window.backend().tracking) {
        send_mouse_move(window, client);
    }
    return send_mouse_move(window, client) && send_mouse_down(window, button) &&
           send_mouse_up(window, button);
}

bool send_wheel(native_window& window, int16_t delta)
{
    native_window_client* client = input_client(window);
    if (client == nullptr) {
        return false;
    }
    double half = delta * 0.5;
    client->route(event_type::mouse_wheel, &half, nullptr);
    return true;
}

bool send_key_down(native_window& window, uint32_t virtual_key, int32_t flags)
{
    native_window_client* client = input_client(window);
    if (client == nullptr) {
        return false;
    }
    text_input_state* text_input = window.backend().text_input;
    if (text_input != nullptr && text_input->is_composing()) {
        text_input->backend().last_key = virtual_key;
    }
    client->route(event_type::key_down, as_data(virtual_key), nullptr);
    key_message message{virtual_key, flags};
    client->route(event_type::key_down_extended, &message, nullptr);
    return true;
}

bool send_key_up(native_window& window, uint32_t virtual_key)
{
    native_window_client* client = input_client(window);
    if (client == nullptr) {
        return false;
    }
    client->route(event_type::key_up, as_data(virtual_key), nullptr);
    return true;
}

bool send_char(native_window& window, char16_t unit)
{
    native_window_client* client = input_client(window);
    if (client == nullptr) {
        return false;
    }
    client->route(event_type::char_input, as_data(unit), nullptr);
    return true;
}

void set_key(modifier_key key, bool down)
{
    state().keys.at(static_cast<std::size_t>(key)) = down;
}

void set_focus_window(native_window* window)
{
    move_focus(window);
}

void send_session_change(native_window& window, bool locked)
{
    auto& self = window.backend();
    if (self.created) {
        self.client->route(locked ? event_type::session_locked : event_type::session_unlocked,
                           nullptr, nullptr);
    }
}

void send_user_message(native_window& window, intptr_t lparam, uintptr_t wparam)
{
    auto& self = window.backend();
    if (self.created) {
        self.client->user_message(lparam, wparam);
    }
}

void send_dpi_changed(native_window& window, int32_t dpi_x, int32_t dpi_y, rect suggested)
{
    auto& self = window.backend();
    if (!self.created) {
        return;
    }
    self.dpi_x = dpi_x;
    self.dpi_y = dpi_y;
    self.outer.x = suggested.x;
    self.outer.y = suggested.y;
    if (suggested.width != self.outer.width || suggested.height != self.outer.height) {
        client_resized(window, {suggested.width, suggested.height});
    }
    size pixels{suggested.width, suggested.height};
    const point dpi{dpi_x, dpi_y};
    self.client->route(event_type::dpi_changed, &pixels, &dpi);
}

bool request_close(native_window& window)
{
    auto& self = window.backend();
    if (!self.created || self.client->request_close()) {
        return false;
    }
    self.running = false;
    window.set_owner_enabled(true);
    window.focus_owner();
    window.hide();
    return true;
}

bool fire_timer(native_window& window, uint32_t id)
{
    auto& self = window.backend();
    if (!self.created || !self.timers.contains(id)) {
        return false;
    }
    self.client->native_timer(id);
    return true;
}

void advance_clock(double milliseconds)
{
    auto& system = state();
    const double end = system.clock_ms + milliseconds;
    for (;;) {
        native_window* earliest = nullptr;
        uint32_t earliest_id = 0;
        double due = end;
        for (native_window* window : system.windows) {
            for (const auto& [id, timer] : window->backend().timers) {
                if (timer.due_ms <= due && (earliest == nullptr || timer.due_ms < due)) {
                    earliest = window;
                    earliest_id = id;
                    due = timer.due_ms;
                }
            }
        }
        if (earliest == nullptr) {
            break;
        }
        system.clock_ms = due;
        headless_timer& timer = earliest->backend().timers[earliest_id];
        timer.due_ms += timer.interval_ms;
        fire_timer(*earliest, earliest_id);
    }
    system.clock_ms = end;
}

std::map<uint32_t, uint32_t> running_timers(const native_window& window)
{
    std::map<uint32_t, uint32_t> result;
    for (const auto& [id, timer] : window.backend().timers) {
        result[id] = timer.interval_ms;
    }
    return result;
}

void send_paint(native_window& window, rect update)
{
    auto& self = window.backend();
    if (!self.created) {
        return;
    }
    self.client->paint_native(update);
    // Validating the reported area clears what lies inside it, also what the pass itself
    // invalidated there; anything reaching outside stays pending.
    std::erase_if(self.pending, [update](rect area) { return inside(area, update); });
}

bool paint_pending(native_window& window)
{
    auto& self = window.backend();
    if (!self.created || !self.visible || self.pending.empty()) {
        return false;
    }
    send_paint(window, pending_update(window));
    return true;
}

const std::vector<rect>& invalidations(const native_window& window)
{
    return window.backend().invalidations;
}

rect pending_update(const native_window& window)
{
    const auto& pending = window.backend().pending;
    if (pending.empty()) {
        return {};
    }
    rect box = pending.front();
    for (const rect& area : pending) {
        box = {std::min(box.x, area.x), std::min(box.y, area.y), std::max(box.width, area.width),
               std::max(box.height, area.height)};
    }
    return box;
}

void clear_invalidations(native_window& window)
{
    window.backend().invalidations.clear();
    window.backend().pending.clear();
}

drop_effect send_drag_over(native_window& window, point client)
{
    if (!window.backend().created) {
        return drop_effect::none;
    }
    place_pointer(window, client);
    return window.backend().drop_target->drag_over();
}

void send_drag_leave(native_window& window)
{
    if (window.backend().created) {
        window.backend().drop_target->drag_leave();
    }
}

void send_drop(native_window& window, point client, std::vector<std::u16string> files)
{
    if (!window.backend().created) {
        return;
    }
    place_pointer(window, client);
    window.backend().drop_target->drop(std::move(files));
}

void send_composition_start(native_window& window)
{
    text_input_state* text_input = window.backend().text_input;
    if (text_input == nullptr || text_input->is_composing()) {
        return;
    }
    text_input->backend().composing = true;
    window.backend().client->route(event_type::text_input, nullptr, nullptr);
}

void send_composition_update(native_window& window, std::u16string composition, int32_t cursor)
{
    text_input_state* text_input = window.backend().text_input;
    if (text_input == nullptr || !text_input->is_composing()) {
        return;
    }
    text_input->backend().composition = std::move(composition);
    text_input->backend().cursor = cursor;
    window.backend().client->route(event_type::text_input, as_data(1), nullptr);
}

void send_composition_end(native_window& window, std::u16string result)
{
    text_input_state* text_input = window.backend().text_input;
    if (text_input == nullptr || !text_input->is_composing()) {
        return;
    }
    auto& self = text_input->backend();
    self.cursor = static_cast<int32_t>(result.size());
    self.composition = std::move(result);
    window.backend().client->route(event_type::text_input, as_data(2), nullptr);
    self.composing = false;
}

bool is_input_enabled(const native_window& window)
{
    return window.backend().input_enabled;
}

bool is_tracking(const native_window& window)
{
    return window.backend().tracking;
}

native_window* focus_window()
{
    return state().focus;
}

native_window* capture_window()
{
    return state().capture;
}

rect window_bounds(const native_window& window)
{
    return window.backend().outer;
}

uint32_t current_cursor()
{
    return state().cursor;
}

const std::vector<uint32_t>& cursor_changes()
{
    return state().cursor_changes;
}

const std::string& clipboard_text()
{
    return state().clipboard;
}

const std::vector<std::string>& shell_opened()
{
    return state().shell_opened;
}

void answer_folder_picker(std::u16string folder)
{
    state().folder_answers.push_back(std::move(folder));
}

void answer_popup_menu(uint32_t id)
{
    state().popup_answers.push_back(id);
}

const std::vector<folder_request>& folder_requests()
{
    return state().folder_requests;
}

const std::vector<std::vector<popup_menu_item>>& popup_menus()
{
    return state().popup_menus;
}

} // namespace zksdk::ui::headless
