// InstalledCheckbox's drawing: the box as checked or not, and the caption, never faded.
#include "installer/widgets/installed_checkbox.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

namespace nimbic {

using namespace zksdk::ui;

// check_box connects its own describer on `created`; this one, connected after it, amends it.
InstalledCheckbox::InstalledCheckbox()
{
    event_dispatcher::instance().connect(this, this, event_type::created,
                                         bind_event(this, &InstalledCheckbox::on_created));
}

void InstalledCheckbox::on_created()
{
    event_dispatcher::instance().connect(this, this, event_type::describe,
                                         bind_event(this, &InstalledCheckbox::on_describe));
}

// A result to read, not a choice to make: a line of text whose words say how it went.
void InstalledCheckbox::on_describe(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::static_text;
    node.states = access_state::read_only;
    node.default_action.clear();
}

// The box picture is decoded and measured by check_box's layout; the box rectangle has its size.
void InstalledCheckbox::paint()
{
    renderer& target = window()->painter();
    const rect& box = box_rect();
    const rect source{0, is_checked() ? box.height : 0, box.width, box.height};
    target.draw_image_part_at({box.x, box.y}, box_image(), source, 1.0f);

    target.set_text_color(style().read_color("checkbox_font_color"));
    set_caption_font(target);
    target.set_text_alignment(text_align::leading, text_align::middle);
    if (!caption().empty()) {
        target.draw_text(text_rect(), caption());
    }
}

} // namespace nimbic
