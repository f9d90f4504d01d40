// generic_panel: background and border straight from the style table.
#include "toolkit/core/widget/generic_panel.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

namespace zksdk::ui {

generic_panel::generic_panel()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::paint,
                   bind_event<generic_panel>(this, &generic_panel::paint));
    events.connect(this, this, event_type::style_changed,
                   bind_event<widget>(this, &widget::invalidate, false));
}

void generic_panel::paint()
{
    renderer& target = window()->painter();
    const rect area{0, 0, width(), height()};
    target.set_fill_color(style().read_color("default_back_color"));
    target.fill_rect(area);
    target.set_dash(0);
    target.set_stroke(style().read_color("default_border_color"),
                      style().read_float("default_border_width"));
    target.draw_rect(area);
}

} // namespace zksdk::ui
