// A real, visible Win32 window with a renderer bound to it, painted in one pass and read back
// pixel by pixel, for the renderer and image tests.
#pragma once

#include "toolkit/platform/native_window.h"
#include "toolkit/platform/renderer.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/renderer_impl.h"

#include <windows.h>
#include <d2d1_1.h>
#include <ole2.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zksdk::ui::win32_test {

// The thread's apartment, as the native window record would set it up.
class ole_scope {
public:
    ole_scope() : m_result(OleInitialize(nullptr)) {}
    ~ole_scope()
    {
        if (SUCCEEDED(m_result)) {
            OleUninitialize();
        }
    }
    ole_scope(const ole_scope&) = delete;
    ole_scope& operator=(const ole_scope&) = delete;

private:
    HRESULT m_result;
};

struct pixel {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const pixel&) const = default;
};

inline const color black{0, 0, 0, 1};
inline const color white{1, 1, 1, 1};
inline const color red{1, 0, 0, 1};
inline const color magenta{1, 0, 1, 1};
inline const color cyan{0, 1, 1, 1};

// Dispatches the thread's timer messages for the window (only those: a paint would validate it)
// until the window is marked for painting, for up to `milliseconds`.
inline bool marked_within(HWND window, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    RECT marked{};
    while (!GetUpdateRect(window, &marked, FALSE)) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_TIMER);
        MSG message{};
        while (PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    return true;
}

class drawing_window {
public:
    drawing_window(int32_t width, int32_t height) : m_width(width), m_height(height)
    {
        static const ATOM window_class = [] {
            WNDCLASSEXW description{};
            description.cbSize = sizeof(description);
            description.lpfnWndProc = DefWindowProcW;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"NimbicDrawingTest";
            return RegisterClassExW(&description);
        }();
        // Side by side, because the read-back sees only what is visible on the screen.
        static int32_t next_left = 0;
        if (next_left + width > 1200) {
            next_left = 0;
        }
        m_handle = CreateWindowExW(WS_EX_TOPMOST, MAKEINTATOM(window_class), L"drawing test",
                                   WS_POPUP | WS_VISIBLE, next_left, 0, width, height, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
        next_left += width + 8;
        UpdateWindow(m_handle);
        m_record.backend().handle = m_handle;
        m_renderer = std::make_unique<renderer>(m_record);
    }

    ~drawing_window()
    {
        m_renderer.reset();
        // The window is ours: the record must not take it down with itself.
        m_record.backend().handle = nullptr;
        DestroyWindow(m_handle);
    }

    drawing_window(const drawing_window&) = delete;
    drawing_window& operator=(const drawing_window&) = delete;

    HWND handle() const { return m_handle; }
    native_window& record() { return m_record; }
    renderer& painter() { return *m_renderer; }
    void drop_renderer() { m_renderer.reset(); }

    // Resizes the renderer to the window's pixels at another DPI.
    void set_dpi(int32_t dpi_x, int32_t dpi_y)
    {
        m_dpi = {dpi_x, dpi_y};
        m_renderer->resize(m_width, m_height, dpi_x, dpi_y);
    }

    // One paint pass: a root widget over the whole window, cleared to black, and `draw` inside a
    // child widget at `child` (in DIPs); then the client area is read back, unless the pass
    // ended without a render target (a device lost in it, or not made again for it).
    void paint(rect child, const std::function<void(renderer&)>& draw)
    {
        renderer& target = *m_renderer;
        const int root = 0;
        const int inner = 0;
        const rect everything{0, 0, 10000, 10000};
        target.begin_widget(&root, {0, 0, m_width, m_height}, everything);
        target.set_fill_color(black);
        target.fill_rect({0, 0, m_width, m_height});
        m_pass_marker = m_pass_marker == magenta ? cyan : magenta;
        target.set_fill_color(m_pass_marker);
        target.fill_rect({(m_width - 6) * 96 / m_dpi.x, (m_height - 6) * 96 / m_dpi.y, 3, 3});
        target.begin_widget(&inner, child, everything);
        draw(target);
        target.end_widget();
        target.end_widget();
        if (!target.backend().target) {
            return;
        }
        wait_for_device();
        capture();
    }

    pixel at(int32_t x, int32_t y) const
    {
        const uint32_t value = m_pixels[static_cast<std::size_t>(y * m_width + x)];
        return {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                static_cast<uint8_t>(value)};
    }

private:
    // Under Wine the device draws and presents on a thread of its own, and a device new on the
    // window (after a loss) sets the window's pixel format there, an X request that fails and is
    // expected to. libX11 deadlocks when that error arrives while this thread waits for the
    // screen's pixels on the same connection. Reading a copy of the frame back waits until the
    // device has done everything queued before it, the present included.
    void wait_for_device()
    {
        ID2D1HwndRenderTarget& target = *m_renderer->backend().target.Get();
        Microsoft::WRL::ComPtr<ID2D1DeviceContext> context;
        ASSERT_HRESULT_SUCCEEDED(target.QueryInterface(IID_PPV_ARGS(context.GetAddressOf())));
        const D2D1_BITMAP_PROPERTIES1 readable{
            {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED},
            96,
            96,
            D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
            nullptr};
        Microsoft::WRL::ComPtr<ID2D1Bitmap1> copy;
        ASSERT_HRESULT_SUCCEEDED(
            context->CreateBitmap({1, 1}, nullptr, 0, &readable, copy.GetAddressOf()));
        const D2D1_POINT_2U to{0, 0};
        const D2D1_RECT_U from{0, 0, 1, 1};
        Microsoft::WRL::ComPtr<ID2D1Image> frame;
        context->GetTarget(frame.GetAddressOf());
        Microsoft::WRL::ComPtr<ID2D1Bitmap> frame_bitmap;
        ASSERT_TRUE(frame) << "the window's device context has no target";
        ASSERT_HRESULT_SUCCEEDED(frame.As(&frame_bitmap));
        ASSERT_HRESULT_SUCCEEDED(copy->CopyFromBitmap(&to, frame_bitmap.Get(), &from));
        D2D1_MAPPED_RECT mapped{};
        ASSERT_HRESULT_SUCCEEDED(copy->Map(D2D1_MAP_OPTIONS_READ, &mapped));
        copy->Unmap();
    }

    // The drawing reaches the screen through the system's swap chain, possibly after EndDraw has
    // returned, and a window DC does not see it under every system: read the screen until the
    // pass's own marker colour shows. A new device's first frame waits for its shaders, which
    // on a loaded machine takes seconds.
    void capture()
    {
        const pixel expected{static_cast<uint8_t>(m_pass_marker.r * 255),
                             static_cast<uint8_t>(m_pass_marker.g * 255),
                             static_cast<uint8_t>(m_pass_marker.b * 255)};
        const ULONGLONG end = GetTickCount64() + 20000;
        for (;;) {
            read_screen();
            if (at(m_width - 4, m_height - 4) == expected) {
                return;
            }
            if (GetTickCount64() >= end) {
                break;
            }
            Sleep(10);
        }
        ADD_FAILURE() << "the paint pass never reached the screen";
    }

    void read_screen()
    {
        POINT origin{0, 0};
        ClientToScreen(m_handle, &origin);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height; // rows from the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP copy = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memory, copy);
        BitBlt(memory, 0, 0, m_width, m_height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        const auto* first = static_cast<const uint32_t*>(bits);
        m_pixels.assign(first, first + static_cast<std::size_t>(m_width * m_height));
        SelectObject(memory, previous);
        DeleteObject(copy);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }

    int32_t m_width;
    int32_t m_height;
    HWND m_handle = nullptr;
    native_window m_record;
    std::unique_ptr<renderer> m_renderer;
    std::vector<uint32_t> m_pixels;
    point m_dpi{96, 96};
    color m_pass_marker;
};

} // namespace zksdk::ui::win32_test
