// LinkButton: the underline and the hand cursor that follow the pointer over the link.
#include "installer/widgets/link_button.h"

#include "toolkit/core/window/window.h"

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr uint32_t arrow_cursor = 0;
constexpr uint32_t hand_cursor = 6;

} // namespace

LinkButton::LinkButton()
{
    event_dispatcher::instance().connect(this, this, event_type::created,
                                         bind_event(this, &LinkButton::on_created));
}

void LinkButton::on_created()
{
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::mouse_enter,
                   bind_event(this, &LinkButton::on_hover_change));
    events.connect(this, this, event_type::mouse_leave,
                   bind_event(this, &LinkButton::on_hover_change));
    events.connect(this, this, event_type::hidden, bind_event(this, &LinkButton::on_hidden));
    // After generic_button's own describer, which called it a push button.
    events.connect(this, this, event_type::describe, bind_event(this, &LinkButton::on_describe));
}

void LinkButton::on_describe(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::link;
    node.default_action = "Jump";
}

void LinkButton::on_hover_change(const event_info& info)
{
    const bool entered = info.type == static_cast<uint32_t>(event_type::mouse_enter);
    style().set("button_text_underlined", entered);
    window::set_cursor(entered ? hand_cursor : arrow_cursor);
    invalidate(false);
}

// A hidden link may never hear the pointer leave (once it is disabled as well, the leave goes to
// an ancestor): drop the underline now, or the link comes back underlined when shown again.
void LinkButton::on_hidden()
{
    style().set("button_text_underlined", false);
    window::set_cursor(arrow_cursor);
}

} // namespace nimbic
