// The Installing page's progress bar: a dark track and a vertical gradient up to the progress.
#pragma once

#include "toolkit/core/widget/generic_panel.h"

namespace nimbic {

// The owner sets the progress and asks for a repaint; owned by the installer window.
class ProgressBar : public zksdk::ui::generic_panel {
public:
    ProgressBar();
    void paint() override;

    // Assistive technology hears of a change of the whole percentage shown.
    void set_progress(float progress);
    float progress() const { return m_progress; }
    int32_t percent() const;

private:
    void on_describe(const zksdk::ui::event_info& info);

    float m_progress = 0.0f; // 0.0 to 1.0
};

} // namespace nimbic
