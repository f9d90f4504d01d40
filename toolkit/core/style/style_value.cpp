// Encoding and decoding of style values, byte for byte as the kinds define them.
#include "toolkit/core/style/style_value.h"

#include <algorithm>
#include <cstring>

namespace zksdk::ui {
namespace {

constexpr size_t image_record_size = 24;
static_assert(sizeof(const unsigned char*) == 8, "the picture record holds a 64-bit pointer");

template <class T> style_bytes encode_plain(const T& value)
{
    style_bytes bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

// Copies what the value has, up to the reader's size; whatever is missing stays zero.
template <class T> T decode_plain(std::span<const uint8_t> bytes)
{
    T value{};
    if (bytes.empty())
        return value; // an empty range may have no storage at all
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof(T)));
    return value;
}

} // namespace

style_bytes encode_style_value(bool value)
{
    return style_bytes{static_cast<uint8_t>(value ? 1 : 0)};
}

style_bytes encode_style_value(int32_t value)
{
    return encode_plain(value);
}

style_bytes encode_style_value(float value)
{
    return encode_plain(value);
}

style_bytes encode_style_value(color value)
{
    return encode_plain(std::array<float, 4>{value.r, value.g, value.b, value.a});
}

style_bytes encode_style_value(style_int_pair value)
{
    return encode_plain(value);
}

style_bytes encode_style_value(style_int_quad value)
{
    return encode_plain(value);
}

style_bytes encode_style_value(std::string_view value)
{
    return style_bytes(value.begin(), value.end());
}

style_bytes encode_style_value(const style_image& value)
{
    style_bytes bytes(image_record_size);
    std::memcpy(bytes.data(), &value.data, 8);
    std::memcpy(bytes.data() + 8, &value.length, 8);
    std::memcpy(bytes.data() + 16, &value.frames, 4);
    std::memcpy(bytes.data() + 20, &value.scale, 4);
    return bytes;
}

color decode_style_color(std::span<const uint8_t> bytes)
{
    const auto channels = decode_plain<std::array<float, 4>>(bytes);
    return color{channels[0], channels[1], channels[2], channels[3]};
}

float decode_style_float(std::span<const uint8_t> bytes)
{
    return decode_plain<float>(bytes);
}

int32_t decode_style_int(std::span<const uint8_t> bytes)
{
    return decode_plain<int32_t>(bytes);
}

bool decode_style_bool(std::span<const uint8_t> bytes)
{
    return !bytes.empty() && bytes[0] != 0;
}

style_int_pair decode_style_int_pair(std::span<const uint8_t> bytes)
{
    return decode_plain<style_int_pair>(bytes);
}

style_int_quad decode_style_int_quad(std::span<const uint8_t> bytes)
{
    return decode_plain<style_int_quad>(bytes);
}

std::string_view decode_style_string(std::span<const uint8_t> bytes)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A cut-off record could leave half a pointer behind, so anything short of a whole record is no
// picture at all.
style_image decode_style_image(std::span<const uint8_t> bytes)
{
    style_image image;
    if (bytes.size() < image_record_size)
        return image;
    std::memcpy(&image.data, bytes.data(), 8);
    std::memcpy(&image.length, bytes.data() + 8, 8);
    std::memcpy(&image.frames, bytes.data() + 16, 4);
    std::memcpy(&image.scale, bytes.data() + 20, 4);
    return image;
}

} // namespace zksdk::ui
