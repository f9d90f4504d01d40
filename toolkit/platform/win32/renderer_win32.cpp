// The Windows renderer's drawing state, shapes and image draws; the render target's life and the
// paint traversal are in renderer_target_win32.cpp. Without a target (a pass skipped after a
// lost device) the state is kept and nothing is drawn.
#include "toolkit/platform/win32/renderer_impl.h"

#include "toolkit/platform/image.h"
#include "toolkit/platform/win32/image_impl.h"

#include <cmath>

namespace zksdk::ui {

using Microsoft::WRL::ComPtr;
using win32::rounded_length;
using win32::to_d2d;

namespace {

D2D1_RECT_F box_of(rect area)
{
    return {static_cast<float>(area.x), static_cast<float>(area.y),
            static_cast<float>(area.x + area.width), static_cast<float>(area.y + area.height)};
}

} // namespace

void renderer::set_fill_color(color fill)
{
    m_impl->fill = fill;
    if (m_impl->fill_brush) {
        m_impl->fill_brush->SetColor(to_d2d(fill));
    }
}

void renderer::set_text_color(color text)
{
    m_impl->text = text;
    if (m_impl->text_brush) {
        m_impl->text_brush->SetColor(to_d2d(text));
    }
}

void renderer::set_stroke(color stroke, float width)
{
    m_impl->stroke = stroke;
    if (m_impl->stroke_brush) {
        m_impl->stroke_brush->SetColor(to_d2d(stroke));
    }
    m_impl->stroke_width = width;
}

void renderer::set_dash(int32_t kind)
{
    m_impl->dash = kind;
}

void renderer::fill_rect(rect area)
{
    if (m_impl->fill.a == 0 || !m_impl->target) {
        return;
    }
    area.width = rounded_length(area.width, m_impl->scale_x);
    area.height = rounded_length(area.height, m_impl->scale_y);
    const D2D1_RECT_F box = box_of(area);
    m_impl->target->FillRectangle(&box, m_impl->fill_brush.Get());
}

void renderer::fill_rounded_rect(rect area, float radius)
{
    if (m_impl->fill.a == 0 || !m_impl->target) {
        return;
    }
    const D2D1_ROUNDED_RECT shape{box_of(area), radius, radius};
    m_impl->target->FillRoundedRectangle(&shape, m_impl->fill_brush.Get());
}

void renderer::fill_ellipse(point centre, float radius, rect clip)
{
    if (m_impl->fill.a == 0 || !m_impl->target) {
        return;
    }
    const bool clipped = clip != rect{};
    if (clipped) {
        const D2D1_RECT_F box = box_of(clip);
        m_impl->target->PushAxisAlignedClip(&box, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    }
    const D2D1_ELLIPSE shape{
        {static_cast<float>(centre.x), static_cast<float>(centre.y)}, radius, radius};
    m_impl->target->FillEllipse(&shape, m_impl->fill_brush.Get());
    if (clipped) {
        m_impl->target->PopAxisAlignedClip();
    }
}

void renderer::fill_vertical_gradient(rect area, color top, color bottom)
{
    if (!m_impl->target) {
        return;
    }
    const D2D1_GRADIENT_STOP stops[] = {{0.0f, to_d2d(top)}, {1.0f, to_d2d(bottom)}};
    ComPtr<ID2D1GradientStopCollection> collection;
    if (FAILED(m_impl->target->CreateGradientStopCollection(
            stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, collection.GetAddressOf()))) {
        return;
    }
    const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES ends{
        {0.0f, static_cast<float>(area.y)}, {0.0f, static_cast<float>(area.y + area.height)}};
    ComPtr<ID2D1LinearGradientBrush> brush;
    if (FAILED(m_impl->target->CreateLinearGradientBrush(&ends, nullptr, collection.Get(),
                                                         brush.GetAddressOf()))) {
        return;
    }
    const D2D1_RECT_F box = box_of(area);
    m_impl->target->FillRectangle(&box, brush.Get());
}

namespace {

bool outline_visible(const renderer::impl& self)
{
    return self.stroke.a != 0 && self.stroke_width > 0 && self.target;
}

ID2D1StrokeStyle* dash_style(const renderer::impl& self)
{
    switch (self.dash) {
    case 1:
        return self.dotted.Get();
    case 2:
        return self.dashed.Get();
    default:
        return nullptr;
    }
}

} // namespace

void renderer::draw_rect(rect area)
{
    if (!outline_visible(*m_impl)) {
        return;
    }
    // The outline runs through the middle of the border, so it stays inside the rectangle.
    const float half = m_impl->stroke_width / 2;
    const D2D1_RECT_F outer = box_of(area);
    const D2D1_RECT_F box{outer.left + half, outer.top + half, outer.right - half,
                          outer.bottom - half};
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    m_impl->target->DrawRectangle(&box, m_impl->stroke_brush.Get(), m_impl->stroke_width,
                                  dash_style(*m_impl));
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
}

void renderer::draw_line(point from, point to)
{
    if (!outline_visible(*m_impl)) {
        return;
    }
    // Odd widths fall on pixel centres instead of straddling two pixels.
    const float half = m_impl->stroke_width / 2;
    const float offset = half - std::trunc(half);
    const D2D1_POINT_2F start{static_cast<float>(from.x) + offset,
                              static_cast<float>(from.y) + offset};
    const D2D1_POINT_2F end{static_cast<float>(to.x) + offset, static_cast<float>(to.y) + offset};
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    m_impl->target->DrawLine(start, end, m_impl->stroke_brush.Get(), m_impl->stroke_width,
                             dash_style(*m_impl));
    m_impl->target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
}

namespace {

void draw_bitmap(renderer& target, image& picture, const D2D1_RECT_F& destination, float opacity,
                 const D2D1_RECT_F* source)
{
    if (!picture.is_decoded() || !target.backend().target) {
        return;
    }
    ID2D1Bitmap* bitmap = win32::device_bitmap(picture, target);
    if (bitmap == nullptr) {
        return;
    }
    target.backend().target->DrawBitmap(bitmap, &destination, opacity,
                                        D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, source);
}

D2D1_RECT_F pixels_of(rect source, float scale)
{
    return {static_cast<float>(source.x) * scale, static_cast<float>(source.y) * scale,
            static_cast<float>(source.x + source.width) * scale,
            static_cast<float>(source.y + source.height) * scale};
}

} // namespace

void renderer::draw_image(point at, image& picture, float opacity)
{
    const size logical = picture.logical_size();
    draw_bitmap(*this, picture, box_of({at.x, at.y, logical.width, logical.height}), opacity,
                nullptr);
}

void renderer::draw_image_stretched(rect destination, image& picture, float opacity)
{
    draw_bitmap(*this, picture, box_of(destination), opacity, nullptr);
}

void renderer::draw_image_part(rect destination, image& picture, rect source, float opacity)
{
    const D2D1_RECT_F pixels = pixels_of(source, picture.scale());
    draw_bitmap(*this, picture, box_of(destination), opacity, &pixels);
}

void renderer::draw_image_part_at(point at, image& picture, rect source, float opacity)
{
    const D2D1_RECT_F pixels = pixels_of(source, picture.scale());
    draw_bitmap(*this, picture, box_of({at.x, at.y, source.width, source.height}), opacity,
                &pixels);
}

} // namespace zksdk::ui
