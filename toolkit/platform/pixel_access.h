// The view of an image's pixels that lock_pixels hands out for editing.
#pragma once

#include <cstdint>

namespace zksdk::ui {

// Premultiplied blue, green, red, alpha bytes, rows from the top; valid until unlock_pixels.
struct pixel_access {
    uint32_t buffer_size = 0;
    uint32_t stride = 0; // bytes per row
    uint32_t bits_per_pixel = 32;
    uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

} // namespace zksdk::ui
