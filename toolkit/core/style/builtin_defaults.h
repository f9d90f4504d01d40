// The built-in defaults: the last style layer, the toolkit's look when nothing else is set.
#pragma once

#include "toolkit/core/style/embedded_pictures.h"
#include "toolkit/core/style/style_map.h"

#include <array>
#include <span>

namespace zksdk::ui {

enum class style_kind : uint8_t {
    color,
    float32,
    int32,
    boolean,
    int_pair,
    int_quad,
    string,
    image
};

// A value as the built-in list writes it: fixed-size kinds as their bytes, a string as its text,
// an image as the embedded file with its frame count and scale.
struct builtin_value {
    style_kind kind = style_kind::int32;
    uint8_t size = 0;
    std::array<uint8_t, 16> bytes{};
    const char* text = nullptr;
    const embedded_picture* picture = nullptr;
    int32_t frames = 1;
    float scale = 1.0f;
};

// One (key, value) definition of the built-in list.
struct builtin_definition {
    style_key key;
    builtin_value value;
};

// Every definition in list order; the first definition of a key is the one that counts.
std::span<const builtin_definition> builtin_definitions();

// The defaults layer, built from the list before the program's entry point and never changed.
const style_map& builtin_defaults();

style_bytes encode_builtin_value(const builtin_value& value);

} // namespace zksdk::ui
