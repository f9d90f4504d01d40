// The byte encodings of style values, shared by the tables, the theme and the built-in defaults.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/core/style/style_image.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zksdk::ui {

using style_bytes = std::vector<uint8_t>;
using style_int_pair = std::array<int32_t, 2>;
using style_int_quad = std::array<int32_t, 4>;

// Every kind is stored at its own size (1, 4, 8, 16 or 24 bytes; a string at its length).
style_bytes encode_style_value(bool value);
style_bytes encode_style_value(int32_t value);
style_bytes encode_style_value(float value);
style_bytes encode_style_value(color value);
style_bytes encode_style_value(style_int_pair value);
style_bytes encode_style_value(style_int_quad value);
style_bytes encode_style_value(std::string_view value);
style_bytes encode_style_value(const style_image& value);

// An empty range reads as zero, transparent, false, empty or no picture. A value shorter than its
// kind reads its missing bytes as zero, except a picture, which needs all of its record.
color decode_style_color(std::span<const uint8_t> bytes);
float decode_style_float(std::span<const uint8_t> bytes);
int32_t decode_style_int(std::span<const uint8_t> bytes);
bool decode_style_bool(std::span<const uint8_t> bytes);
style_int_pair decode_style_int_pair(std::span<const uint8_t> bytes);
style_int_quad decode_style_int_quad(std::span<const uint8_t> bytes);
std::string_view decode_style_string(std::span<const uint8_t> bytes);
style_image decode_style_image(std::span<const uint8_t> bytes);

} // namespace zksdk::ui
