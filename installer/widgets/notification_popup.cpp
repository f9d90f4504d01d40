// NotificationPopup: building and sizing the question window, its background and its answers.
#include "installer/widgets/notification_popup.h"

#include "toolkit/controls/style_picture.h"
#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/renderer.h"

#include <span>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr int32_t popup_width = 400;
constexpr int32_t first_height = 200;
constexpr int32_t message_first_height = 100;
constexpr int32_t row_height = 30;
constexpr rect answer_geometry{0, 0, 100, row_height};
constexpr int32_t answer_spacing = 20;
constexpr int32_t answer_yes = 1;
constexpr int32_t answer_no = 0;

struct key_redirect {
    style_key key;
    style_key target;
};

const key_redirect message_keys[] = {
    {"label_font_size", "notifications_text_font_size"},
    {"label_font_color", "notifications_text_font_color"},
    {"label_font_name", "notifications_text_font_name"},
    {"label_text_align", "notifications_text_alignment"},
};

// YES looks like the wizard's NEXT, NO like its BACK and CANCEL.
const key_redirect yes_keys[] = {
    {"button_color_normal", "rounded_button_next_back_color_normal"},
    {"button_color_hover", "rounded_button_next_back_color_hover"},
    {"button_font_color", "rounded_button_font_color_hover"},
    {"button_font_color_hover", "rounded_button_font_color_hover"},
    {"button_font_name", "rounded_button_font_name"},
    {"button_font_size", "rounded_button_font_size"},
};

const key_redirect no_keys[] = {
    {"button_color_normal", "rounded_button_back_color_normal"},
    {"button_color_hover", "rounded_button_back_color_hover"},
    {"button_font_color", "rounded_button_font_color_normal"},
    {"button_font_color_hover", "rounded_button_font_color_hover"},
    {"button_font_name", "rounded_button_font_name"},
    {"button_font_size", "rounded_button_font_size"},
};

void redirect_all(widget& target, std::span<const key_redirect> redirects)
{
    for (const key_redirect& entry : redirects) {
        target.style().redirect(entry.key, entry.target);
    }
}

// The second construction step; the widget connects its handlers when it hears created.
void place(widget& child, window& owner, widget& parent, const rect& geometry)
{
    child.set_window(&owner);
    child.set_parent(&parent);
    child.create(geometry);
    event_dispatcher::instance().emit(&child, event_type::created);
    parent.add_child(&child);
}

void add_answer(RoundedButton& button, window& owner, flow_panel& row, std::string_view caption,
                std::span<const key_redirect> redirects)
{
    place(button, owner, row, answer_geometry);
    redirect_all(button, redirects);
    button.set_caption(caption);
    button.update_size();
    button.invalidate(false);
}

} // namespace

NotificationPopup::NotificationPopup()
{
    set_access_role(access_role::dialog);
}

// The members go before the window base does. Taking the tree apart first keeps every detach
// event on whole widgets: a widget's own destructor raises them while half of it is gone.
NotificationPopup::~NotificationPopup()
{
    m_buttons.remove_all_children();
    root().remove_all_children();
}

void NotificationPopup::setup(window* owner, std::string_view title, std::string_view message)
{
    if (owner != nullptr) {
        set_owner(owner);
    }
    create(title, {0, 0, popup_width, first_height}, 0);
    // A question asked from the keyboard is answered from it: the focus mark shows at once.
    set_keyboard_cues(owner != nullptr && owner->shows_focus_mark());
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(this, this, event_type::modal_started,
                   bind_event(this, &NotificationPopup::on_opened));
    events.connect(this, this, event_type::key_down_extended,
                   bind_event(this, &NotificationPopup::on_key));
    // A reader names the dialog by its title and reads its message as the description.
    set_access_description(message);
    events.connect(&root(), this, event_type::paint,
                   bind_event(this, &NotificationPopup::paint_background));

    const style_table& keys = root().style();
    const auto [mx, my] = keys.read_int_pair("message_popup_window_margins");
    // The built-in value is one int and the theme's are pairs; either way the gap comes first.
    const int32_t gap = keys.read_int("message_popup_component_margins");
    // An undecodable picture stays empty, 0 x 0, and the message moves up to take its place.
    decode_style_picture(m_picture, keys.read_image("message_popup_image"));
    const size picture = m_picture.logical_size();
    m_picture_position = {(popup_width - picture.width) / 2, my};

    const int32_t client_width = root().width();
    place(m_message, *this, root(),
          {mx, my + picture.height + gap, client_width - 2 * mx, message_first_height});
    m_message.style().set("default_back_color", color{0, 0, 0, 0});
    m_message.invalidate(false);
    redirect_all(m_message, message_keys);
    m_message.set_text(message, label_fit::fixed, label_fit::to_text);
    // After the label's own describer: the message of an alert is the alert.
    if (m_urgency == popup_urgency::alert) {
        events.connect(&m_message, this, event_type::describe,
                       bind_event(this, &NotificationPopup::on_describe_message));
    }

    const int32_t row_y = m_message.y() + m_message.height() + gap;
    place(m_buttons, *this, root(), {mx, row_y, client_width - 2 * mx, row_height});
    m_buttons.add_stretch();
    add_answer(m_yes, *this, m_buttons, "YES", yes_keys);
    events.connect(&m_yes, this, event_type::clicked,
                   bind_event(this, &NotificationPopup::on_button));
    set_focus(&m_yes, focus_by_program);
    set_default_button(&m_yes);
    m_buttons.add_spacing(answer_spacing);
    add_answer(m_no, *this, m_buttons, "NO", no_keys);
    events.connect(&m_no, this, event_type::clicked,
                   bind_event(this, &NotificationPopup::on_button));
    m_buttons.add_stretch();
    m_buttons.relayout();

    // The bottom margin is the gap, not the top margin.
    const rect placement = native().client_placement();
    native().set_bounds({placement.x, placement.y, popup_width, row_y + row_height + gap});
    events.connect(this, this, event_type::key_down, bind_event(this, &NotificationPopup::on_key));
    native().center();
}

// Shown now, with the focus on YES (which the window told as it got the focus): a screen
// reader reads the dialog's title and message, and an alert's message as an alert.
void NotificationPopup::on_opened()
{
    announce(access_event::dialog_opened);
    if (m_urgency == popup_urgency::alert) {
        announce(access_event::alert, &m_message);
    }
}

void NotificationPopup::paint_background()
{
    renderer& target = painter();
    target.set_fill_color(root().style().read_color("notifications_back_color"));
    target.fill_rect({0, 0, root().width(), root().height()});
    target.draw_image(m_picture_position, m_picture, 1.0f);
}

void NotificationPopup::on_button(const event_info& info)
{
    if (info.sender == &m_yes) {
        close(answer_yes);
    } else if (info.sender == &m_no) {
        close(answer_no);
    }
}

// The window hears every key after the focused widget has. A focused answer button has already
// answered Enter with its own click; answering again here would turn NO into YES.
void NotificationPopup::on_describe_message(const event_info& info)
{
    static_cast<access_node*>(info.data)->role = access_role::alert;
}

void NotificationPopup::on_key(const event_info& info)
{
    // Alt+F4 is the close button: NO.
    if (info.type == static_cast<uint32_t>(event_type::key_down_extended)) {
        constexpr int32_t alt_held = 1 << 29;
        const auto& message = *static_cast<const key_message*>(info.data);
        if (message.virtual_key == key_code::f4 && (message.flags & alt_held) != 0) {
            close(answer_no);
        }
        return;
    }
    const auto key = reinterpret_cast<uintptr_t>(info.data);
    if (key == key_code::escape) {
        close(answer_no);
    } else if (key == key_code::enter && focused_widget() != &m_yes && focused_widget() != &m_no) {
        close(answer_yes);
    }
}

} // namespace nimbic
