// Which frame of a vertical state strip a button or a check box shows for its current state.
#pragma once

#include <cstdint>

namespace zksdk::ui {

// What a control's picture reflects; `on` is toggled for a button and checked for a check box.
struct control_state {
    bool hover = false;
    bool pressed = false;
    bool enabled = true;
    bool on = false;
};

// Button strips: 0 normal, 1 hover, 2 disabled, 3 pressed, then 4 to 7 the same while toggled.
// A state whose frame the strip lacks keeps the frame chosen so far.
int32_t button_frame(int32_t frames, const control_state& state);

// Check box strips: 0 unchecked, 1 checked, 2 and 3 hover, 4 and 5 disabled.
int32_t check_box_frame(int32_t frames, const control_state& state);

} // namespace zksdk::ui
