// The window procedure: native messages become calls of the toolkit window's router.
#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/accessibility_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/text_input_state_impl.h"

#include <windowsx.h>

#include <exception>
#include <new>
#include <optional>
#include <utility>

namespace zksdk::ui::win32 {

namespace {

constexpr uint32_t tooltip_timer_id = 0xFFFFFFFF;
constexpr uint32_t reserved_timer_id = 0xFFFFFFFE;
constexpr WPARAM session_lock = 7;
constexpr WPARAM session_unlock = 8;

// Each thread keeps its own windows' failure, for its own loop; see window_procedure. Not a
// thread_local: MinGW's emulated thread-local storage may free a variable before its destructor
// runs at thread exit, which then released a freed exception_ptr and corrupted the heap. A fiber
// slot's callback runs while the kept exception is still whole, and a slot is empty (no
// allocation) while nothing is kept.
DWORD failure_slot()
{
    static const DWORD slot =
        FlsAlloc([](void* kept) { delete static_cast<std::exception_ptr*>(kept); });
    return slot;
}

void* as_data(uintptr_t value)
{
    return reinterpret_cast<void*>(value);
}

// The position a mouse message carries, in screen pixels: in client coordinates for the moves and
// buttons, already on the screen for the wheel; nothing for other messages.
std::optional<POINT> position_of(HWND window, UINT message, LPARAM lparam)
{
    if (message < WM_MOUSEFIRST || message > WM_MOUSELAST) {
        return std::nullopt;
    }
    POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (message != WM_MOUSEWHEEL && message != WM_MOUSEHWHEEL) {
        ClientToScreen(window, &at);
    }
    return at;
}

// Puts back the position of the message a nested one interrupted.
class input_position_scope {
public:
    explicit input_position_scope(std::optional<POINT> position)
        : m_outer(std::exchange(input_position(), position))
    {
    }
    ~input_position_scope() { input_position() = m_outer; }
    input_position_scope(const input_position_scope&) = delete;
    input_position_scope& operator=(const input_position_scope&) = delete;

private:
    std::optional<POINT> m_outer;
};

// Everything one message needs: the record, its toolkit window and the message itself.
struct context {
    native_window::impl& record;
    native_window_client& client;
    HWND window;
    WPARAM wparam;
    LPARAM lparam;

    void route(event_type code, void* data = nullptr, const void* extra = nullptr) const
    {
        client.route(code, data, extra);
    }
    LRESULT fallback(UINT message) const { return DefWindowProcW(window, message, wparam, lparam); }
    text_input_state::impl* text_input() const
    {
        return record.text_input != nullptr ? &record.text_input->backend() : nullptr;
    }
};

LRESULT on_size(const context& c)
{
    const size pixels{LOWORD(c.lparam), HIWORD(c.lparam)};
    c.client.native_resized(pixels);
    size dips{MulDiv(pixels.width, 96, c.record.dpi_x), MulDiv(pixels.height, 96, c.record.dpi_y)};
    c.route(event_type::resized, &dips);
    return 0;
}

LRESULT on_paint(const context& c)
{
    RECT update{};
    if (GetUpdateRect(c.window, &update, FALSE)) {
        // Validated before the pass, so that what the pass marks again stays marked: a renderer
        // whose device was lost marks the whole window for the next pass.
        ValidateRect(c.window, &update);
        c.client.paint_native({update.left, update.top, update.right, update.bottom});
    }
    return 0;
}

LRESULT on_close(const context& c)
{
    if (c.client.request_close()) {
        return 1;
    }
    c.record.running = false;
    if (const HWND owner = real_owner(c.window)) {
        EnableWindow(owner, TRUE);
        SetFocus(owner);
    }
    if (IsWindowVisible(c.window)) {
        ShowWindow(c.window, SW_HIDE);
    }
    return 1;
}

LRESULT on_min_max_info(const context& c)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(c.lparam);
    const native_window::impl& r = c.record;
    const SIZE least = outer_size(r, {MulDiv(r.minimum_client.width, r.dpi_x, 96),
                                      MulDiv(r.minimum_client.height, r.dpi_y, 96)});
    const SIZE most = outer_size(r, {MulDiv(r.maximum_client.width, r.dpi_x, 96),
                                     MulDiv(r.maximum_client.height, r.dpi_y, 96)});
    info->ptMinTrackSize = {least.cx, least.cy};
    info->ptMaxTrackSize = {most.cx, most.cy};
    return 0;
}

LRESULT on_key_down(const context& c)
{
    c.route(event_type::key_down, as_data(c.wparam));
    key_message message{static_cast<uint32_t>(c.wparam), static_cast<int32_t>(c.lparam)};
    c.route(event_type::key_down_extended, &message);
    return 0;
}

LRESULT on_timer(const context& c)
{
    const auto id = static_cast<uint32_t>(c.wparam);
    if (id != reserved_timer_id) {
        c.client.native_timer(id);
    }
    static_assert(tooltip_timer_id != reserved_timer_id);
    return 0;
}

LRESULT on_mouse_move(const context& c)
{
    pointer_dpi_state() = {window_dpi(c.window, c.record.dpi_x),
                           window_dpi(c.window, c.record.dpi_y)};
    if (c.record.tracking) {
        c.route(event_type::mouse_move);
        return 0;
    }
    // The first move only arms the leave notification; the router sees the pointer from the next.
    c.record.tracking = true;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = c.window;
    track.dwHoverTime = HOVER_DEFAULT;
    TrackMouseEvent(&track);
    return 1;
}

LRESULT on_button(const context& c, event_type code, uintptr_t button)
{
    c.route(code, as_data(button));
    return 0;
}

LRESULT on_x_button(const context& c, event_type code)
{
    const WORD which = GET_XBUTTON_WPARAM(c.wparam);
    if (which == XBUTTON1) {
        c.route(code, as_data(mouse_button::first_x));
    } else if (which == XBUTTON2) {
        c.route(code, as_data(mouse_button::second_x));
    }
    return 0;
}

// Without a listener a double click is just another press, so fast clicking still clicks.
LRESULT on_double_click(const context& c, uintptr_t button)
{
    const bool wanted = c.client.has_pointer_handlers(event_type::mouse_double_click);
    c.route(wanted ? event_type::mouse_double_click : event_type::mouse_down, as_data(button));
    return 0;
}

LRESULT on_wheel(const context& c)
{
    double delta = static_cast<double>(GET_WHEEL_DELTA_WPARAM(c.wparam)) * 0.5;
    c.route(event_type::mouse_wheel, &delta);
    return 0;
}

LRESULT on_dpi_changed(const context& c)
{
    native_window::impl& r = c.record;
    r.dpi_x = LOWORD(c.wparam);
    r.dpi_y = HIWORD(c.wparam);
    const RECT& suggested = *reinterpret_cast<const RECT*>(c.lparam);
    const POINT at = r.pending_position.value_or(POINT{suggested.left, suggested.top});
    SetWindowPos(c.window, nullptr, at.x, at.y, suggested.right - suggested.left,
                 suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RECT client{};
    GetClientRect(c.window, &client);
    size pixels{client.right - client.left, client.bottom - client.top};
    point dpi{r.dpi_x, r.dpi_y};
    c.route(event_type::dpi_changed, &pixels, &dpi);
    return 0;
}

LRESULT on_start_composition(const context& c)
{
    if (text_input_state::impl* input = c.text_input()) {
        input->on_start_composition();
    }
    return 0;
}

LRESULT on_end_composition(const context& c)
{
    if (text_input_state::impl* input = c.text_input()) {
        input->on_end_composition();
    }
    return 0;
}

LRESULT on_composition(const context& c)
{
    if (text_input_state::impl* input = c.text_input()) {
        input->on_composition(c.lparam);
    }
    return 0;
}

LRESULT on_language_changed(const context& c)
{
    if (text_input_state::impl* input = c.text_input()) {
        input->on_language_changed();
    }
    return 0;
}

LRESULT dispatch(const context& c, UINT message)
{
    switch (message) {
    case WM_SIZE:
        return on_size(c);
    case WM_SETFOCUS:
        c.route(event_type::focus_gained);
        return 0;
    case WM_KILLFOCUS:
        // A caret belongs to the window with the focus; the place it marked is ours no more.
        if (c.record.access_caret) {
            DestroyCaret();
            c.record.access_caret = false;
        }
        c.route(event_type::focus_lost);
        return 0;
    case WM_PAINT:
        return on_paint(c);
    case WM_CLOSE:
        return on_close(c);
    case WM_SETCURSOR:
        // Inside the client area the cursor stays as the toolkit last set it.
        if (!c.record.tracking) {
            c.fallback(message);
        }
        return 0;
    case WM_GETMINMAXINFO:
        return on_min_max_info(c);
    case WM_NCCALCSIZE:
        // A client-drawn frame makes the whole window the client area.
        return c.record.client_drawn_frame && c.wparam != 0 ? 0 : c.fallback(message);
    case WM_INPUTLANGCHANGE:
        return on_language_changed(c);
    case WM_MOVE:
    case WM_COMMAND:
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        // No default processing: Alt+F4 and F10 do nothing in a toolkit window.
        return on_key_down(c);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        c.route(event_type::key_up, as_data(c.wparam));
        return 0;
    case WM_CHAR:
        c.route(event_type::char_input, as_data(c.wparam));
        return 0;
    case WM_IME_STARTCOMPOSITION:
        return on_start_composition(c);
    case WM_IME_ENDCOMPOSITION:
        return on_end_composition(c);
    case WM_IME_COMPOSITION:
        return on_composition(c);
    case WM_IME_SETCONTEXT:
        // The toolkit shows the composition itself; the IME keeps only its candidate list.
        return DefWindowProcW(c.window, message, c.wparam,
                              c.lparam & ~static_cast<LPARAM>(ISC_SHOWUICOMPOSITIONWINDOW));
    case WM_TIMER:
        return on_timer(c);
    case WM_MENUCHAR:
        return c.wparam == 32 ? 0 : MAKELRESULT(0, MNC_CLOSE);
    case WM_MOUSEMOVE:
        return on_mouse_move(c);
    case WM_LBUTTONDOWN:
        return on_button(c, event_type::mouse_down, mouse_button::left);
    case WM_LBUTTONUP:
        return on_button(c, event_type::mouse_up, mouse_button::left);
    case WM_RBUTTONDOWN:
        return on_button(c, event_type::mouse_down, mouse_button::right);
    case WM_RBUTTONUP:
        return on_button(c, event_type::mouse_up, mouse_button::right);
    case WM_MBUTTONDOWN:
        return on_button(c, event_type::mouse_down, mouse_button::middle);
    case WM_MBUTTONUP:
        return on_button(c, event_type::mouse_up, mouse_button::middle);
    case WM_XBUTTONDOWN:
        return on_x_button(c, event_type::mouse_down);
    case WM_XBUTTONUP:
        return on_x_button(c, event_type::mouse_up);
    case WM_LBUTTONDBLCLK:
        return on_double_click(c, mouse_button::left);
    case WM_RBUTTONDBLCLK:
        return on_double_click(c, mouse_button::right);
    case WM_MBUTTONDBLCLK:
        return on_double_click(c, mouse_button::middle);
    case WM_MOUSEWHEEL:
        return on_wheel(c);
    case WM_MOUSELEAVE:
        c.record.tracking = false;
        c.route(event_type::mouse_leave);
        return 0;
    case WM_WTSSESSION_CHANGE:
        if (c.wparam == session_lock) {
            c.route(event_type::session_locked);
        } else if (c.wparam == session_unlock) {
            c.route(event_type::session_unlocked);
        }
        return 0;
    case WM_DPICHANGED:
        return on_dpi_changed(c);
    case WM_USER:
        c.client.user_message(c.lparam, c.wparam);
        return 0;
    case WM_GETOBJECT: {
        const LRESULT answer = answer_object_request(c.window, c.client, c.wparam, c.lparam);
        // Posted: the client is still inside its request, and hears events once it has the root.
        if (static_cast<LONG>(static_cast<DWORD>(c.lparam)) == uia::root_object_id &&
            !std::exchange(c.record.uia_root_requested, true)) {
            PostMessageW(c.window, access_message, held_events, 0);
        }
        return answer;
    }
    case access_message:
        if (c.wparam == held_events) {
            raise_held_uia_events(c.window, c.record);
            return 0;
        }
        return run_access_message(c.window, c.client, c.wparam, c.lparam);
    default:
        return c.fallback(message);
    }
}

} // namespace

std::optional<POINT>& input_position()
{
    thread_local std::optional<POINT> position;
    return position;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    native_window* owner = record_of(window);
    native_window::impl* record = owner != nullptr ? &owner->backend() : nullptr;
    // Messages during creation, and after the toolkit window let go, get default handling.
    if (record == nullptr || record->client == nullptr || record->handle != window) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    // An exception must not cross the system's frames: a message sent from kernel mode (a
    // resize during SetWindowPos, for one) loses it on 64-bit Windows. The first one waits for
    // the message loop, or for the system's modal loop that dispatched it to return, and is
    // thrown on from there towards the entry point. The message gets the system's own answer,
    // as if the toolkit had not handled it, not one its handler never gave.
    // While a mouse message is handled, the pointer is where that message happened: the system's
    // current position may have moved on, and under Wine it can lag behind the messages (a click
    // right after a popup menu closed went to where the pointer had been before).
    const input_position_scope position(position_of(window, message, lparam));
    try {
        return dispatch({*record, *record->client, window, wparam, lparam}, message);
    } catch (...) {
        keep_failure();
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void keep_failure()
{
    const DWORD slot = failure_slot();
    if (slot == FLS_OUT_OF_INDEXES) {
        // Dropping the failure would let the program carry on as if it had not happened.
        std::terminate();
    }
    if (FlsGetValue(slot) == nullptr) {
        auto* kept = new (std::nothrow) std::exception_ptr(std::current_exception());
        if (kept == nullptr || !FlsSetValue(slot, kept)) {
            std::terminate();
        }
        // A sent message or an OLE callback runs inside GetMessageW, which does not return for
        // it: a posted message makes the loop come round and rethrow now, not at the next input.
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    }
}

void rethrow_kept_failure()
{
    const DWORD slot = failure_slot();
    if (slot == FLS_OUT_OF_INDEXES) {
        return;
    }
    if (auto* kept = static_cast<std::exception_ptr*>(FlsGetValue(slot))) {
        FlsSetValue(slot, nullptr);
        const std::exception_ptr failure = std::move(*kept);
        delete kept;
        std::rethrow_exception(failure);
    }
}

} // namespace zksdk::ui::win32
