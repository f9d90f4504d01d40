// The check box arrangements, with integer division wherever something is centred.
#include "toolkit/controls/check_box_layout.h"

namespace zksdk::ui {

std::optional<check_box_columns> arrange_check_box(int32_t kind, int32_t width, int32_t box_width,
                                                   int32_t caption_width, int32_t gap)
{
    const int32_t g = caption_width >= 1 ? gap : 0;
    const int32_t w = width;
    const int32_t bw = box_width;
    const int32_t tw = caption_width;
    const int32_t indent = (w - bw - g - tw) / 2;
    switch (static_cast<check_box_arrangement>(kind)) {
    case check_box_arrangement::box_first_left:
        return check_box_columns{0, bw + g};
    case check_box_arrangement::box_first_right:
        return check_box_columns{w - bw - g - tw, w - tw};
    case check_box_arrangement::box_first_centred:
        return check_box_columns{indent, bw + indent + g};
    case check_box_arrangement::box_first_spread:
        return check_box_columns{0, w - tw};
    case check_box_arrangement::caption_first_left:
        return check_box_columns{tw + g, 0};
    case check_box_arrangement::caption_first_right:
        return check_box_columns{w - bw, w - bw - g - tw};
    case check_box_arrangement::caption_first_centred:
        return check_box_columns{g + indent + tw, indent};
    case check_box_arrangement::caption_first_spread:
        return check_box_columns{w - bw, 0};
    }
    return std::nullopt;
}

} // namespace zksdk::ui
