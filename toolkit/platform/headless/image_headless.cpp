// The headless image: PNG bytes decoded with libpng into premultiplied BGRA pixels.
#include "toolkit/platform/image.h"

#include "toolkit/core/zk_exception.h"
#include "toolkit/platform/headless/headless_internals.h"

#include <png.h>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace zksdk::ui {

namespace {

// Serialises decoding and resetting across images, as the system decoder's shared state needs.
std::mutex& process_image_lock()
{
    static std::mutex lock;
    return lock;
}

uint8_t premultiplied(uint8_t channel, uint8_t alpha)
{
    return static_cast<uint8_t>((channel * alpha + 127) / 255);
}

void premultiply(std::vector<uint8_t>& bgra)
{
    for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) {
        const uint8_t alpha = bgra[i + 3];
        bgra[i] = premultiplied(bgra[i], alpha);
        bgra[i + 1] = premultiplied(bgra[i + 1], alpha);
        bgra[i + 2] = premultiplied(bgra[i + 2], alpha);
    }
}

void unlink_all(image& picture)
{
    for (renderer* owner : picture.backend().renderers) {
        std::erase(owner->backend().images, &picture);
    }
    picture.backend().renderers.clear();
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

image::image() : m_impl(std::make_unique<impl>()) {}

image::~image()
{
    unlink_all(*this);
}

bool image::load(std::span<const uint8_t> png, int32_t frames, float scale)
{
    std::lock_guard process(process_image_lock());
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&header, png.data(), png.size()) == 0) {
        png_image_free(&header);
        return false;
    }
    header.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(header));
    if (png_image_finish_read(&header, nullptr, pixels.data(), 0, nullptr) == 0) {
        png_image_free(&header);
        throw zk_exception("unable to create a bitmap from the format converter");
    }
    premultiply(pixels);
    std::lock_guard own(m_impl->lock);
    m_impl->pixels = std::move(pixels);
    m_impl->pixel_size = {static_cast<int32_t>(header.width), static_cast<int32_t>(header.height)};
    m_impl->scale = scale;
    m_impl->frames = std::max(frames, 1);
    m_impl->decoded = true;
    m_impl->modified = false;
    return true;
}

void image::reset()
{
    std::lock_guard process(process_image_lock());
    assert(!m_impl->locked && "reset while the pixels are locked");
    std::lock_guard own(m_impl->lock);
    unlink_all(*this);
    m_impl->decoded = false;
    m_impl->locked = false;
    m_impl->pixels.clear();
    m_impl->pixel_size = {};
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
    return m_impl->pixel_size;
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
    m_impl->lock.lock();
    if (!m_impl->decoded) {
        m_impl->lock.unlock();
        throw zk_exception("unable to lock the bitmap data");
    }
    m_impl->locked = true;
    const auto stride = static_cast<uint32_t>(m_impl->pixel_size.width) * 4;
    return {static_cast<uint32_t>(m_impl->pixels.size()),
            stride,
            32,
            m_impl->pixels.data(),
            m_impl->pixel_size.width,
            m_impl->pixel_size.height};
}

void image::unlock_pixels([[maybe_unused]] const pixel_access& pixels)
{
    assert(m_impl->locked && pixels.data == m_impl->pixels.data() &&
           "unlock_pixels without its lock_pixels");
    m_impl->locked = false;
    m_impl->modified = true;
    m_impl->lock.unlock();
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
    std::erase(m_impl->renderers, &owner);
}

} // namespace zksdk::ui
