// A button drawn as text that underlines itself and shows the hand while the pointer is on it.
#pragma once

#include "toolkit/controls/generic_button.h"

namespace nimbic {

// Used for the licence links; its owner makes the background and border transparent.
class LinkButton : public zksdk::ui::generic_button {
public:
    LinkButton();

private:
    void on_created();
    void on_hover_change(const zksdk::ui::event_info& info);
    void on_hidden();
    void on_describe(const zksdk::ui::event_info& info);
};

} // namespace nimbic
