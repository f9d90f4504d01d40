// The native window record on Windows: class, creation, DPI, placement, timers and the loop.
#include "toolkit/platform/native_window.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/text_input_state.h"
#include "toolkit/platform/win32/accessibility_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/ole_drop_target.h"
#include "toolkit/platform/win32/system_libraries.h"
#include "toolkit/platform/win32/text_input_state_impl.h"

#include <cassert>
#include <cwchar>
#include <wtsapi32.h>

namespace zksdk::ui {

namespace win32 {

namespace {

constexpr size_t class_name_capacity = 256;
constexpr UINT class_style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
constexpr COLORREF magenta = RGB(255, 0, 255);

struct window_class {
    wchar_t name[class_name_capacity] = L"ZKSDK_WINDOW_CLASS";
    ATOM atom = 0;
};

// Another module (or another toolkit copy in this one) may own the name already; a zero is
// appended until the name is free, so each copy gets a class with its own window procedure.
window_class register_class()
{
    window_class result;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    while (GetClassInfoExW(module, result.name, &existing) &&
           std::wcslen(result.name) + 1 < class_name_capacity) {
        std::wcscat(result.name, L"0");
    }
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.style = class_style;
    description.lpfnWndProc = window_procedure;
    description.hInstance = module;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.lpszClassName = result.name;
    result.atom = RegisterClassExW(&description);
    return result;
}

const window_class& toolkit_class()
{
    static const window_class registered = register_class();
    return registered;
}

struct styles {
    DWORD style = 0;
    DWORD extended = 0;
    bool client_drawn_frame = false;
};

styles styles_for(uint16_t flags)
{
    styles result;
    if ((flags & 0x80) != 0) {
        result.style = WS_CHILD | WS_CLIPCHILDREN;
        return result;
    }
    if ((flags & 0x01) != 0) {
        result.style = WS_POPUP;
        if ((flags & 0x40) != 0) {
            result.style = WS_OVERLAPPEDWINDOW;
            result.client_drawn_frame = true;
        }
    } else {
        result.style = (flags & 0x02) != 0 ? WS_CAPTION : WS_CAPTION | WS_SYSMENU;
    }
    if ((flags & 0x04) != 0) {
        result.style |= WS_THICKFRAME;
    }
    if ((flags & 0x08) != 0) {
        result.style |= WS_MINIMIZEBOX;
    }
    if ((flags & 0x10) != 0) {
        result.style |= WS_MAXIMIZEBOX;
    }
    if ((flags & 0x20) != 0) {
        result.extended |= WS_EX_TOPMOST;
    }
    if ((flags & 0x100) != 0) {
        result.extended |= WS_EX_DLGMODALFRAME;
    }
    result.style |= WS_CLIPCHILDREN;
    return result;
}

point system_dpi()
{
    const HDC screen = GetDC(nullptr);
    const point dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

} // namespace

const dpi_functions& dpi_api()
{
    static const dpi_functions functions = [] {
        dpi_functions found;
        if (const HMODULE user = LoadLibraryW(L"User32.dll")) {
            look_up(user, "GetThreadDpiAwarenessContext", found.get_thread_context);
            look_up(user, "SetThreadDpiAwarenessContext", found.set_thread_context);
            look_up(user, "GetDpiForWindow", found.dpi_for_window);
            look_up(user, "AreDpiAwarenessContextsEqual", found.contexts_equal);
            look_up(user, "AdjustWindowRectExForDpi", found.adjust_for_dpi);
        }
        return found;
    }();
    return functions;
}

int32_t window_dpi(HWND window, int32_t fallback)
{
    const auto function = dpi_api().dpi_for_window;
    const UINT dpi = function != nullptr ? function(window) : 0;
    return dpi != 0 ? static_cast<int32_t>(dpi) : fallback;
}

native_window* record_of(HWND window)
{
    if (window == nullptr ||
        GetClassLongPtrW(window, GCW_ATOM) != static_cast<ULONG_PTR>(toolkit_class().atom)) {
        return nullptr;
    }
    return reinterpret_cast<native_window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

point& pointer_dpi_state()
{
    static point dpi{96, 96};
    return dpi;
}

RECT frame_for(DWORD style, DWORD extended_style, int32_t dpi)
{
    RECT insets{0, 0, 0, 0};
    if (const auto adjust = dpi_api().adjust_for_dpi) {
        adjust(&insets, style, FALSE, extended_style, static_cast<UINT>(dpi));
    } else {
        AdjustWindowRectEx(&insets, style, FALSE, extended_style);
    }
    return insets;
}

RECT frame_insets(const native_window::impl& record)
{
    if (record.client_drawn_frame) {
        return RECT{0, 0, 0, 0};
    }
    return frame_for(record.style, record.extended_style, record.dpi_x);
}

SIZE outer_size(const native_window::impl& record, SIZE client)
{
    const RECT insets = frame_insets(record);
    return {client.cx + insets.right - insets.left, client.cy + insets.bottom - insets.top};
}

HWND real_owner(HWND window)
{
    const HWND owner = window != nullptr ? GetWindow(window, GW_OWNER) : nullptr;
    return owner != nullptr && owner != GetDesktopWindow() ? owner : nullptr;
}

} // namespace win32

native_window::native_window() : m_impl(std::make_unique<impl>())
{
    const HRESULT ole_result = OleInitialize(nullptr);
    m_impl->drop_target = new win32::ole_drop_target(*this, ole_result);
    CoLockObjectExternal(m_impl->drop_target, TRUE, FALSE);
}

native_window::~native_window()
{
    impl& record = *m_impl;
    // The toolkit window is already going: messages sent from here on get default handling.
    record.client = nullptr;
    if (record.drop_registered) {
        RevokeDragDrop(record.handle);
    }
    if (record.handle != nullptr) {
        if (const HWND owner = win32::real_owner(record.handle)) {
            EnableWindow(owner, TRUE);
            SetFocus(owner);
        }
        if (record.session_registered) {
            win32::session_api().unregister_notification(record.handle);
        }
        win32::release_access_providers(record.handle);
        SetWindowLongPtrW(record.handle, GWLP_USERDATA, 0);
        DestroyWindow(record.handle);
        DeleteObject(record.background);
    }
    win32::ole_drop_target* target = record.drop_target;
    const HRESULT ole_result = target->ole_result();
    target->detach();
    CoLockObjectExternal(target, FALSE, TRUE);
    target->Release();
    if (ole_result != RPC_E_CHANGED_MODE) {
        OleUninitialize();
    }
}

void native_window::create_native(native_window* owner, native_window_client& client, rect dips,
                                  uint16_t flags)
{
    assert(m_impl->handle == nullptr && "the native window exists already");
    impl& record = *m_impl;
    record.client = &client;
    record.owner = owner;
    const win32::window_class& registered = win32::toolkit_class();
    const win32::styles chosen = win32::styles_for(flags);
    record.style = chosen.style;
    record.extended_style = chosen.extended;
    record.client_drawn_frame = chosen.client_drawn_frame;

    const point system = win32::system_dpi();
    record.dpi_x = system.x;
    record.dpi_y = system.y;
    const SIZE outer = win32::outer_size(
        record, {mul_div(dips.width, system.x, 96), mul_div(dips.height, system.y, 96)});

    const win32::dpi_functions& api = win32::dpi_api();
    DPI_AWARENESS_CONTEXT saved = nullptr;
    if (api.get_thread_context != nullptr && api.set_thread_context != nullptr) {
        saved = api.get_thread_context();
        api.set_thread_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
    record.handle =
        CreateWindowExW(record.extended_style, registered.name, L"", record.style,
                        mul_div(dips.x, system.x, 96), mul_div(dips.y, system.y, 96), outer.cx,
                        outer.cy, owner != nullptr ? owner->m_impl->handle : nullptr, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
    if (saved != nullptr) {
        api.set_thread_context(saved);
    }
    if (record.handle == nullptr) {
        return;
    }

    // The window may have landed on a monitor whose DPI is not the system's.
    const int32_t dpi = win32::window_dpi(record.handle, system.x);
    if (dpi != system.x || dpi != system.y) {
        record.dpi_x = dpi;
        record.dpi_y = dpi;
        const SIZE scaled = win32::outer_size(
            record, {mul_div(dips.width, dpi, 96), mul_div(dips.height, dpi, 96)});
        SetWindowPos(record.handle, nullptr, mul_div(dips.x, dpi, 96), mul_div(dips.y, dpi, 96),
                     scaled.cx, scaled.cy, SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER);
    }

    SetWindowLongPtrW(record.handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Without the library the window goes unregistered, as when registration itself fails:
    // it only misses the lock and unlock notices.
    const win32::session_functions& session = win32::session_api();
    record.session_registered =
        session.register_notification != nullptr &&
        session.register_notification(record.handle, NOTIFY_FOR_THIS_SESSION) != FALSE;
    if (!record.drop_registered) {
        record.drop_target->set_window(record.handle);
        record.drop_registered = SUCCEEDED(RegisterDragDrop(record.handle, record.drop_target));
    }
    record.background = CreateSolidBrush(win32::magenta);
}

bool native_window::is_created() const
{
    return m_impl->handle != nullptr;
}

native_window* native_window::owner() const
{
    return m_impl->owner;
}

native_window_client* native_window::client() const
{
    return m_impl->client;
}

void native_window::set_title(std::string_view title)
{
    m_impl->title = title;
    if (m_impl->handle != nullptr) {
        const std::u16string text = utf8_to_utf16(title);
        SetWindowTextW(m_impl->handle, reinterpret_cast<const wchar_t*>(text.c_str()));
    }
}

const std::string& native_window::title() const
{
    return m_impl->title;
}

int32_t native_window::dpi_x() const
{
    return m_impl->dpi_x;
}

int32_t native_window::dpi_y() const
{
    return m_impl->dpi_y;
}

void native_window::set_client_size_limits(size minimum, size maximum)
{
    m_impl->minimum_client = minimum;
    m_impl->maximum_client = maximum;
}

void native_window::invalidate(rect area)
{
    if (m_impl->handle == nullptr) {
        return;
    }
    const RECT marked{area.x, area.y, area.x + area.width, area.y + area.height};
    InvalidateRect(m_impl->handle, &marked, FALSE);
}

void native_window::update_now()
{
    if (m_impl->handle != nullptr) {
        UpdateWindow(m_impl->handle);
    }
}

void native_window::show(activation mode)
{
    if (m_impl->handle != nullptr) {
        ShowWindow(m_impl->handle, mode == activation::activate ? SW_SHOW : SW_SHOWNOACTIVATE);
    }
}

void native_window::hide()
{
    if (m_impl->handle != nullptr && IsWindowVisible(m_impl->handle)) {
        ShowWindow(m_impl->handle, SW_HIDE);
    }
}

bool native_window::is_visible() const
{
    return m_impl->handle != nullptr && IsWindowVisible(m_impl->handle);
}

bool native_window::is_shown() const
{
    return m_impl->shown;
}

void native_window::set_shown(bool shown)
{
    m_impl->shown = shown;
}

uint32_t native_window::next_timer_id()
{
    return ++m_impl->timer_counter;
}

void native_window::start_timer(uint32_t id, uint32_t interval_ms)
{
    if (m_impl->handle != nullptr) {
        SetTimer(m_impl->handle, id, interval_ms, nullptr);
    }
}

void native_window::stop_timer(uint32_t id)
{
    if (m_impl->handle != nullptr) {
        KillTimer(m_impl->handle, id);
    }
}

bool native_window::is_running() const
{
    return m_impl->running;
}

void native_window::set_running(bool running)
{
    m_impl->running = running;
}

bool native_window::pump()
{
    // A failure kept while a message was sent outside this loop (during creation, a move).
    win32::rethrow_kept_failure();
    MSG message{};
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
        // Every enclosing modal loop has to end too, so the quit request stays queued.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (got == -1) {
        return false;
    }
    if (message.message == WM_KEYDOWN) {
        native_window* target = win32::record_of(message.hwnd);
        text_input_state* input = target != nullptr ? target->m_impl->text_input : nullptr;
        if (input != nullptr && input->is_composing()) {
            input->backend().on_key_down_while_composing();
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    win32::rethrow_kept_failure();
    return true;
}

void native_window::set_owner_enabled(bool enabled)
{
    if (const HWND owner = win32::real_owner(m_impl->handle)) {
        EnableWindow(owner, enabled ? TRUE : FALSE);
    }
}

void native_window::focus_owner()
{
    if (const HWND owner = win32::real_owner(m_impl->handle)) {
        SetFocus(owner);
    }
}

void native_window::focus()
{
    if (m_impl->handle != nullptr) {
        SetFocus(m_impl->handle);
    }
}

bool native_window::is_focus_window() const
{
    return m_impl->handle != nullptr && GetFocus() == m_impl->handle;
}

} // namespace zksdk::ui
