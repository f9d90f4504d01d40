// The Installing page's progress bar: a dark track and a vertical gradient up to the progress.
#pragma once

#include "toolkit/core/widget/generic_panel.h"

namespace nimbic {

// The owner sets the progress and asks for a repaint; owned by the installer window.
class ProgressBar : public zksdk::ui::generic_panel {
public:
    ProgressBar() = default;
    void paint() override;

    void set_progress(float progress) { m_progress = progress; }
    float progress() const { return m_progress; }

private:
    float m_progress = 0.0f; // 0.0 to 1.0
};

} // namespace nimbic
