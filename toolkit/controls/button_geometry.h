// Where a button puts its caption, its icon and the slices of its back image, and how wide it
// grows for its caption.
#pragma once

#include "toolkit/core/geometry.h"

#include <array>
#include <cstdint>

namespace zksdk::ui {

// The layout rectangle a caption is laid out in and the rectangle it is clipped to.
struct caption_boxes {
    rect layout;
    rect clip;
};

// A single-line caption: the layout box is far wider than the button so the text never wraps,
// and is placed so that the alignment (0 leading, 1 centre, 2 trailing) holds inside the clip.
caption_boxes clipped_caption(int32_t alignment, size button, size margins);
// A caption that wraps inside the margins.
rect wrapped_caption(size button, size margins);

// The caption's width plus 30, kept between max(minimum, 2 x margin) and the maximum (10000
// when the maximum is 0).
int32_t auto_size_width(int32_t caption_width, int32_t margin, int32_t minimum, int32_t maximum);

// An icon frame centred in the button.
rect centred_icon(size frame, size button);

// One slice of a three-slice picture: where it comes from and where it goes.
struct image_slice {
    rect source;
    rect destination;
};

// Left cap, stretched middle and right cap of square slices of side `side`, taken from the row
// starting at `row` of a picture `picture_width` wide. The middle is empty when the caps meet.
std::array<image_slice, 3> three_slices(int32_t side, int32_t row, int32_t picture_width,
                                        size button);

} // namespace zksdk::ui
