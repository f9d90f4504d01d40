// First-frame baseline: the wizard-sized window painted with plain GDI brushes, the least a
// Windows program can do to put those pixels on screen.
#include "first_frame_window.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (nimbic_bench::HandleCommonMessage(window, message, wparam))
        return 0;
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wparam, lparam);

    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    const HBRUSH header = CreateSolidBrush(nimbic_bench::header_grey);
    const HBRUSH button = CreateSolidBrush(nimbic_bench::button_blue);
    const RECT whole{0, 0, nimbic_bench::client_width, nimbic_bench::client_height};
    FillRect(dc, &whole, header);
    FillRect(dc, &nimbic_bench::button_box, button);
    DeleteObject(button);
    DeleteObject(header);
    EndPaint(window, &paint);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const HWND window = nimbic_bench::CreateBenchWindow(L"Nimbic Bench Plain Window", Procedure);
    if (window == nullptr)
        return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return nimbic_bench::RunMessageLoop();
}
