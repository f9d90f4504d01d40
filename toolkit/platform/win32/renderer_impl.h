// The Windows renderer's private state, shared by the win32 backend's sources and its tests.
#pragma once

#include "toolkit/platform/renderer.h"

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <deque>
#include <string>
#include <vector>

namespace zksdk::ui {

struct renderer::impl {
    HWND window = nullptr;
    // Declared before everything made from them so that they are released last.
    Microsoft::WRL::ComPtr<ID2D1Factory> d2d_factory;
    Microsoft::WRL::ComPtr<IDWriteFactory> write_factory;
    Microsoft::WRL::ComPtr<ID2D1HwndRenderTarget> target;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> fill_brush;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> text_brush;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> stroke_brush;
    Microsoft::WRL::ComPtr<ID2D1StrokeStyle> dotted;
    Microsoft::WRL::ComPtr<ID2D1StrokeStyle> dashed;
    Microsoft::WRL::ComPtr<IDWriteTextFormat> text_format;
    PAINTSTRUCT paint{};
    // The brushes' colours, kept here so that the guards need no call into the device and so
    // that brushes made again for a new render target take them up.
    color fill{0, 0, 0, 1};
    color text{1, 1, 1, 1};
    color stroke{1, 1, 1, 1};
    int32_t font_weight = DWRITE_FONT_WEIGHT_NORMAL;
    int32_t font_style = DWRITE_FONT_STYLE_NORMAL;
    std::wstring font_family;
    float font_size = 12.0f;
    bool underline = false;
    float stroke_width = 1.0f;
    int32_t dash = 0;
    std::vector<const void*> widgets;
    std::deque<D2D1_MATRIX_3X2_F> transforms;
    std::vector<image*> images; // images holding a device bitmap made for this renderer
    float scale_x = 1.0f;
    float scale_y = 1.0f;
    // The DPI last given to resize (0 until then), for a render target made again.
    float dpi_x = 0.0f;
    float dpi_y = 0.0f;
    // Render targets made so far: 1 after construction, one more after each lost device. The
    // target is null from a lost device until the next pass makes a new one.
    uint32_t target_generation = 0;
    // Passes in a row that did not reach the screen (no target could be made, EndDraw failed).
    uint32_t failed_frames = 0;
    // Tests set this to have the next EndDraw report it instead of its own result (a lost
    // device cannot be caused at will); S_OK leaves EndDraw's own result alone.
    HRESULT next_end_draw_result = S_OK;
    // Tests set this to have that many of the next render targets refused, as a device that is
    // being reset refuses them.
    uint32_t failing_target_creations = 0;
};

namespace win32 {

inline D2D1_COLOR_F to_d2d(color value)
{
    return {value.r, value.g, value.b, value.a};
}

// A length whose scaled size has a fractional part of one half or more grows by one unit, so
// that the last, partly covered pixel is covered rather than blended with what lies beneath.
inline int32_t rounded_length(int32_t length, float scale)
{
    const float scaled = static_cast<float>(length) * scale;
    return length + static_cast<int32_t>(scaled + 0.5f) - static_cast<int32_t>(scaled);
}

} // namespace win32

} // namespace zksdk::ui
