// The frame tables of the state strips: later conditions override earlier ones.
#include "toolkit/controls/state_frames.h"

namespace zksdk::ui {

namespace {

// A condition picks `toggled_frame` on a toggled button when the strip has it, else `plain_frame`
// when the strip has that, else it leaves the current choice.
int32_t overriding(int32_t frames, bool toggled, int32_t plain_frame, int32_t toggled_frame,
                   int32_t current)
{
    if (toggled && frames > toggled_frame) {
        return toggled_frame;
    }
    return frames > plain_frame ? plain_frame : current;
}

} // namespace

int32_t button_frame(int32_t frames, const control_state& state)
{
    int32_t frame = state.on && frames >= 5 ? 4 : 0;
    if (state.hover) {
        frame = overriding(frames, state.on, 1, 5, frame);
    }
    if (!state.enabled) {
        frame = overriding(frames, state.on, 2, 6, frame);
    }
    if (state.pressed) {
        frame = overriding(frames, state.on, 3, 7, frame);
    }
    return frame;
}

int32_t check_box_frame(int32_t frames, const control_state& state)
{
    int32_t frame = state.hover && frames > 3 ? 2 : 0;
    if (!state.enabled && frames > 5) {
        frame = 4;
    }
    if (state.on && frames > 1) {
        ++frame;
    }
    return frame;
}

} // namespace zksdk::ui
