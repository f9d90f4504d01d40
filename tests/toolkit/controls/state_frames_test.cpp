// The state-frame tables: which frame each state shows for strips of every length.
#include "toolkit/controls/state_frames.h"

#include <gtest/gtest.h>

namespace zksdk::ui {
namespace {

struct frame_case {
    const char* name;
    control_state state;
    int32_t expected[9]; // by frame count 0..8
};

TEST(StateFrames, ButtonFramesFallBackToTheBestFrameTheStripHas)
{
    const control_state disabled{.enabled = false};
    const frame_case cases[] = {
        {"normal", {}, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"hover", {.hover = true}, {0, 0, 1, 1, 1, 1, 1, 1, 1}},
        {"disabled", disabled, {0, 0, 0, 2, 2, 2, 2, 2, 2}},
        {"pressed", {.hover = true, .pressed = true}, {0, 0, 1, 1, 3, 3, 3, 3, 3}},
        // Frame 4 needs five frames: a toggled button on a four-frame strip looks normal.
        {"toggled", {.on = true}, {0, 0, 0, 0, 0, 4, 4, 4, 4}},
        {"toggled hover", {.hover = true, .on = true}, {0, 0, 1, 1, 1, 1, 5, 5, 5}},
        {"toggled disabled", {.enabled = false, .on = true}, {0, 0, 0, 2, 2, 2, 2, 6, 6}},
        {"toggled pressed", {.pressed = true, .on = true}, {0, 0, 0, 0, 3, 3, 3, 3, 7}},
    };
    for (const frame_case& tested : cases) {
        SCOPED_TRACE(tested.name);
        for (int32_t frames = 0; frames <= 8; ++frames)
            EXPECT_EQ(tested.expected[frames], button_frame(frames, tested.state)) << frames;
    }
}

TEST(StateFrames, CheckBoxFramesAddOneForCheckedOnTopOfHoverOrDisabled)
{
    const frame_case cases[] = {
        {"unchecked", {}, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"checked", {.on = true}, {0, 0, 1, 1, 1, 1, 1, 1, 1}},
        // Hover needs four frames: a three-frame strip ignores it.
        {"hover", {.hover = true}, {0, 0, 0, 0, 2, 2, 2, 2, 2}},
        {"hover checked", {.hover = true, .on = true}, {0, 0, 1, 1, 3, 3, 3, 3, 3}},
        {"disabled", {.enabled = false}, {0, 0, 0, 0, 0, 0, 4, 4, 4}},
        {"disabled checked hover",
         {.hover = true, .enabled = false, .on = true},
         {0, 0, 1, 1, 3, 3, 5, 5, 5}},
    };
    for (const frame_case& tested : cases) {
        SCOPED_TRACE(tested.name);
        for (int32_t frames = 0; frames <= 8; ++frames)
            EXPECT_EQ(tested.expected[frames], check_box_frame(frames, tested.state)) << frames;
    }
}

} // namespace
} // namespace zksdk::ui
