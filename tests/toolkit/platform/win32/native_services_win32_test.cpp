// The process-wide Windows services: pointer, keys, clock, cursors, capture, clipboard, menu.
#include "toolkit/platform/native_services.h"

#include "toolkit/platform/native_window.h"
#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <array>
#include <stdexcept>
#include <string>
#include <thread>

namespace zksdk::ui {
namespace {

class quiet_client : public native_window_client {
public:
    bool timer_fails = false;

    void route(event_type, void*, const void*) override {}
    void paint_native(rect) override {}
    void native_timer(uint32_t) override
    {
        if (timer_fails) {
            throw std::runtime_error("unable to go on");
        }
    }
    bool request_close() override { return false; }
    void native_resized(size) override {}
    bool has_pointer_handlers(event_type) override { return false; }
    void user_message(intptr_t, uintptr_t) override {}
};

class NativeServicesWin32 : public testing::Test {
protected:
    void SetUp() override
    {
        window.create_native(nullptr, client, {100, 100, 300, 200}, 0);
        window.show();
    }
    HWND handle() const { return window.backend().handle; }

    quiet_client client;
    native_window window;
};

TEST_F(NativeServicesWin32, PointerPositionsAreInScreenAndClientPixels)
{
    ASSERT_TRUE(SetCursorPos(210, 160));
    EXPECT_EQ((point{210, 160}), pointer_screen_position());
    POINT origin{0, 0};
    ClientToScreen(handle(), &origin);
    EXPECT_EQ((point{210 - origin.x, 160 - origin.y}), screen_to_client(window, {210, 160}));
}

TEST_F(NativeServicesWin32, ModifierKeysReadTheirOwnVirtualKeys)
{
    const std::array<std::pair<modifier_key, int>, 4> keys{{{modifier_key::left_shift, VK_LSHIFT},
                                                            {modifier_key::right_shift, VK_RSHIFT},
                                                            {modifier_key::control, VK_CONTROL},
                                                            {modifier_key::right_alt, VK_RMENU}}};
    BYTE saved[256] = {};
    GetKeyboardState(saved);
    for (const auto& [key, virtual_key] : keys) {
        SCOPED_TRACE(virtual_key);
        BYTE state[256] = {};
        state[virtual_key] = 0x80;
        SetKeyboardState(state);
        for (const auto& [other, unused] : keys) {
            EXPECT_EQ(other == key, is_key_down(other));
        }
    }
    SetKeyboardState(saved);
}

TEST_F(NativeServicesWin32, TheClockCountsMillisecondsAndNeverGoesBack)
{
    const double start = monotonic_milliseconds();
    Sleep(50);
    const double later = monotonic_milliseconds();
    EXPECT_GE(later - start, 45.0);
    EXPECT_LT(later - start, 1000.0);
    EXPECT_LE(later, monotonic_milliseconds());
}

TEST_F(NativeServicesWin32, CursorsAndCaptureFollowTheToolkit)
{
    set_system_cursor(5);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_IBEAM), GetCursor());
    set_system_cursor(8);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_SIZENESW), GetCursor());
    set_system_cursor(9);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_SIZENESW), GetCursor()) << "unknown shapes change nothing";

    capture_mouse(window);
    EXPECT_EQ(handle(), GetCapture());
    release_mouse_capture();
    EXPECT_EQ(nullptr, GetCapture());
}

std::wstring clipboard_text(HWND reader)
{
    if (!OpenClipboard(reader)) {
        return L"(clipboard not opened)";
    }
    std::wstring text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

TEST_F(NativeServicesWin32, ClipboardTextIsStoredAsUnicode)
{
    set_clipboard_text("Licence \xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_EQ(std::wstring(L"Licence \u00e9t\u00e9 \u65e5\u672c"), clipboard_text(handle()));
}

// Clipboard history or a remote desktop client holds the clipboard for a moment now and then:
// Copy waits that moment out instead of dropping the text.
TEST_F(NativeServicesWin32, ClipboardTextWaitsForAProgramHoldingTheClipboardBriefly)
{
    set_clipboard_text("before");
    const HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([held] {
        const HWND other = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
        const BOOL opened = OpenClipboard(other);
        SetEvent(held);
        Sleep(100);
        if (opened) {
            CloseClipboard();
        }
        DestroyWindow(other);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 5000));
    if (OpenClipboard(handle())) {
        CloseClipboard();
        ADD_FAILURE() << "the other window does not hold the clipboard";
    }
    set_clipboard_text("copied while held");
    holder.join();
    CloseHandle(held);
    EXPECT_EQ(std::wstring(L"copied while held"), clipboard_text(handle()));
}

// Keys for the menu's own loop, from a timer that fires inside it.
std::array<WPARAM, 4> menu_keys{};
HWND menu_owner = nullptr;
UINT_PTR menu_fallback = 0;

void CALLBACK press_menu_keys(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (WPARAM key : menu_keys) {
        if (key != 0) {
            PostMessageW(menu_owner, WM_KEYDOWN, key, 0);
            PostMessageW(menu_owner, WM_KEYUP, key, 0xC0000000);
        }
    }
    // A menu the keys did not close must not hang the run.
    menu_fallback = SetTimer(nullptr, 0, 2000, [](HWND, UINT, UINT_PTR late, DWORD) {
        KillTimer(nullptr, late);
        EndMenu();
    });
}

TEST_F(NativeServicesWin32, PopupMenusReturnTheChosenItemOrNothing)
{
    const std::array<popup_menu_item, 4> items{
        {{1, -1, "Copy"}, {2, -1, "More"}, {3, 2, "Inner"}, {4, -1, "Last"}}};
    SetForegroundWindow(handle());
    menu_owner = handle();
    // A pointer resting over the menu would select the item under it.
    SetCursorPos(5, 5);

    struct menu_case {
        std::array<WPARAM, 4> keys;
        uint32_t chosen;
    };
    const menu_case cases[] = {
        {{VK_ESCAPE}, 0},
        {{VK_DOWN, VK_RETURN}, 1},
        {{VK_UP, VK_RETURN}, 4},
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}, 3}, // item 3 sits in the submenu of item 2
    };
    for (const menu_case& c : cases) {
        SCOPED_TRACE(c.chosen);
        menu_keys = c.keys;
        SetTimer(nullptr, 0, 100, press_menu_keys);
        EXPECT_EQ(c.chosen, show_popup_menu(window, {600, 400}, items));
        KillTimer(nullptr, menu_fallback);
    }
}

// The menu's own loop dispatches its owner's messages: a failure in one is thrown as the menu
// returns, not left for the owner's loop.
TEST_F(NativeServicesWin32, AFailureInTheOwnersMessagesIsThrownAsTheMenuReturns)
{
    const std::array<popup_menu_item, 1> items{{{1, -1, "Copy"}}};
    SetForegroundWindow(handle());
    menu_owner = handle();
    SetCursorPos(5, 5);
    client.timer_fails = true;
    window.start_timer(1, 30);
    menu_keys = {VK_ESCAPE};
    SetTimer(nullptr, 0, 300, press_menu_keys);
    std::string caught;
    try {
        show_popup_menu(window, {600, 400}, items);
    } catch (const std::runtime_error& failure) {
        caught = failure.what();
    }
    window.stop_timer(1);
    KillTimer(nullptr, menu_fallback);
    EXPECT_EQ("unable to go on", caught);
}

} // namespace
} // namespace zksdk::ui
