// The numbered events of the toolkit; the same numbers are the window router's input codes.
#pragma once

#include <cstdint>

namespace zksdk::ui {

enum class event_type : uint32_t {
    mouse_up = 1,
    mouse_down = 2,
    mouse_double_click = 3,
    mouse_wheel = 4,
    mouse_enter = 5,
    mouse_leave = 6,
    mouse_move = 7,
    key_down = 8,
    key_down_extended = 9,
    key_up = 10,
    char_input = 11,
    paint = 12,
    resized = 13,
    dpi_changed = 14,
    moved = 15,
    timer = 17,
    close_request = 19,
    created = 20,
    destroyed = 21,
    enabled = 24,
    disabled = 25,
    parent_resized = 26,
    parent_moved = 27,
    child_added = 28,
    child_removed = 29,
    parent_changed = 30,
    focus_gained = 42,
    focus_lost = 43,
    shown_by_parent = 44,
    hidden_by_parent = 45,
    shown = 46,
    hidden = 47,
    modal_started = 48,
    value_changed = 49,
    clicked = 50,
    file_drop = 54,
    text_input = 55,
    style_changed = 56,
    session_locked = 57,
    session_unlocked = 58,
    // Accessibility: `describe` asks a widget to fill the access_node its data points at;
    // `access_action` runs its default action (the path of a click or a toggle).
    describe = 59,
    access_action = 60,
    // `access_text` asks a widget with a text of its own for it (data -> access_text_source);
    // `access_scroll` asks the widget's owner to bring a part of it into view
    // (data -> access_scroll_request).
    access_text = 61,
    access_scroll = 62,
};

// What a mouse event's data holds: the button.
namespace mouse_button {
inline constexpr uintptr_t left = 0;
inline constexpr uintptr_t middle = 1;
inline constexpr uintptr_t right = 2;
inline constexpr uintptr_t first_x = 3;
inline constexpr uintptr_t second_x = 4;
} // namespace mouse_button

// What a key event's data holds for the keys the controls answer themselves: Windows'
// virtual-key codes, which every platform maps its keys onto.
namespace key_code {
inline constexpr uintptr_t enter = 0x0D;
inline constexpr uintptr_t escape = 0x1B;
inline constexpr uintptr_t space = 0x20;
inline constexpr uintptr_t f4 = 0x73;
} // namespace key_code

} // namespace zksdk::ui
