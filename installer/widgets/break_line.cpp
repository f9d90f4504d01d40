// BreakLine's drawing: one solid line across the middle.
#include "installer/widgets/break_line.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr int32_t solid = 0;

} // namespace

void BreakLine::paint()
{
    renderer& target = window()->painter();
    target.set_dash(solid);
    target.set_stroke(style().read_color("breakline_color"), 1.0f);
    const int32_t middle = height() / 2;
    target.draw_line({0, middle}, {width(), middle});
}

} // namespace nimbic
