// ProgressBar's drawing: the track, then the gradient up to the progress.
#include "installer/widgets/progress_bar.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace nimbic {

using namespace zksdk::ui;

ProgressBar::ProgressBar()
{
    event_dispatcher::instance().connect(this, this, event_type::describe,
                                         bind_event(this, &ProgressBar::on_describe));
}

void ProgressBar::set_progress(float progress)
{
    const int32_t before = percent();
    m_progress = progress;
    if (percent() != before) {
        announce(access_event::value_changed);
    }
}

int32_t ProgressBar::percent() const
{
    // Rounded down, as the percentage beside it: 100 % only once everything is in place, and a
    // reader hears the same number from the bar as from its label.
    return std::clamp(static_cast<int32_t>(std::floor(m_progress * 100.0f)), 0, 100);
}

// Named by the label its owner puts beside it.
void ProgressBar::on_describe(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::progress_bar;
    node.value = std::to_string(percent()) + "%";
    node.range_value = percent();
    node.states |= access_state::read_only;
}

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
