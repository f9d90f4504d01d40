// A document as a reader moves through it: units, moves that stop at the ends, the boxes of a
// range cut to the view, and the place under a point.
#include "toolkit/core/accessibility_text.h"

#include <gtest/gtest.h>

namespace zksdk::ui {
namespace {

// Two paragraphs on three lines of 10-unit-wide characters, 20 high, the view showing the
// first two lines from x 0 to 55:
//   "Hello big " | "world\n" | "\n" | "Bye."
access_text sample()
{
    access_text t;
    t.text = u"Hello big world\n\nBye.";
    const auto line = [](int32_t first, int32_t end, float top) {
        text_line_geometry g{first, end, top, 20, {}};
        for (int32_t i = 0; i <= end - first; ++i)
            g.edges.push_back(10.0f * static_cast<float>(i));
        return g;
    };
    t.lines = {line(0, 10, 0), line(10, 16, 20), line(16, 17, 40), line(17, 21, 60)};
    t.visible = {0, 0, 55, 40};
    return t;
}

TEST(AccessibilityText, UnitsEncloseAndMoveToEachStartStoppingAtTheEnds)
{
    const access_text t = sample();
    EXPECT_EQ((std::vector<text_span>{{0, 15}, {17, 21}}), paragraphs(t.text));
    const struct {
        text_unit unit;
        int32_t from;
        int32_t count;
        int32_t moved;
        int32_t to;
        text_span enclosing; // of the position it starts from
    } table[] = {
        {text_unit::character, 3, 2, 2, 5, {3, 4}},
        {text_unit::word, 7, 1, 1, 10, {6, 10}},   // "big "
        {text_unit::word, 7, -1, -1, 6, {6, 10}},  // back to its own start
        {text_unit::word, 12, 5, 3, 21, {10, 16}}, // to "\n", "Bye.", then the end
        {text_unit::line, 12, 1, 1, 16, {10, 16}},
        {text_unit::line, 18, -9, -4, 0, {17, 21}},
        {text_unit::paragraph, 3, 1, 1, 17, {0, 17}},
        {text_unit::paragraph, 19, 1, 1, 21, {17, 21}},
        {text_unit::page, 5, 1, 1, 21, {0, 21}}, // no pages: the whole document
        {text_unit::document, 21, -1, -1, 0, {0, 21}},
        {text_unit::format, 21, 0, 0, 21, {17, 21}}, // the end belongs to the last unit
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(row.unit) << " from " << row.from);
        EXPECT_EQ(row.enclosing, enclosing_unit(t, row.from, row.unit));
        int32_t position = row.from;
        EXPECT_EQ(row.moved, move_by_units(t, position, row.unit, row.count));
        EXPECT_EQ(row.to, position);
    }
}

TEST(AccessibilityText, RangesArePerLineBoxesCutToTheViewAndPointsFindTheNearestPlace)
{
    const access_text t = sample();
    // "big world": from x 60 on the first line (all out of view) and 0 to 50 on the second.
    EXPECT_EQ((std::vector<rect>{{0, 20, 50, 20}}), range_boxes(t, {6, 15}));
    EXPECT_EQ((std::vector<rect>{{0, 0, 55, 20}, {0, 20, 10, 20}}), range_boxes(t, {0, 11}));
    EXPECT_TRUE(range_boxes(t, {4, 4}).empty()) << "no characters, no box";
    EXPECT_TRUE(range_boxes(t, {17, 21}).empty()) << "scrolled out of sight";
    EXPECT_EQ((text_span{0, 16}), visible_span(t));
    EXPECT_EQ(2, position_at(t, {24, 5}));
    EXPECT_EQ(15, position_at(t, {300, 25})) << "before the line's break, not after it";
    EXPECT_EQ(21, position_at(t, {300, 500})) << "below the text: its last line";
    EXPECT_EQ(3, line_of(t, 17));
    EXPECT_EQ(3, line_of(t, 21));
}

} // namespace
} // namespace zksdk::ui
