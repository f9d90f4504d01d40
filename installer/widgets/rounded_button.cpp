// RoundedButton's drawing: a pill in the state colour with the caption centred on it.
#include "installer/widgets/rounded_button.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <cmath>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr rect no_clip{};

} // namespace

void RoundedButton::paint()
{
    renderer& target = window()->painter();
    const style_table& keys = style();
    // Disabled wins over hover: a button disabled through its parent keeps its hover mark.
    const bool usable = accepts_input();
    const bool hovered = usable && is_hovered();

    const color back = !usable   ? keys.read_color("rounded_button_back_color_disabled")
                       : hovered ? keys.read_color("button_color_hover")
                                 : keys.read_color("button_color_normal");
    target.set_fill_color(back);
    const float radius = static_cast<float>(height()) * 0.5f;
    const auto centre = static_cast<int32_t>(std::lround(radius));
    target.fill_ellipse({centre, centre}, radius - 1.0f, no_clip);
    target.fill_ellipse({width() - centre, centre}, radius - 1.0f, no_clip);
    target.fill_rect({centre, 1, width() - 2 * centre, height() - 2});

    const color text = !usable   ? keys.read_color("rounded_button_font_color_disabled")
                       : hovered ? keys.read_color("button_font_color_hover")
                                 : keys.read_color("button_font_color");
    target.set_text_color(text);
    target.set_font(keys.read_string("button_font_name"), keys.read_float("button_font_size"),
                    keys.read_int("button_font_weight"), keys.read_int("button_font_style"), false);
    target.set_text_alignment(text_align::centred, text_align::middle);
    if (!caption().empty()) {
        target.draw_text({0, 0, width(), height()}, caption());
    }
}

} // namespace nimbic
