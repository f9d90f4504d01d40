// The window the first-frame baselines open: the wizard's size, style and placement, so the
// only difference the watcher sees is how the frame gets painted.
#pragma once

#include <windows.h>

namespace nimbic_bench {

// The wizard's client area and the colours the watcher samples: the header band and the
// primary button's fill, both at the wizard's own coordinates.
constexpr int client_width = 1024;
constexpr int client_height = 610;
constexpr COLORREF header_grey = RGB(0x12, 0x12, 0x12);
constexpr COLORREF button_blue = RGB(0x06, 0x8D, 0xDD);
constexpr RECT button_box{814, 570, 984, 600};

// Registers the class and creates the window centred on the primary monitor, not yet shown.
// A null background brush: nothing but the program's own WM_PAINT reaches the screen.
inline HWND CreateBenchWindow(const wchar_t* title, WNDPROC procedure)
{
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = L"NimbicBenchWindow";
    if (!RegisterClassExW(&window_class))
        return nullptr;

    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT outer{0, 0, client_width, client_height};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return CreateWindowExW(0, window_class.lpszClassName, title, style, x, y, width, height,
                           nullptr, nullptr, window_class.hInstance, nullptr);
}

// Escape closes the window, so the programs can also be tried by hand.
inline bool HandleCommonMessage(HWND window, UINT message, WPARAM wparam)
{
    if (message == WM_KEYDOWN && wparam == VK_ESCAPE) {
        DestroyWindow(window);
        return true;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return true;
    }
    return false;
}

inline int RunMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace nimbic_bench
