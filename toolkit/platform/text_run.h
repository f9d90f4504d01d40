// One styled stretch of a text, as the markup parser produces it and the text operations draw it.
#pragma once

#include "toolkit/core/geometry.h"

#include <cstdint>
#include <string>

namespace zksdk::ui {

// A range of a text (indices into its UTF-16 form) drawn with its own font and colour; a value
// type owned by whoever parsed the text.
struct text_run {
    int32_t weight_kind = 0; // 0 normal, 1 light, 2 bold
    int32_t style_kind = 0;  // 0 normal, 1 italic
    bool underline = false;
    std::string family; // UTF-8
    float size = 12.0f; // render-target units
    int32_t first = 0;  // first UTF-16 unit
    int32_t end = 0;    // one past the last UTF-16 unit
    color text_color;   // all zero: the renderer's current text colour
    std::string link;   // UTF-8; empty when the run is no link
};

} // namespace zksdk::ui
