// Real PNG files for the Windows tests, written with stored (uncompressed) deflate blocks so
// that the tests need no encoder of their own to trust.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zksdk::ui::win32_test {

inline uint32_t crc32(const std::vector<uint8_t>& bytes, std::size_t from)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline void put_u32(std::vector<uint8_t>& out, uint32_t value)
{
    out.insert(out.end(), {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                           static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

inline void put_chunk(std::vector<uint8_t>& out, std::string_view type,
                      const std::vector<uint8_t>& data)
{
    put_u32(out, static_cast<uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    put_u32(out, crc32(out, start));
}

inline std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 0xFFFF);
        const bool last = at + length == raw.size();
        const auto n = static_cast<uint16_t>(length);
        const auto inverse = static_cast<uint16_t>(~n);
        out.insert(out.end(), {static_cast<uint8_t>(last ? 1 : 0), static_cast<uint8_t>(n),
                               static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(inverse),
                               static_cast<uint8_t>(inverse >> 8)});
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32(out, (b << 16) | a);
    return out;
}

// Straight (not premultiplied) RGBA, rows from the top.
inline std::vector<uint8_t> png_bytes(uint32_t width, uint32_t height,
                                      const std::vector<uint8_t>& rgba)
{
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        const auto row = rgba.begin() + static_cast<std::ptrdiff_t>(y * width * 4);
        raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(width * 4));
    }
    std::vector<uint8_t> header;
    put_u32(header, width);
    put_u32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter, no interlace
    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib_stored(raw));
    put_chunk(out, "IEND", {});
    return out;
}

inline std::vector<uint8_t> solid_png(uint32_t width, uint32_t height, uint8_t r, uint8_t g,
                                      uint8_t b, uint8_t a)
{
    std::vector<uint8_t> rgba;
    for (uint32_t i = 0; i < width * height; ++i) {
        rgba.insert(rgba.end(), {r, g, b, a});
    }
    return png_bytes(width, height, rgba);
}

} // namespace zksdk::ui::win32_test
