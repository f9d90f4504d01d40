// The wizard's modal question: a picture, a message and YES / NO buttons in a 400-unit window.
#pragma once

#include "installer/widgets/rounded_button.h"

#include "toolkit/controls/text_label.h"
#include "toolkit/core/widget/flow_panel.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/image.h"

#include <string_view>

namespace nimbic {

// How assistive technology hears the popup open: as a question, or as an alert (a failure).
enum class popup_urgency { question, alert };

// A local object of the code that asks: constructed, set up once, run modally once
// (1 for YES or Enter, 0 for NO, Escape or the close button), destroyed.
class NotificationPopup : public zksdk::ui::window {
public:
    NotificationPopup();
    ~NotificationPopup() override;

    void setup(zksdk::ui::window* owner, std::string_view title, std::string_view message);
    // Before setup.
    void set_urgency(popup_urgency urgency) { m_urgency = urgency; }

    RoundedButton& yes_button() { return m_yes; }
    RoundedButton& no_button() { return m_no; }
    zksdk::ui::text_label& message_label() { return m_message; }
    zksdk::ui::point picture_position() const { return m_picture_position; }

private:
    void paint_background();
    void on_button(const zksdk::ui::event_info& info);
    void on_key(const zksdk::ui::event_info& info);
    void on_describe_message(const zksdk::ui::event_info& info);
    void on_opened();

    RoundedButton m_yes;
    RoundedButton m_no;
    zksdk::ui::text_label m_message;
    zksdk::ui::flow_panel m_buttons{zksdk::ui::flow_direction::horizontal,
                                    zksdk::ui::auto_size::off, zksdk::ui::track_children::off};
    zksdk::ui::image m_picture;
    zksdk::ui::point m_picture_position;
    popup_urgency m_urgency = popup_urgency::question;
};

} // namespace nimbic
