// A picture decoded from PNG bytes into premultiplied BGRA pixels, with state frames and a scale.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/pixel_access.h"

#include <cstdint>
#include <memory>
#include <span>

namespace zksdk::ui {

class renderer;

// Owned by whoever holds the picture (a style value, a window); drawn through any renderer,
// which caches its own device copy until either side is destroyed.
class image {
public:
    image();
    ~image();
    image(const image&) = delete;
    image& operator=(const image&) = delete;

    // Returns false, leaving the image as it was, when the bytes are not a PNG. Throws
    // zk_exception when the decoder cannot be made or a PNG's pixels cannot be converted.
    // frames below 1 count as 1; scale is pixels per logical unit.
    bool load(std::span<const uint8_t> png, int32_t frames, float scale);
    // Back to empty; harmless on an image that was never loaded.
    void reset();

    bool is_decoded() const;
    bool is_modified() const; // pixels were edited since the last load
    size pixel_size() const;
    float scale() const;
    int32_t frames() const;
    // trunc(pixels / scale) on each axis.
    size logical_size() const;
    // One state frame: the logical width by the logical height divided by the frame count.
    size frame_size() const;

    // Holds the image's lock until unlock_pixels; throws zk_exception when there are no pixels.
    pixel_access lock_pixels();
    // Pushes the edited pixels into every device copy, then releases the lock.
    void unlock_pixels(const pixel_access& pixels);

    // Multiplies each byte (blue, green, red, alpha) by the colour's component, truncating;
    // the area is in logical units, all zero for the whole image.
    void multiply_color(color factor, rect area);

    // Called by a renderer being destroyed: forget its device copy.
    void drop_renderer(renderer& owner);

    // The backend's own state; only the backend's sources know its layout.
    struct impl;
    impl& backend() const { return *m_impl; }

private:
    std::unique_ptr<impl> m_impl;
};

} // namespace zksdk::ui
