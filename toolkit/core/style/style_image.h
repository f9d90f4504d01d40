// The picture record a style value of the image kind holds.
#pragma once

#include <cstdint>

namespace zksdk::ui {

// An embedded PNG that a control decodes and draws. Its frames are stacked top to bottom, all of
// equal height; scale is picture pixels per layout unit. Null data means no picture.
struct style_image {
    const unsigned char* data = nullptr;
    uint64_t length = 0;
    int32_t frames = 1;
    float scale = 1.0f;
};

} // namespace zksdk::ui
