// The Windows renderer: a Direct2D window render target with the toolkit's drawing state, the
// paint traversal's clips and transforms, shapes and image draws.
#include "toolkit/platform/win32/renderer_impl.h"

#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/image.h"
#include "toolkit/platform/win32/image_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/system_libraries.h"

#include <cassert>
#include <cmath>

namespace zksdk::ui {

using Microsoft::WRL::ComPtr;

namespace {

constexpr D2D1_MATRIX_3X2_F identity{1, 0, 0, 1, 0, 0};

D2D1_COLOR_F to_d2d(color value)
{
    return {value.r, value.g, value.b, value.a};
}

D2D1_RECT_F box_of(rect area)
{
    return {static_cast<float>(area.x), static_cast<float>(area.y),
            static_cast<float>(area.x + area.width), static_cast<float>(area.y + area.height)};
}

// A length whose scaled size has a fractional part of one half or more grows by one unit, so
// that the last, partly covered pixel is covered rather than blended with what lies beneath.
int32_t rounded_length(int32_t length, float scale)
{
    const float scaled = static_cast<float>(length) * scale;
    return length + static_cast<int32_t>(scaled + 0.5f) - static_cast<int32_t>(scaled);
}

// One factory serves every window of the thread: under Wine each factory brings up a Direct3D
// device of its own, a quarter of a second at start-up for the hidden tooltip window alone.
void create_factories(renderer::impl& self)
{
    static Microsoft::WRL::ComPtr<ID2D1Factory> shared;
    const win32::graphics_functions& graphics = win32::graphics_api();
    if (graphics.create_d2d_factory == nullptr) {
        throw zk_exception("unable to create a d2d resource factory");
    }
    // Direct2D loads DirectWrite itself as it draws; without it, it would fail inside its own
    // calls, well past the point where the missing library can be named.
    if (graphics.create_write_factory == nullptr) {
        throw zk_exception("unable to create the write factory");
    }
    if (!shared && FAILED(graphics.create_d2d_factory(
                       D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                       reinterpret_cast<void**>(shared.GetAddressOf())))) {
        throw zk_exception("unable to create a d2d resource factory");
    }
    self.d2d_factory = shared;
}

void create_target(renderer::impl& self)
{
    RECT client{};
    GetClientRect(self.window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES target_properties{
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
        0.0f,
        0.0f,
        D2D1_RENDER_TARGET_USAGE_NONE,
        D2D1_FEATURE_LEVEL_DEFAULT};
    const D2D1_HWND_RENDER_TARGET_PROPERTIES window_properties{
        self.window,
        {static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)},
        D2D1_PRESENT_OPTIONS_NONE};
    if (FAILED(self.d2d_factory->CreateHwndRenderTarget(&target_properties, &window_properties,
                                                        self.target.GetAddressOf()))) {
        throw zk_exception("unable to create a d2d render target");
    }
}

void create_brushes(renderer::impl& self)
{
    self.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const D2D1_COLOR_F black{0, 0, 0, 1};
    const D2D1_COLOR_F white{1, 1, 1, 1};
    if (FAILED(
            self.target->CreateSolidColorBrush(&black, nullptr, self.fill_brush.GetAddressOf())) ||
        FAILED(
            self.target->CreateSolidColorBrush(&white, nullptr, self.text_brush.GetAddressOf())) ||
        FAILED(self.target->CreateSolidColorBrush(&white, nullptr,
                                                  self.stroke_brush.GetAddressOf()))) {
        throw zk_exception("unable to create one or more solid brushes");
    }
}

void create_text_format(renderer::impl& self)
{
    // The function is there: create_factories has made sure of it.
    const win32::write_factory_function create = win32::graphics_api().create_write_factory;
    if (FAILED(create(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                      reinterpret_cast<IUnknown**>(self.write_factory.GetAddressOf())))) {
        throw zk_exception("unable to create the write factory");
    }
    if (FAILED(self.write_factory->CreateTextFormat(
            L"Verdana", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
            DWRITE_FONT_STRETCH_NORMAL, 12.0f, L"en-us", self.text_format.GetAddressOf()))) {
        throw zk_exception("unable to initialize the d2d write factory");
    }
}

void create_stroke_styles(renderer::impl& self)
{
    const D2D1_STROKE_STYLE_PROPERTIES properties{D2D1_CAP_STYLE_FLAT,
                                                  D2D1_CAP_STYLE_FLAT,
                                                  D2D1_CAP_STYLE_FLAT,
                                                  D2D1_LINE_JOIN_MITER,
                                                  10.0f,
                                                  D2D1_DASH_STYLE_CUSTOM,
                                                  0.0f};
    const float dots[] = {1.0f, 1.0f};
    const float dashes[] = {4.0f, 4.0f};
    if (FAILED(self.d2d_factory->CreateStrokeStyle(&properties, dots, 2,
                                                   self.dotted.GetAddressOf())) ||
        FAILED(self.d2d_factory->CreateStrokeStyle(&properties, dashes, 2,
                                                   self.dashed.GetAddressOf()))) {
        throw zk_exception("unable to initialize the dotted stroke");
    }
}

} // namespace

renderer::renderer(native_window& window) : m_impl(std::make_unique<impl>())
{
    m_impl->window = window.backend().handle;
    create_factories(*m_impl);
    create_target(*m_impl);
    create_brushes(*m_impl);
    create_text_format(*m_impl);
    create_stroke_styles(*m_impl);
    m_impl->underline = false;
    m_impl->transforms.push_back(identity);
}

renderer::~renderer()
{
    for (image* picture : m_impl->images) {
        picture->drop_renderer(*this);
    }
    m_impl->images.clear();
    m_impl->widgets.clear();
    m_impl->transforms.clear();
}

void renderer::resize(int32_t width, int32_t height, int32_t dpi_x, int32_t dpi_y)
{
    m_impl->target->SetDpi(static_cast<float>(dpi_x), static_cast<float>(dpi_y));
    const D2D1_SIZE_U pixels{static_cast<UINT32>(width), static_cast<UINT32>(height)};
    m_impl->target->Resize(&pixels);
    m_impl->scale_x = static_cast<float>(dpi_x) * (1.0f / 96.0f);
    m_impl->scale_y = static_cast<float>(dpi_y) * (1.0f / 96.0f);
}

void renderer::begin_widget(const void* widget, rect geometry, rect update)
{
    impl& self = *m_impl;
    if (self.widgets.empty()) {
        BeginPaint(self.window, &self.paint);
        self.target->BeginDraw();
    }
    self.widgets.push_back(widget);

    self.target->SetTransform(&identity);
    // The update area arrives as left, top, right, bottom in rect's four fields.
    const D2D1_RECT_F area{static_cast<float>(update.x), static_cast<float>(update.y),
                           static_cast<float>(update.width), static_cast<float>(update.height)};
    self.target->PushAxisAlignedClip(&area, D2D1_ANTIALIAS_MODE_ALIASED);

    const D2D1_MATRIX_3X2_F& parent = self.transforms.back();
    const auto x = static_cast<float>(geometry.x);
    const auto y = static_cast<float>(geometry.y);
    D2D1_MATRIX_3X2_F own = parent;
    own._31 = x * parent._11 + y * parent._21 + parent._31;
    own._32 = x * parent._12 + y * parent._22 + parent._32;
    self.transforms.push_back(own);

    // The widget's clip in window DIPs, pushed under the identity transform: Wine scales a clip
    // by the DPI before applying the transform, so a translated clip would land at the wrong
    // place at any scale but 1.
    const D2D1_RECT_F clip{
        own._31, own._32,
        own._31 + static_cast<float>(rounded_length(geometry.width, self.scale_x)),
        own._32 + static_cast<float>(rounded_length(geometry.height, self.scale_y))};
    self.target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    self.target->SetTransform(&own);
}

void renderer::end_widget()
{
    impl& self = *m_impl;
    assert(!self.widgets.empty() && "end_widget without begin_widget");
    self.target->PopAxisAlignedClip();
    self.target->PopAxisAlignedClip();
    if (self.transforms.size() > 1) {
        self.transforms.pop_back();
    }
    self.widgets.pop_back();
    if (self.widgets.empty()) {
        // A lost device is not recreated, so the result has nothing to decide.
        self.target->EndDraw();
        EndPaint(self.window, &self.paint);
    }
}

void renderer::set_fill_color(color fill)
{
    m_impl->fill = fill;
    m_impl->fill_brush->SetColor(to_d2d(fill));
}

void renderer::set_text_color(color text)
{
    m_impl->text_brush->SetColor(to_d2d(text));
}

void renderer::set_stroke(color stroke, float width)
{
    m_impl->stroke = stroke;
    m_impl->stroke_brush->SetColor(to_d2d(stroke));
    m_impl->stroke_width = width;
}

void renderer::set_dash(int32_t kind)
{
    m_impl->dash = kind;
}

void renderer::fill_rect(rect area)
{
    if (m_impl->fill.a == 0) {
        return;
    }
    area.width = rounded_length(area.width, m_impl->scale_x);
    area.height = rounded_length(area.height, m_impl->scale_y);
    const D2D1_RECT_F box = box_of(area);
    m_impl->target->FillRectangle(&box, m_impl->fill_brush.Get());
}

void renderer::fill_rounded_rect(rect area, float radius)
{
    if (m_impl->fill.a == 0) {
        return;
    }
    const D2D1_ROUNDED_RECT shape{box_of(area), radius, radius};
    m_impl->target->FillRoundedRectangle(&shape, m_impl->fill_brush.Get());
}

void renderer::fill_ellipse(point centre, float radius, rect clip)
{
    if (m_impl->fill.a == 0) {
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
    return self.stroke.a != 0 && self.stroke_width > 0;
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
    if (!picture.is_decoded()) {
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
