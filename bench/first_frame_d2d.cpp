// First-frame baseline: the wizard-sized window painted once with Direct2D (clear, one filled
// rectangle) and one line of DirectWrite text, what the toolkit's renderer does at the least.
#include "first_frame_window.h"

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <iterator>

namespace {

using Microsoft::WRL::ComPtr;

struct Painter {
    ComPtr<ID2D1Factory> factory;
    ComPtr<IDWriteFactory> write_factory;
    ComPtr<IDWriteTextFormat> text_format;
    ComPtr<ID2D1HwndRenderTarget> target;
    ComPtr<ID2D1SolidColorBrush> blue;
    ComPtr<ID2D1SolidColorBrush> white;
};

Painter painter;

D2D1_COLOR_F ToD2d(COLORREF value)
{
    return {GetRValue(value) / 255.0f, GetGValue(value) / 255.0f, GetBValue(value) / 255.0f, 1.0f};
}

// The same factories and text format the toolkit's renderer makes before its first paint.
bool CreateFactories()
{
    return SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory),
                                       nullptr,
                                       reinterpret_cast<void**>(painter.factory.GetAddressOf()))) &&
           SUCCEEDED(DWriteCreateFactory(
               DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
               reinterpret_cast<IUnknown**>(painter.write_factory.GetAddressOf()))) &&
           SUCCEEDED(painter.write_factory->CreateTextFormat(
               L"Verdana", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
               DWRITE_FONT_STRETCH_NORMAL, 12.0f, L"en-us", painter.text_format.GetAddressOf()));
}

bool CreateTarget(HWND window)
{
    const D2D1_RENDER_TARGET_PROPERTIES target_properties{
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
        0.0f,
        0.0f,
        D2D1_RENDER_TARGET_USAGE_NONE,
        D2D1_FEATURE_LEVEL_DEFAULT};
    const D2D1_HWND_RENDER_TARGET_PROPERTIES window_properties{
        window,
        {static_cast<UINT32>(nimbic_bench::client_width),
         static_cast<UINT32>(nimbic_bench::client_height)},
        D2D1_PRESENT_OPTIONS_NONE};
    const D2D1_COLOR_F blue = ToD2d(nimbic_bench::button_blue);
    const D2D1_COLOR_F white{1.0f, 1.0f, 1.0f, 1.0f};
    return SUCCEEDED(painter.factory->CreateHwndRenderTarget(&target_properties, &window_properties,
                                                             painter.target.GetAddressOf())) &&
           SUCCEEDED(painter.target->CreateSolidColorBrush(&blue, nullptr,
                                                           painter.blue.GetAddressOf())) &&
           SUCCEEDED(painter.target->CreateSolidColorBrush(&white, nullptr,
                                                           painter.white.GetAddressOf()));
}

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    if (painter.target || CreateTarget(window)) {
        const RECT& box = nimbic_bench::button_box;
        const D2D1_RECT_F button{static_cast<float>(box.left), static_cast<float>(box.top),
                                 static_cast<float>(box.right), static_cast<float>(box.bottom)};
        const D2D1_RECT_F line{40.0f, 24.0f, 600.0f, 44.0f};
        static const wchar_t text[] = L"Nimbic Plug-in for After Effects Installer";
        painter.target->BeginDraw();
        painter.target->Clear(ToD2d(nimbic_bench::header_grey));
        painter.target->FillRectangle(&button, painter.blue.Get());
        painter.target->DrawText(text, static_cast<UINT32>(std::size(text) - 1),
                                 painter.text_format.Get(), &line, painter.white.Get());
        painter.target->EndDraw();
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (nimbic_bench::HandleCommonMessage(window, message, wparam))
        return 0;
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wparam, lparam);
    Paint(window);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (!CreateFactories())
        return 1;
    const HWND window = nimbic_bench::CreateBenchWindow(L"Nimbic Bench Direct2D Window", Procedure);
    if (window == nullptr)
        return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    const int status = nimbic_bench::RunMessageLoop();
    painter = Painter{};
    return status;
}
