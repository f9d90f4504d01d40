// Style pictures to images, refusing records that could not give a sized picture.
#include "toolkit/controls/style_picture.h"

#include <cstddef>
#include <span>

namespace zksdk::ui {

bool decode_style_picture(image& target, const style_image& value)
{
    if (value.data == nullptr || value.length == 0 || !(value.scale > 0)) {
        return false;
    }
    const std::span<const uint8_t> bytes(value.data, static_cast<std::size_t>(value.length));
    return target.load(bytes, value.frames, value.scale);
}

} // namespace zksdk::ui
