// Decoding the picture a style value of the image kind points at.
#pragma once

#include "toolkit/core/style/style_image.h"
#include "toolkit/platform/image.h"

namespace zksdk::ui {

// Decodes the value's PNG into the image with the value's frame count and scale. False, leaving
// the image as it was, when there is no picture, the bytes are not a PNG, or the scale is not
// positive (a picture with no pixels per unit has no size).
bool decode_style_picture(image& target, const style_image& value);

} // namespace zksdk::ui
