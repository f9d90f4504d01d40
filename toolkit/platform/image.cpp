// What every backend's image derives the same way from its pixel size, scale and frames.
#include "toolkit/platform/image.h"

namespace zksdk::ui {

size image::logical_size() const
{
    const float inverse = 1.0f / scale();
    const size pixels = pixel_size();
    return {static_cast<int32_t>(static_cast<float>(pixels.width) * inverse),
            static_cast<int32_t>(static_cast<float>(pixels.height) * inverse)};
}

size image::frame_size() const
{
    const size logical = logical_size();
    return {logical.width, logical.height / frames()};
}

} // namespace zksdk::ui
