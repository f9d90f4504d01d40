// The Windows renderer's render target: construction, resizing, the paint traversal's clips and
// transforms, and a new target with all its resources on the pass after the device was lost.
#include "toolkit/platform/win32/renderer_impl.h"

#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/image.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/system_libraries.h"

#include <cassert>
#include <utility>

namespace zksdk::ui {

namespace {

constexpr D2D1_MATRIX_3X2_F identity{1, 0, 0, 1, 0, 0};
// The mingw headers spell it as an unsigned number.
constexpr HRESULT lost_device = static_cast<HRESULT>(D2DERR_RECREATE_TARGET);
// Frames in a row that may fail before the failure goes up, and the pause before each retry:
// two seconds in all, about what a display driver takes to reset.
constexpr uint32_t frames_allowed_to_fail = 10;
constexpr UINT retry_pause_ms = 200;
// The timer id a toolkit window never hands out and never passes on: the renderer's own.
constexpr UINT_PTR retry_timer_id = 0xFFFFFFFE;

// One factory serves every window of the process, whichever thread makes it: under Wine each
// factory brings up a Direct3D device of its own, a quarter of a second at start-up for the
// hidden tooltip window alone. The factory is multi-threaded, so that windows on two threads
// may share it, and made once: the first caller makes it, a concurrent one waits for it, and a
// failure leaves the next caller to try again.
Microsoft::WRL::ComPtr<ID2D1Factory> make_shared_factory()
{
    Microsoft::WRL::ComPtr<ID2D1Factory> factory;
    if (FAILED(win32::graphics_api().create_d2d_factory(
            D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), nullptr,
            reinterpret_cast<void**>(factory.GetAddressOf())))) {
        throw zk_exception("unable to create a d2d resource factory");
    }
    return factory;
}

void create_factories(renderer::impl& self)
{
    const win32::graphics_functions& graphics = win32::graphics_api();
    if (graphics.create_d2d_factory == nullptr) {
        throw zk_exception("unable to create a d2d resource factory");
    }
    // Direct2D loads DirectWrite itself as it draws; without it, it would fail inside its own
    // calls, well past the point where the missing library can be named.
    if (graphics.create_write_factory == nullptr) {
        throw zk_exception("unable to create the write factory");
    }
    static const Microsoft::WRL::ComPtr<ID2D1Factory> shared = make_shared_factory();
    self.d2d_factory = shared;
}

void create_target(renderer::impl& self)
{
    RECT client{};
    GetClientRect(self.window, &client);
    const D2D1_RENDER_TARGET_PROPERTIES target_properties{
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        {DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN},
        self.dpi_x,
        self.dpi_y,
        D2D1_RENDER_TARGET_USAGE_NONE,
        D2D1_FEATURE_LEVEL_DEFAULT};
    const D2D1_HWND_RENDER_TARGET_PROPERTIES window_properties{
        self.window,
        {static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom)},
        D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS};
    const bool refused = self.failing_target_creations > 0;
    if (refused) {
        --self.failing_target_creations;
    }
    if (refused || FAILED(self.d2d_factory->CreateHwndRenderTarget(
                       &target_properties, &window_properties, self.target.GetAddressOf()))) {
        throw zk_exception("unable to create a d2d render target");
    }
    ++self.target_generation;
}

void create_brushes(renderer::impl& self)
{
    self.target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const D2D1_COLOR_F fill = win32::to_d2d(self.fill);
    const D2D1_COLOR_F text = win32::to_d2d(self.text);
    const D2D1_COLOR_F stroke = win32::to_d2d(self.stroke);
    if (FAILED(
            self.target->CreateSolidColorBrush(&fill, nullptr, self.fill_brush.GetAddressOf())) ||
        FAILED(
            self.target->CreateSolidColorBrush(&text, nullptr, self.text_brush.GetAddressOf())) ||
        FAILED(self.target->CreateSolidColorBrush(&stroke, nullptr,
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

// Under Wine the X window that frames are presented into is made by the first present. Made
// after the window was shown, it never gets the system's request to paint a newly visible
// window, and the first frame (a popup's only one) does not reach the screen: the popup stayed
// black. Made now, while the window is hidden, it is there when the window is shown, and
// showing it asks for the paint that does show.
HRESULT present_hidden_frame(renderer::impl& self)
{
    if (IsWindowVisible(self.window)) {
        return S_OK;
    }
    const D2D1_COLOR_F black{0, 0, 0, 1};
    self.target->BeginDraw();
    self.target->Clear(&black);
    return self.target->EndDraw();
}

// Everything made from the lost target goes with it: brushes, and the images' device bitmaps
// (which the images hold for this renderer). The whole window is marked, since nothing of the
// frame that failed reached the screen; the next paint makes the new target.
void drop_target(renderer& owner)
{
    renderer::impl& self = owner.backend();
    for (image* picture : self.images) {
        picture->drop_renderer(owner);
    }
    self.images.clear();
    self.fill_brush.Reset();
    self.text_brush.Reset();
    self.stroke_brush.Reset();
    self.target.Reset();
    InvalidateRect(self.window, nullptr, FALSE);
}

void CALLBACK repaint_after_pause(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    InvalidateRect(window, nullptr, FALSE);
}

// A frame that did not reach the screen is drawn again whole after a pause, long enough for a
// device being reset to come back; when too many fail in a row, the failure goes up.
void frame_failed(renderer::impl& self, const char* reason)
{
    if (++self.failed_frames >= frames_allowed_to_fail) {
        self.failed_frames = 0;
        throw zk_exception(reason);
    }
    SetTimer(self.window, retry_timer_id, retry_pause_ms, repaint_after_pause);
}

// A renderer whose device was lost makes its new target at the start of the next pass; one
// that cannot skips the pass, drawing nothing.
bool has_target(renderer::impl& self)
{
    if (self.target) {
        return true;
    }
    try {
        create_target(self);
        create_brushes(self);
        return true;
    } catch (const zk_exception& failure) {
        self.fill_brush.Reset();
        self.text_brush.Reset();
        self.stroke_brush.Reset();
        self.target.Reset();
        frame_failed(self, failure.what());
        return false;
    }
}

} // namespace

renderer::renderer(native_window& window) : m_impl(std::make_unique<impl>())
{
    m_impl->window = window.backend().handle;
    // The window's scale from the start: the size message of its creation came before the
    // renderer existed, and a resize now would only wait for the hidden frame below.
    if (window.dpi_x() > 0 && window.dpi_y() > 0) {
        m_impl->dpi_x = static_cast<float>(window.dpi_x());
        m_impl->dpi_y = static_cast<float>(window.dpi_y());
        m_impl->scale_x = m_impl->dpi_x * (1.0f / 96.0f);
        m_impl->scale_y = m_impl->dpi_y * (1.0f / 96.0f);
    }
    create_factories(*m_impl);
    create_target(*m_impl);
    create_brushes(*m_impl);
    create_text_format(*m_impl);
    create_stroke_styles(*m_impl);
    // A device lost already is found now, not by the first frame: that paint makes a new target.
    if (present_hidden_frame(*m_impl) == lost_device) {
        drop_target(*this);
    }
    m_impl->underline = false;
    m_impl->transforms.push_back(identity);
}

renderer::~renderer()
{
    KillTimer(m_impl->window, retry_timer_id);
    for (image* picture : m_impl->images) {
        picture->drop_renderer(*this);
    }
    m_impl->images.clear();
    m_impl->widgets.clear();
    m_impl->transforms.clear();
}

void renderer::resize(int32_t width, int32_t height, int32_t dpi_x, int32_t dpi_y)
{
    m_impl->dpi_x = static_cast<float>(dpi_x);
    m_impl->dpi_y = static_cast<float>(dpi_y);
    // Without a target the next one is made at the window's size and this DPI. A target that
    // has the size already is left alone: showing the window sends its size again, and a
    // resize waits for the frames in flight (the hidden one, before the first frame).
    if (m_impl->target) {
        m_impl->target->SetDpi(m_impl->dpi_x, m_impl->dpi_y);
        const D2D1_SIZE_U pixels{static_cast<UINT32>(width), static_cast<UINT32>(height)};
        const D2D1_SIZE_U current = m_impl->target->GetPixelSize();
        if (current.width != pixels.width || current.height != pixels.height) {
            m_impl->target->Resize(&pixels);
        }
    }
    // A resized back buffer keeps nothing of the last frame: every widget draws again.
    InvalidateRect(m_impl->window, nullptr, FALSE);
    m_impl->scale_x = static_cast<float>(dpi_x) * (1.0f / 96.0f);
    m_impl->scale_y = static_cast<float>(dpi_y) * (1.0f / 96.0f);
}

void renderer::begin_widget(const void* widget, rect geometry, rect update)
{
    impl& self = *m_impl;
    if (self.widgets.empty()) {
        const bool drawing = has_target(self);
        BeginPaint(self.window, &self.paint);
        if (drawing) {
            self.target->BeginDraw();
        }
    }
    self.widgets.push_back(widget);

    const D2D1_MATRIX_3X2_F& parent = self.transforms.back();
    const auto x = static_cast<float>(geometry.x);
    const auto y = static_cast<float>(geometry.y);
    D2D1_MATRIX_3X2_F own = parent;
    own._31 = x * parent._11 + y * parent._21 + parent._31;
    own._32 = x * parent._12 + y * parent._22 + parent._32;
    self.transforms.push_back(own);
    if (!self.target) {
        return;
    }

    self.target->SetTransform(&identity);
    // The update area arrives as left, top, right, bottom in rect's four fields.
    const D2D1_RECT_F area{static_cast<float>(update.x), static_cast<float>(update.y),
                           static_cast<float>(update.width), static_cast<float>(update.height)};
    self.target->PushAxisAlignedClip(&area, D2D1_ANTIALIAS_MODE_ALIASED);
    // The widget's clip in window DIPs, pushed under the identity transform: Wine scales a clip
    // by the DPI before applying the transform, so a translated clip would land at the wrong
    // place at any scale but 1.
    const D2D1_RECT_F clip{
        own._31, own._32,
        own._31 + static_cast<float>(win32::rounded_length(geometry.width, self.scale_x)),
        own._32 + static_cast<float>(win32::rounded_length(geometry.height, self.scale_y))};
    self.target->PushAxisAlignedClip(&clip, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    self.target->SetTransform(&own);
}

void renderer::end_widget()
{
    impl& self = *m_impl;
    assert(!self.widgets.empty() && "end_widget without begin_widget");
    if (self.target) {
        self.target->PopAxisAlignedClip();
        self.target->PopAxisAlignedClip();
    }
    if (self.transforms.size() > 1) {
        self.transforms.pop_back();
    }
    self.widgets.pop_back();
    if (!self.widgets.empty()) {
        return;
    }
    if (!self.target) {
        EndPaint(self.window, &self.paint);
        return;
    }
    HRESULT result = self.target->EndDraw();
    if (self.next_end_draw_result != S_OK) {
        result = std::exchange(self.next_end_draw_result, S_OK);
    }
    EndPaint(self.window, &self.paint);
    if (SUCCEEDED(result)) {
        self.failed_frames = 0;
        return;
    }
    // A lost device would lose every frame after it: the next pass draws on a new one.
    if (result == lost_device) {
        drop_target(*this);
    }
    frame_failed(self, "unable to draw the window's frame");
}

} // namespace zksdk::ui
