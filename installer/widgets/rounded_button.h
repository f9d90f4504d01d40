// The wizard's pill-shaped push button (footer navigation, popup answers).
#pragma once

#include "toolkit/controls/generic_button.h"

namespace nimbic {

// A generic_button that draws a pill of its state colour with a centred caption and nothing
// else; sizing, hover, press and click stay generic_button's. Owned by the window that shows it.
class RoundedButton : public zksdk::ui::generic_button {
public:
    RoundedButton() = default;
    void paint() override;
};

} // namespace nimbic
