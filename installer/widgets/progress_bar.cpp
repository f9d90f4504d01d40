// ProgressBar's drawing: the track, then the gradient up to the progress.
#include "installer/widgets/progress_bar.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>
#include <cmath>

namespace nimbic {

using namespace zksdk::ui;

void ProgressBar::paint()
{
    renderer& target = window()->painter();
    const style_table& keys = style();
    target.set_fill_color(keys.read_color("progress_bar_back_color"));
    target.fill_rect({0, 0, width(), height()});

    // The owner's value is not checked on the way in: keep the fill inside the track.
    const auto filled = static_cast<int32_t>(std::lround(static_cast<float>(width()) * m_progress));
    const int32_t clamped = std::clamp(filled, 0, width());
    if (clamped == 0) {
        return;
    }
    target.fill_vertical_gradient({0, 0, clamped, height()}, keys.read_color("progress_bar_color1"),
                                  keys.read_color("progress_bar_color2"));
}

} // namespace nimbic
