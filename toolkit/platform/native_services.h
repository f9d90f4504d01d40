// Process-wide platform services: pointer, keys, clock, cursor, capture, clipboard, menus, shell.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/popup_menu_item.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zksdk::ui {

class native_window;

enum class modifier_key { left_shift, right_shift, control, right_alt };

// The pointer position in screen pixels.
point pointer_screen_position();
// Screen pixels to the window's client pixels.
point screen_to_client(const native_window& window, point screen);
// The DPI of the window the pointer last moved over; 96, 96 until the pointer first moves.
point pointer_dpi();

bool is_key_down(modifier_key key);

// Milliseconds since an arbitrary start; never goes backwards.
double monotonic_milliseconds();
// The year of the local calendar date (for notices that name the current year).
int32_t local_calendar_year();

// 0 arrow, 1 cross, 2 west-east, 3 north-south, 4 and 7 north-west/south-east, 5 I-beam,
// 6 hand, 8 north-east/south-west; other values do nothing.
void set_system_cursor(uint32_t shape);

// Pointer input goes to the window until released, wherever the pointer is.
void capture_mouse(native_window& window);
void release_mouse_capture();

void set_clipboard_text(std::string_view text); // UTF-8, stored as Unicode text

// Shows the menu at the point (screen pixels), owned by the window; returns the chosen item's
// id, 0 when the menu was dismissed.
uint32_t show_popup_menu(native_window& owner, point screen,
                         std::span<const popup_menu_item> items);

// Opens a URL or path with its associated program.
void shell_open(std::string_view target); // UTF-8

// Asks for a folder, modal to the owner (or to nothing); returns its path with backslashes, or
// empty when cancelled. Throws zk_exception when the dialog cannot be used.
std::u16string pick_folder(const native_window* owner, std::string_view title,
                           std::u16string_view start_folder);

} // namespace zksdk::ui
