// A read-only result line: a check mark picture (frame 0 or 1) and a caption.
#pragma once

#include "toolkit/controls/check_box.h"

namespace nimbic {

// Shows the checked value stored in the control, never hover or disabled frames, and never
// fades its text; the Installing page owns one per ticked target.
class InstalledCheckbox : public zksdk::ui::check_box {
public:
    InstalledCheckbox();
    void paint() override;

private:
    void on_created();
    void on_describe(const zksdk::ui::event_info& info);
};

} // namespace nimbic
