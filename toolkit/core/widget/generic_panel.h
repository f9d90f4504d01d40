// A plain rectangle filled and outlined with its style's colours.
#pragma once

#include "toolkit/core/widget/widget.h"

namespace zksdk::ui {

// The simplest container; with the default transparent colours it draws nothing.
class generic_panel : public widget {
public:
    generic_panel();

    virtual void paint();
};

} // namespace zksdk::ui
