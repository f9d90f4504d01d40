// The Windows image: PNG bytes decoded by the Windows Imaging Component into premultiplied BGRA,
// with one shared Direct2D bitmap per renderer that has drawn it.
#include "toolkit/platform/win32/image_impl.h"

#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/win32/renderer_impl.h"

#include <algorithm>
#include <cmath>

namespace zksdk::ui {

using Microsoft::WRL::ComPtr;

namespace {

// Serialises decoding, resetting and device-bitmap creation across all images.
std::mutex& process_image_lock()
{
    static std::mutex lock;
    return lock;
}

void unlink_all(image::impl& self, image& picture)
{
    for (renderer* owner : self.renderers) {
        std::erase(owner->backend().images, &picture);
    }
    self.renderers.clear();
    self.device_bitmaps.clear();
}

ComPtr<IWICBitmapDecoder> open_decoder(IWICImagingFactory& factory, std::span<const uint8_t> png)
{
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    // The stream only reads; the cast satisfies an interface that is not const-correct.
    if (FAILED(factory.CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()),
                                            static_cast<DWORD>(png.size()))) ||
        FAILED(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                               decoder.GetAddressOf()))) {
        return nullptr;
    }
    return decoder;
}

ComPtr<IWICBitmap> converted_pixels(IWICImagingFactory& factory, IWICBitmapDecoder& decoder)
{
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(decoder.GetFrame(0, frame.GetAddressOf())) ||
        FAILED(factory.CreateFormatConverter(converter.GetAddressOf()))) {
        throw zk_exception("unable to create the bitmap format converter");
    }
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(factory.CreateBitmapFromSource(converter.Get(), WICBitmapCacheOnLoad,
                                              bitmap.GetAddressOf()))) {
        throw zk_exception("unable to create a bitmap from the format converter");
    }
    return bitmap;
}

bool is_zero(rect area)
{
    return area == rect{};
}

rect scaled(rect area, float scale)
{
    const auto scale_one = [scale](int32_t value) {
        return static_cast<int32_t>(std::lround(static_cast<float>(value) * scale));
    };
    return {scale_one(area.x), scale_one(area.y), scale_one(area.width), scale_one(area.height)};
}

} // namespace

// The imaging factory comes with the first picture to decode: a window holds images for every
// page and theme state, most never decoded before the first frame, and each factory (the first
// also loading the imaging libraries) was made before the window existed.
image::image() : m_impl(std::make_unique<impl>())
{
    m_impl->com_result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

image::~image()
{
    {
        std::lock_guard process(process_image_lock());
        unlink_all(*m_impl, *this);
    }
    // Every COM object goes before the apartment does.
    m_impl->pixel_lock.Reset();
    m_impl->bitmap.Reset();
    m_impl->factory.Reset();
    // A thread already in another apartment (the window's OLE one) refused us: nothing to undo.
    if (SUCCEEDED(m_impl->com_result)) {
        CoUninitialize();
    }
}

bool image::load(std::span<const uint8_t> png, int32_t frames, float scale)
{
    std::lock_guard process(process_image_lock());
    if (!m_impl->factory &&
        FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory,
                                reinterpret_cast<void**>(m_impl->factory.GetAddressOf())))) {
        throw zk_exception("unable to create the imaging factory");
    }
    ComPtr<IWICBitmapDecoder> decoder = open_decoder(*m_impl->factory.Get(), png);
    if (!decoder) {
        return false;
    }
    ComPtr<IWICBitmap> bitmap = converted_pixels(*m_impl->factory.Get(), *decoder.Get());
    UINT width = 0;
    UINT height = 0;
    bitmap->GetSize(&width, &height);

    std::lock_guard own(m_impl->lock);
    // Device copies of the old pixels would go on showing them.
    unlink_all(*m_impl, *this);
    m_impl->bitmap = std::move(bitmap);
    m_impl->pixels = {static_cast<int32_t>(width), static_cast<int32_t>(height)};
    m_impl->scale = scale;
    m_impl->frames = std::max(frames, 1);
    m_impl->decoded = true;
    m_impl->modified = false;
    return true;
}

void image::reset()
{
    std::lock_guard process(process_image_lock());
    std::lock_guard own(m_impl->lock);
    unlink_all(*m_impl, *this);
    m_impl->decoded = false;
    m_impl->locked = false;
    m_impl->pixels = {};
}

bool image::is_decoded() const
{
    return m_impl->decoded;
}

bool image::is_modified() const
{
    return m_impl->modified;
}

size image::pixel_size() const
{
    return m_impl->pixels;
}

float image::scale() const
{
    return m_impl->scale;
}

int32_t image::frames() const
{
    return m_impl->frames;
}

pixel_access image::lock_pixels()
{
    impl& self = *m_impl;
    self.lock.lock();
    const WICRect whole{0, 0, self.pixels.width, self.pixels.height};
    if (!self.decoded ||
        FAILED(self.bitmap->Lock(&whole, WICBitmapLockWrite, self.pixel_lock.GetAddressOf()))) {
        self.lock.unlock();
        throw zk_exception("unable to lock the bitmap data");
    }
    UINT buffer_size = 0;
    BYTE* data = nullptr;
    UINT stride = 0;
    WICPixelFormatGUID format{};
    if (FAILED(self.pixel_lock->GetDataPointer(&buffer_size, &data)) ||
        FAILED(self.pixel_lock->GetStride(&stride)) ||
        FAILED(self.pixel_lock->GetPixelFormat(&format))) {
        self.pixel_lock.Reset();
        self.lock.unlock();
        throw zk_exception("unable to retrieve the bitmap data");
    }
    self.locked = true;
    return {buffer_size, stride, 32, data, self.pixels.width, self.pixels.height};
}

void image::unlock_pixels(const pixel_access& pixels)
{
    impl& self = *m_impl;
    for (auto& [target, bitmap] : self.device_bitmaps) {
        if (FAILED(bitmap->CopyFromMemory(nullptr, pixels.data, pixels.stride))) {
            self.pixel_lock.Reset();
            self.locked = false;
            self.lock.unlock();
            throw zk_exception("unable to update the bitmap data");
        }
    }
    self.pixel_lock.Reset();
    self.locked = false;
    self.modified = true;
    self.lock.unlock();
}

void image::multiply_color(color factor, rect area)
{
    const bool whole = is_zero(area);
    const rect a = whole ? area : scaled(area, m_impl->scale);
    const pixel_access pixels = lock_pixels();
    for (int32_t y = 0; y < pixels.height; ++y) {
        uint8_t* row = pixels.data + static_cast<std::size_t>(y) * pixels.stride;
        for (int32_t x = 0; x < pixels.width; ++x) {
            // Rows are matched one below their index: the filter's own, long-standing rule.
            const bool affected = whole || (a.x <= x && x <= a.x + a.width && a.y <= y + 1 &&
                                            y + 1 <= a.y + a.height);
            if (!affected) {
                continue;
            }
            uint8_t* pixel = row + static_cast<std::size_t>(x) * 4;
            pixel[0] = static_cast<uint8_t>(static_cast<float>(pixel[0]) * factor.b);
            pixel[1] = static_cast<uint8_t>(static_cast<float>(pixel[1]) * factor.g);
            pixel[2] = static_cast<uint8_t>(static_cast<float>(pixel[2]) * factor.r);
            pixel[3] = static_cast<uint8_t>(static_cast<float>(pixel[3]) * factor.a);
        }
    }
    unlock_pixels(pixels);
}

void image::drop_renderer(renderer& owner)
{
    std::lock_guard process(process_image_lock());
    m_impl->device_bitmaps.erase(&owner);
    std::erase(m_impl->renderers, &owner);
}

namespace win32 {

ID2D1Bitmap* device_bitmap(image& picture, renderer& owner)
{
    std::lock_guard process(process_image_lock());
    image::impl& self = picture.backend();
    std::lock_guard own(self.lock);
    if (!self.decoded) {
        return nullptr;
    }
    ID2D1RenderTarget* target = owner.backend().target.Get();
    if (const auto found = self.device_bitmaps.find(&owner); found != self.device_bitmaps.end()) {
        return found->second.Get();
    }
    // Parts are cut by the picture's own pixels, and DrawBitmap reads a source rectangle in the
    // bitmap's DIPs: so the bitmap says 96 DPI, one DIP per pixel, as Windows makes it by
    // default. Wine's default is the window's scale: at 144 DPI a state frame cut from a strip
    // then reached half a frame into the next one. The shared copy keeps the first one's DPI
    // (given properties there, Wine draws nothing). The format is the decoded pixels' own.
    const D2D1_BITMAP_PROPERTIES own_pixels = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96, 96);
    ComPtr<ID2D1Bitmap> first;
    if (FAILED(target->CreateBitmapFromWicBitmap(self.bitmap.Get(), &own_pixels,
                                                 first.GetAddressOf()))) {
        throw zk_exception("unable to create a bitmap from a WIC bitmap");
    }
    ComPtr<ID2D1Bitmap> shared;
    if (FAILED(target->CreateSharedBitmap(__uuidof(ID2D1Bitmap), first.Get(), nullptr,
                                          shared.GetAddressOf()))) {
        throw zk_exception("unable to create a shared bitmap");
    }
    self.device_bitmaps.emplace(&owner, shared);
    self.renderers.push_back(&owner);
    owner.backend().images.push_back(&picture);
    return shared.Get();
}

} // namespace win32
} // namespace zksdk::ui
