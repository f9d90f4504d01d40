// Button geometry: clipped caption boxes by alignment, the auto width and the three slices.
#include "toolkit/controls/button_geometry.h"

#include <gtest/gtest.h>

namespace zksdk::ui {
namespace {

TEST(ButtonGeometry, ClippedCaptionsKeepTheirAlignmentInsideTheMargins)
{
    struct {
        int32_t alignment;
        rect layout;
    } const cases[] = {
        {0, {6, 2, 1100, 36}},     // leading starts at the left margin
        {1, {-500, 2, 1088, 36}},  // centre 44: the left margin is not added
        {2, {-1000, 2, 1088, 36}}, // right edge 88
        {7, {6, 2, 1100, 36}},     // unknown kinds lay out as leading
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.alignment);
        const caption_boxes boxes = clipped_caption(tested.alignment, {100, 40}, {6, 2});
        EXPECT_EQ(tested.layout, boxes.layout);
        EXPECT_EQ((rect{6, 2, 88, 36}), boxes.clip);
    }
    EXPECT_EQ((rect{6, 2, 88, 36}), wrapped_caption({100, 40}, {6, 2}));
}

TEST(ButtonGeometry, AutoWidthIsTheCaptionPlusThirtyWithinItsLimits)
{
    EXPECT_EQ(30, auto_size_width(0, 0, 0, 0));    // empty caption, no limits
    EXPECT_EQ(40, auto_size_width(0, 20, 0, 0));   // twice the margin is the floor
    EXPECT_EQ(65, auto_size_width(10, 0, 65, 0));  // the minimum
    EXPECT_EQ(80, auto_size_width(200, 0, 0, 80)); // the maximum
    EXPECT_EQ(10000, auto_size_width(50000, 0, 0, 0));
    EXPECT_EQ(90, auto_size_width(500, 0, 90, 60)); // a minimum above the maximum wins
}

TEST(ButtonGeometry, ThreeSlicesCapTheEndsAndStretchTheMiddle)
{
    const auto [left, middle, right] = three_slices(8, 16, 30, {100, 40});
    EXPECT_EQ((rect{0, 16, 8, 8}), left.source);
    EXPECT_EQ((rect{0, 0, 8, 8}), left.destination);
    EXPECT_EQ((rect{8, 16, 8, 8}), middle.source);
    EXPECT_EQ((rect{8, 0, 84, 8}), middle.destination);
    EXPECT_EQ((rect{22, 16, 8, 8}), right.source);
    EXPECT_EQ((rect{92, 0, 8, 8}), right.destination);
    EXPECT_EQ(0, three_slices(8, 0, 30, {10, 40})[1].destination.width); // caps overlap
    EXPECT_EQ((rect{45, 18, 10, 4}), centred_icon({10, 4}, {100, 40}));
}

} // namespace
} // namespace zksdk::ui
