// The eight ways a check box arranges its box and its caption side by side.
#pragma once

#include <cstdint>
#include <optional>

namespace zksdk::ui {

// 0 box then caption from the left, 1 the same flush right, 2 the same centred, 3 box at the
// left edge and caption at the right edge; 4 to 7 the same with the caption before the box.
enum class check_box_arrangement : int32_t {
    box_first_left = 0,
    box_first_right = 1,
    box_first_centred = 2,
    box_first_spread = 3,
    caption_first_left = 4,
    caption_first_right = 5,
    caption_first_centred = 6,
    caption_first_spread = 7,
};

struct check_box_columns {
    int32_t box_x = 0;
    int32_t caption_x = 0;
};

// Horizontal positions inside a control `width` wide for a box `box_width` wide and a caption
// `caption_width` wide; the gap is left out when there is no caption. Empty for an unknown kind.
std::optional<check_box_columns> arrange_check_box(int32_t kind, int32_t width, int32_t box_width,
                                                   int32_t caption_width, int32_t gap);

} // namespace zksdk::ui
