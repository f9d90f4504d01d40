// Button geometry: caption boxes, auto width, icon placement and three-slice backgrounds.
#include "toolkit/controls/button_geometry.h"

#include <algorithm>

namespace zksdk::ui {

namespace {

// Room on either side of the visible area so that a long caption stays on one line.
constexpr int32_t overhang = 1000;
constexpr int32_t auto_size_padding = 30;
constexpr int32_t unlimited_width = 10000;

} // namespace

caption_boxes clipped_caption(int32_t alignment, size button, size margins)
{
    const int32_t mx = margins.width;
    const int32_t my = margins.height;
    const int32_t inner_height = button.height - 2 * my;
    const rect clip{mx, my, button.width - 2 * mx, inner_height};
    // Centred and trailing layouts start left of the button by half or all of the overhang;
    // they ignore the left margin, so with margins the caption sits mx left of the clip's centre
    // (or right edge). Installed looks were tuned with these boxes, so they stay as they are.
    switch (alignment) {
    case 1:
        return {{-overhang / 2, my, clip.width + overhang, inner_height}, clip};
    case 2:
        return {{-overhang, my, clip.width + overhang, inner_height}, clip};
    default:
        return {{mx, my, button.width + overhang, inner_height}, clip};
    }
}

rect wrapped_caption(size button, size margins)
{
    return {margins.width, margins.height, button.width - 2 * margins.width,
            button.height - 2 * margins.height};
}

int32_t auto_size_width(int32_t caption_width, int32_t margin, int32_t minimum, int32_t maximum)
{
    const int32_t lower = std::max(minimum, 2 * margin);
    const int32_t upper = maximum == 0 ? unlimited_width : maximum;
    return std::max(lower, std::min(caption_width + auto_size_padding, upper));
}

rect centred_icon(size frame, size button)
{
    return {(button.width - frame.width) / 2, (button.height - frame.height) / 2, frame.width,
            frame.height};
}

std::array<image_slice, 3> three_slices(int32_t side, int32_t row, int32_t picture_width,
                                        size button)
{
    const int32_t middle = std::max(0, button.width - 2 * side);
    return {{
        {{0, row, side, side}, {0, 0, side, side}},
        {{side, row, side, side}, {side, 0, middle, side}},
        {{picture_width - side, row, side, side}, {button.width - side, 0, side, side}},
    }};
}

} // namespace zksdk::ui
