// Flow panels: spacing, stretch shares (negative ones too), hidden children, auto size, removal.
#include "toolkit/core/widget/flow_panel.h"

#include "tests/toolkit/core/toolkit_fixture.h"

namespace zksdk::ui {
namespace {

using test::attach;

class FlowPanelTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        test::ToolkitTest::SetUp();
        m_window = make_window({0, 0, 400, 300});
    }
    std::unique_ptr<window> m_window;
};

TEST_F(FlowPanelTest, VerticalAutoSizeStacksAfterSpacingAndSkipsHiddenChildren)
{
    flow_panel panel(flow_direction::vertical, auto_size::on, track_children::off);
    attach(panel, m_window->root(), {0, 0, 100, 0});
    panel.add_spacing(20);
    widget first, second;
    attach(first, panel, {0, 0, 80, 30});
    attach(second, panel, {7, 0, 80, 40});
    panel.relayout();
    EXPECT_EQ(20, first.y());
    EXPECT_EQ(50, second.y());
    EXPECT_EQ(7, second.x()); // the cross axis is left alone
    EXPECT_EQ(90, panel.height());

    first.set_visible(false); // hidden and shown children relay the panel out
    EXPECT_EQ(20, second.y());
    EXPECT_EQ(60, panel.height());
    first.set_visible(true);
    EXPECT_EQ(50, second.y());
    EXPECT_EQ(90, panel.height());
}

TEST_F(FlowPanelTest, StretchItemsShareTheFreeLengthEvenWhenItIsNegative)
{
    flow_panel row(flow_direction::horizontal, auto_size::off, track_children::off);
    attach(row, m_window->root(), {0, 0, 400, 30});
    row.add_stretch();
    widget back, next;
    attach(back, row, {0, 0, 100, 30});
    attach(next, row, {0, 0, 120, 30});
    row.relayout();
    EXPECT_EQ(180, back.x()); // pushed to the right edge
    EXPECT_EQ(280, next.x());

    row.set_geometry({0, 0, 160, 30}); // a resize with stretch relays out at once
    EXPECT_EQ(-60, back.x());
    EXPECT_EQ(40, next.x());

    flow_panel column(flow_direction::vertical, auto_size::off, track_children::off);
    attach(column, m_window->root(), {0, 0, 50, 101});
    column.add_stretch();
    widget middle;
    attach(middle, column, {0, 0, 50, 10});
    column.add_stretch();
    column.relayout();
    EXPECT_EQ(45, middle.y()); // (101 - 10) / 2 truncated
}

TEST_F(FlowPanelTest, TrackedChildrenRelayOutWhenTheyResize)
{
    flow_panel row(flow_direction::horizontal, auto_size::on, track_children::on);
    attach(row, m_window->root(), {0, 0, 0, 20});
    widget a, b;
    attach(a, row, {0, 0, 30, 20});
    attach(b, row, {0, 0, 40, 20});
    row.relayout();
    EXPECT_EQ(70, row.width());
    a.set_geometry({0, 0, 50, 20});
    EXPECT_EQ(50, b.x());
    EXPECT_EQ(90, row.width());
}

TEST_F(FlowPanelTest, RemovingAChildDropsItsItemAndConnectionsButNotThePlaces)
{
    flow_panel column(flow_direction::vertical, auto_size::on, track_children::on);
    attach(column, m_window->root(), {0, 0, 100, 0});
    widget a, b;
    attach(a, column, {0, 0, 10, 30});
    attach(b, column, {0, 0, 10, 30});
    column.relayout();
    ASSERT_EQ(30, b.y());

    column.remove_child(&a);
    EXPECT_EQ(30, b.y()); // until the next relayout
    EXPECT_FALSE(event_dispatcher::instance().has_handlers(&a, event_type::hidden));
    EXPECT_FALSE(event_dispatcher::instance().has_handlers(&a, event_type::resized));
    a.set_geometry({0, 0, 10, 90});
    EXPECT_EQ(60, column.height()); // a's resize no longer reaches the panel
    column.relayout();
    EXPECT_EQ(0, b.y());
    EXPECT_EQ(30, column.height());
}

} // namespace
} // namespace zksdk::ui
