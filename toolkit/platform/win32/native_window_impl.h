// The Windows side of the native window record, shared by the win32 backend's sources.
#pragma once

#include "toolkit/platform/native_window.h"

#include <windows.h>
#include <optional>
#include <string>
#include <utility>

namespace zksdk::ui {

class native_window_client;
class text_input_state;

namespace win32 {
class ole_drop_target;
}

struct native_window::impl {
    HWND handle = nullptr;
    HBRUSH background = nullptr; // magenta, so that an unpainted area stands out
    native_window_client* client = nullptr;
    native_window* owner = nullptr;
    bool running = false;
    bool shown = false;
    uint32_t timer_counter = 0;
    DWORD style = 0;
    DWORD extended_style = 0;
    bool client_drawn_frame = false;
    int32_t dpi_x = 0;
    int32_t dpi_y = 0;
    size minimum_client;
    size maximum_client{100000, 100000};
    // Set only while set_bounds runs: a DPI change on the way keeps this top-left.
    std::optional<POINT> pending_position;
    // The pointer is inside the client area and leave notification is armed.
    bool tracking = false;
    // Reference counted by COM; the record holds one reference for its whole life.
    win32::ole_drop_target* drop_target = nullptr;
    bool drop_registered = false;
    bool session_registered = false;
    std::string title;
    text_input_state* text_input = nullptr;
    // The system caret that marks a document reader's place (never shown) exists.
    bool access_caret = false;
    // A reader connects to UI Automation when Windows tells it of the window's focus: after
    // the focus and the sentence of that moment were raised, to nobody. Until a client asks
    // for this window, the last of each is kept and raised once, when one has.
    bool uia_root_requested = false;
    int32_t uia_held_focus = -1;
    std::optional<std::pair<int32_t, std::string>> uia_held_sentence;
};

namespace win32 {

// The functions the toolkit needs from "User32.dll" that older systems lack; any may be null.
struct dpi_functions {
    DPI_AWARENESS_CONTEXT(WINAPI* get_thread_context)() = nullptr;
    DPI_AWARENESS_CONTEXT(WINAPI* set_thread_context)(DPI_AWARENESS_CONTEXT) = nullptr;
    UINT(WINAPI* dpi_for_window)(HWND) = nullptr;
    BOOL(WINAPI* contexts_equal)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT) = nullptr;
    BOOL(WINAPI* adjust_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
};
const dpi_functions& dpi_api();

// The window's own DPI, or the given fallback where the system cannot say.
int32_t window_dpi(HWND window, int32_t fallback);

// The record behind a toolkit window handle; null for other windows and during creation.
native_window* record_of(HWND window);

// The process-wide DPI of the window the pointer last moved over.
point& pointer_dpi_state();

// Where the pointer was when the mouse message this thread is handling happened, in screen
// pixels; empty outside one. See window_procedure.
std::optional<POINT>& input_position();

// The frame that windows of these styles get at this DPI around a client area of nothing:
// negative left and top, positive right and bottom. Asked of AdjustWindowRectExForDpi, since
// the thread is not in the window's DPI mode after creation; where the system lacks it, the
// frame at the system DPI is the best there is.
RECT frame_for(DWORD style, DWORD extended_style, int32_t dpi);

// The frame of the record's window at its current DPI (all zero for a client-drawn frame).
RECT frame_insets(const native_window::impl& record);

// The outer size of a window whose client area has the given pixel size.
SIZE outer_size(const native_window::impl& record, SIZE client);

// The owner window when it is a real window (not none, not the desktop).
HWND real_owner(HWND window);

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Throws what a window procedure call on this thread caught and kept: from the message loop,
// and after a system modal loop (a dialog, a menu) that dispatched messages returns.
void rethrow_kept_failure();
// Keeps the exception being handled, unless one is kept already, for rethrow_kept_failure: for
// the toolkit's code the system calls back outside the window procedure (COM methods).
void keep_failure();

} // namespace win32
} // namespace zksdk::ui
