// Process-wide Windows services: pointer, keys, clock, cursors, capture, clipboard, menu, shell.
#include "toolkit/platform/native_services.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/win32/native_window_impl.h"

#include <array>
#include <cstring>
#include <map>
#include <shellapi.h>

namespace zksdk::ui {

namespace {

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

HCURSOR standard_cursor(uint32_t shape)
{
    static const std::array<HCURSOR, 9> cursors = [] {
        const std::array<LPCWSTR, 9> names{IDC_ARROW,  IDC_CROSS,    IDC_SIZEWE,
                                           IDC_SIZENS, IDC_SIZENWSE, IDC_IBEAM,
                                           IDC_HAND,   IDC_SIZENWSE, IDC_SIZENESW};
        std::array<HCURSOR, 9> loaded{};
        for (size_t i = 0; i < names.size(); ++i) {
            loaded[i] = LoadCursorW(nullptr, names[i]);
        }
        return loaded;
    }();
    return shape < cursors.size() ? cursors[shape] : nullptr;
}

// Clipboard ownership needs a window; this one exists only for that and never shows.
HWND clipboard_window()
{
    static const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                               nullptr, GetModuleHandleW(nullptr), nullptr);
    return window;
}

// Another program (clipboard history, a remote desktop client) may hold the clipboard for a
// moment; a few short tries, at most a fifth of a second in all, keep Copy from silently doing
// nothing then.
bool open_clipboard()
{
    constexpr int tries = 10;
    constexpr DWORD pause_ms = 20;
    for (int attempt = 1;; ++attempt) {
        if (OpenClipboard(clipboard_window())) {
            return true;
        }
        if (attempt == tries) {
            return false;
        }
        Sleep(pause_ms);
    }
}

} // namespace

point pointer_screen_position()
{
    // Inside a mouse message, where it happened; see window_procedure.
    if (const std::optional<POINT>& at = win32::input_position()) {
        return {at->x, at->y};
    }
    POINT position{};
    GetCursorPos(&position);
    return {position.x, position.y};
}

point screen_to_client(const native_window& window, point screen)
{
    POINT position{screen.x, screen.y};
    ScreenToClient(window.backend().handle, &position);
    return {position.x, position.y};
}

point pointer_dpi()
{
    return win32::pointer_dpi_state();
}

bool is_key_down(modifier_key key)
{
    int virtual_key = VK_LSHIFT;
    switch (key) {
    case modifier_key::left_shift:
        virtual_key = VK_LSHIFT;
        break;
    case modifier_key::right_shift:
        virtual_key = VK_RSHIFT;
        break;
    case modifier_key::control:
        virtual_key = VK_CONTROL;
        break;
    case modifier_key::right_alt:
        virtual_key = VK_RMENU;
        break;
    }
    return (GetKeyState(virtual_key) & 0x8000) != 0;
}

double monotonic_milliseconds()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart, so that the nanoseconds cannot overflow.
    const LONGLONG seconds = counter.QuadPart / frequency;
    const LONGLONG rest = counter.QuadPart % frequency;
    const LONGLONG nanoseconds = seconds * 1000000000LL + rest * 1000000000LL / frequency;
    return static_cast<double>(nanoseconds) * 1e-6;
}

int32_t local_calendar_year()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wYear;
}

void set_system_cursor(uint32_t shape)
{
    if (const HCURSOR cursor = standard_cursor(shape)) {
        SetCursor(cursor);
    }
}

void capture_mouse(native_window& window)
{
    SetCapture(window.backend().handle);
}

void release_mouse_capture()
{
    ReleaseCapture();
}

void set_clipboard_text(std::string_view text)
{
    const std::u16string units = utf8_to_utf16(text);
    const size_t bytes = (units.size() + 1) * sizeof(char16_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return;
    }
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, units.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!open_clipboard()) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it accepts it.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
        GlobalFree(memory);
    }
    CloseClipboard();
}

uint32_t show_popup_menu(native_window& owner, point screen, std::span<const popup_menu_item> items)
{
    struct placed {
        HMENU holder;
        HMENU submenu;
    };
    const HMENU menu = CreatePopupMenu();
    std::map<uint32_t, placed> by_id;
    for (const popup_menu_item& item : items) {
        HMENU holder = menu;
        const auto parent = by_id.find(static_cast<uint32_t>(item.parent_id));
        if (item.parent_id != -1 && parent != by_id.end()) {
            // A parent gets its submenu with its first child.
            if (parent->second.submenu == nullptr) {
                parent->second.submenu = CreatePopupMenu();
                MENUITEMINFOW info{};
                info.cbSize = sizeof(info);
                info.fMask = MIIM_SUBMENU;
                info.hSubMenu = parent->second.submenu;
                SetMenuItemInfoW(parent->second.holder, parent->first, FALSE, &info);
            }
            holder = parent->second.submenu;
        }
        const std::u16string caption = utf8_to_utf16(item.caption);
        AppendMenuW(holder, MF_STRING, item.id, wide(caption));
        by_id[item.id] = {holder, nullptr};
    }
    const BOOL chosen =
        TrackPopupMenuEx(menu, TPM_RETURNCMD, screen.x, screen.y, owner.backend().handle, nullptr);
    DestroyMenu(menu);
    // The menu's own loop dispatched our windows' messages; what failed there goes on now.
    win32::rethrow_kept_failure();
    return static_cast<uint32_t>(chosen);
}

void shell_open(std::string_view target)
{
    const std::u16string path = utf8_to_utf16(target);
    ShellExecuteW(nullptr, L"open", wide(path), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace zksdk::ui
