// Real PNG files for the tests, written with libpng from straight (not premultiplied) RGBA.
#pragma once

#include <png.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace zksdk::ui::headless {

inline std::vector<uint8_t> png_bytes(uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& rgba)
{
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = width;
    header.height = height;
    header.format = PNG_FORMAT_RGBA;
    png_alloc_size_t length = 0;
    if (png_image_write_to_memory(&header, nullptr, &length, 0, rgba.data(), 0, nullptr) == 0) {
        throw std::runtime_error("the test could not size its PNG");
    }
    std::vector<uint8_t> bytes(length);
    if (png_image_write_to_memory(&header, bytes.data(), &length, 0, rgba.data(), 0, nullptr) ==
        0) {
        throw std::runtime_error("the test could not write its PNG");
    }
    bytes.resize(length);
    return bytes;
}

// A picture of one colour.
inline std::vector<uint8_t> solid_png(uint32_t width, uint32_t height, uint8_t r, uint8_t g,
                                      uint8_t b, uint8_t a)
{
    std::vector<uint8_t> rgba;
    for (uint32_t i = 0; i < width * height; ++i) {
        rgba.insert(rgba.end(), {r, g, b, a});
    }
    return png_bytes(width, height, rgba);
}

} // namespace zksdk::ui::headless
