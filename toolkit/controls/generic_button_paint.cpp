// generic_button's drawing: background, back image, icon strip, border and caption.
#include "toolkit/controls/generic_button.h"

#include "toolkit/controls/button_geometry.h"
#include "toolkit/controls/style_picture.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

namespace zksdk::ui {

namespace {

constexpr color opaque_white{1, 1, 1, 1};

} // namespace

void generic_button::paint()
{
    renderer& target = window()->painter();
    const style_table& keys = style();
    const bool pressed = is_pressed();
    const rect bounds{0, 0, width(), height()};
    // Hover outranks toggled, so a toggled button still answers the pointer.
    const color back = pressed     ? keys.read_color("button_color_pressed")
                       : m_hover   ? keys.read_color("button_color_hover")
                       : m_toggled ? keys.read_color("button_color_toggle")
                                   : keys.read_color("button_color_normal");
    target.set_fill_color(dimmed(back));
    if (keys.read_bool("button_round_edges")) {
        float radius = keys.read_float("button_round_radius");
        if (radius == 0) {
            radius = static_cast<float>(height()) * 0.5f;
        }
        if (dimmed(back).a != 0) {
            target.fill_rounded_rect(bounds, radius);
        }
    } else {
        target.fill_rect(bounds);
    }
    paint_back_image();
    paint_image();
    paint_border_and_caption(target, pressed);
}

void generic_button::paint_border_and_caption(renderer& target, bool pressed)
{
    const style_table& keys = style();
    color caption = keys.read_color("button_font_color");
    color border = keys.read_color("button_border_color_normal");
    int32_t dash = 0;
    if (window()->focused_widget() == this && window()->shows_focus_mark()) {
        dash = 1;
        border = keys.read_color("button_border_color_focus");
    }
    if (m_hover) {
        dash = 0;
        border = keys.read_color("button_border_color_hover");
        caption = keys.read_color("button_font_color_hover");
    }
    if (pressed) {
        caption = keys.read_color("button_font_color_pressed");
    }
    const rect bounds{0, 0, width(), height()};
    target.set_dash(dash);
    target.set_stroke(dimmed(border), 1.0f);
    target.draw_rect(bounds);

    const int32_t alignment = keys.read_int("button_font_alignment");
    set_caption_font(target);
    target.set_text_alignment(alignment, keys.read_int("button_font_vertical_alignment"));
    target.set_text_color(dimmed(caption));
    if (m_caption.empty()) {
        return;
    }
    const auto [mx, my] = keys.read_int_pair("button_text_margins");
    const size button{width(), height()};
    if (keys.read_bool("button_text_clip")) {
        const caption_boxes boxes = clipped_caption(alignment, button, {mx, my});
        target.draw_text_clipped(boxes.layout, boxes.clip, m_caption);
    } else {
        target.draw_text(wrapped_caption(button, {mx, my}), m_caption);
    }
}

void generic_button::paint_image()
{
    const style_table& keys = style();
    const style_image value = keys.read_image("button_image");
    if (value.data == nullptr) {
        return;
    }
    if (!m_icon.is_decoded()) {
        if (!decode_style_picture(m_icon, value)) {
            return;
        }
        const color filter = keys.read_color("button_image_filter_multiply");
        if (filter != opaque_white) {
            const auto [ax, ay, aw, ah] = keys.read_int_quad("button_image_filter_multiply_area");
            m_icon.multiply_color(filter, {ax, ay, aw, ah});
        }
        // Placed once: a later resize leaves the icon where it was first centred.
        m_icon_rect = centred_icon(m_icon.frame_size(), {width(), height()});
    }
    const rect source{0, state_frame(value.frames) * m_icon_rect.height, m_icon_rect.width,
                      m_icon_rect.height};
    renderer& target = window()->painter();
    if (keys.read_bool("button_image_strech")) {
        target.draw_image_part({0, 0, width(), height()}, m_icon, source, m_icon_opacity);
    } else {
        target.draw_image_part_at({m_icon_rect.x, m_icon_rect.y}, m_icon, source, m_icon_opacity);
    }
}

void generic_button::paint_back_image()
{
    const style_image value = style().read_image("button_back_image");
    if (value.data == nullptr) {
        return;
    }
    if (!m_back.is_decoded() && !decode_style_picture(m_back, value)) {
        return;
    }
    const size frame = m_back.frame_size();
    const int32_t side = frame.height;
    const auto [left, middle, right] =
        three_slices(side, state_frame(value.frames) * side, frame.width, {width(), height()});
    renderer& target = window()->painter();
    target.draw_image_part_at({left.destination.x, left.destination.y}, m_back, left.source, 1.0f);
    if (middle.destination.width > 0) {
        target.draw_image_part(middle.destination, m_back, middle.source, 1.0f);
    }
    target.draw_image_part_at({right.destination.x, right.destination.y}, m_back, right.source,
                              1.0f);
}

} // namespace zksdk::ui
