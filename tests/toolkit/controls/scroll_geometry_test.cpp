// Scroll arithmetic: thumb length limits, the step snap, and the cases that must not move.
#include "toolkit/controls/scroll_geometry.h"

#include <gtest/gtest.h>

namespace zksdk::ui {
namespace {

TEST(ScrollGeometry, ThumbLengthStaysBetweenTheMinimumAndTheTrack)
{
    EXPECT_EQ(50, measure_scroll(400, 400, 1000000, 0, 50).thumb_length);
    EXPECT_EQ(400, measure_scroll(400, 400, 1000000, 0, 1000).thumb_length);
    EXPECT_EQ(400, measure_scroll(400, 400, 0, 0, 0).thumb_length);   // empty content fills it
    EXPECT_EQ(0, measure_scroll(-20, 400, 1000, 0, 50).thumb_length); // buttons eat the track
}

TEST(ScrollGeometry, AThumbThatCannotMoveGivesNoOffset)
{
    // Nothing to scroll, and a minimum thumb as long as the track with content left to scroll.
    const scroll_metrics fits = measure_scroll(400, 400, 300, 0, 50);
    const scroll_metrics full = measure_scroll(400, 400, 1000, -200, 1000);
    EXPECT_EQ(0, fits.range);
    EXPECT_EQ(600, full.range);
    for (const scroll_metrics& stuck : {fits, full}) {
        EXPECT_EQ(0.0f, stuck.ratio);
        EXPECT_EQ(0, stuck.thumb_offset);
        EXPECT_FALSE(offset_at(250, stuck.ratio).has_value());
    }
}

TEST(ScrollGeometry, OffsetsSnapTowardsZeroAndClampToTheRange)
{
    EXPECT_EQ(100, snap_to_step(109, 10));
    EXPECT_EQ(-10, snap_to_step(-15, 10));
    EXPECT_EQ(109, snap_to_step(109, 0)); // no step: no snap, and no division by zero
    EXPECT_EQ(0, clamp_coordinate(25, 600));
    EXPECT_EQ(-600, clamp_coordinate(-900, 600));
    EXPECT_EQ(0, clamp_coordinate(-900, 0));
    // A vanishing ratio still gives an offset a caller can negate.
    EXPECT_EQ(INT32_MAX, offset_at(1000000, 1e-30f));
    EXPECT_EQ(-INT32_MAX, offset_at(-1000000, 1e-30f));
}

} // namespace
} // namespace zksdk::ui
