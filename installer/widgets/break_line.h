// A horizontal separator line across the middle of its rectangle.
#pragma once

#include "toolkit/core/widget/generic_panel.h"

namespace nimbic {

// Drawn in breakline_color; owned by the page that shows it.
class BreakLine : public zksdk::ui::generic_panel {
public:
    BreakLine() = default;
    void paint() override;
};

} // namespace nimbic
