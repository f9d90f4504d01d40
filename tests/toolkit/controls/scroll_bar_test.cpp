// scroll_bar as a user meets it: the thumb, dragging, track and arrow clicks, the wheel, and
// content or viewport that change size.
#include "toolkit/controls/scroll_bar.h"

#include "tests/toolkit/controls/control_test_support.h"

namespace zksdk::ui {
namespace {

using headless::draw_op;

class ScrollBarTest : public test::ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        test::attach(m_viewport, root(), {0, 0, 200, 400});
        test::attach(m_content, m_viewport, {0, 0, 180, 1000});
        test::attach(m_bar, m_viewport, {185, 0, 15, 400});
        m_bar.attach(&m_content);
        event_dispatcher::instance().connect(
            &m_bar, &m_log, event_type::value_changed, [this](const event_info& info) {
                m_values.push_back(reinterpret_cast<intptr_t>(info.data));
            });
    }
    void point_at(point client)
    {
        headless::send_mouse_move(native(), client);
        headless::send_mouse_move(native(), client);
    }

    widget m_viewport, m_content;
    scroll_bar m_bar;
    test::event_log m_log;
    std::vector<intptr_t> m_values;
};

TEST_F(ScrollBarTest, TheThumbShowsTheVisibleShareAtThePosition)
{
    EXPECT_EQ(600, m_bar.range());
    EXPECT_FLOAT_EQ(0.4f, m_bar.ratio());
    EXPECT_EQ((rect{0, 0, 15, 160}), m_bar.thumb());
    m_bar.scroll_to(300, scroll_snap::exact);
    EXPECT_EQ(-300, m_content.y());
    EXPECT_EQ((rect{0, 120, 15, 160}), m_bar.thumb());
    EXPECT_EQ(std::vector<intptr_t>{300}, m_values);
    EXPECT_TRUE(m_bar.is_visible(false));

    const auto calls = paint_of(m_bar);
    EXPECT_EQ((rect{0, 0, 15, 400}), first_of(calls, draw_op::fill_rect)->area);
    std::vector<std::pair<point, point>> grips;
    for (const headless::draw_call& call : calls)
        if (call.op == draw_op::draw_line)
            grips.emplace_back(call.from, call.to);
    const std::vector<std::pair<point, point>> expected{
        {{4, 197}, {11, 197}}, {{4, 200}, {11, 200}}, {{4, 203}, {11, 203}}};
    EXPECT_EQ(expected, grips);
}

TEST_F(ScrollBarTest, DraggingTheThumbCapturesThePointerAndMovesInWholeSteps)
{
    point_at({190, 10});
    headless::send_mouse_down(native());
    EXPECT_EQ(&m_bar, captured_widget);
    EXPECT_EQ(&native(), headless::capture_window());
    headless::send_mouse_move(native(), {190, 51}); // 41 track units: 102 content units
    EXPECT_EQ(-100, m_content.y());
    headless::send_mouse_move(native(), {300, 480}); // past the end, off the bar
    EXPECT_EQ(-600, m_content.y());
    headless::send_mouse_up(native());
    EXPECT_EQ(nullptr, captured_widget);
    EXPECT_EQ(nullptr, headless::capture_window());
    EXPECT_FALSE(m_bar.is_dragging());
}

TEST_F(ScrollBarTest, TrackClicksJumpAndArrowButtonsMoveOneStep)
{
    headless::click(native(), {190, 300}); // below the thumb
    EXPECT_EQ(350, m_bar.position());
    headless::click(native(), {190, 50}); // above it
    EXPECT_EQ(125, m_bar.position());

    m_bar.set_buttons(scroll_buttons::shown);
    EXPECT_EQ((rect{0, 385, 15, 15}), m_bar.second_button());
    EXPECT_EQ(148, m_bar.thumb().height); // the buttons shorten the track
    headless::click(native(), {190, 390});
    EXPECT_EQ(135, m_bar.position());
    headless::click(native(), {190, 5});
    headless::click(native(), {190, 5});
    EXPECT_EQ(115, m_bar.position());
}

TEST_F(ScrollBarTest, TheWheelFollowsTheModifierRules)
{
    const struct {
        const char* name;
        std::vector<modifier_key> held;
        int32_t multiplier;
        int16_t delta;
        int32_t expected;
    } cases[] = {
        {"plain, up", {}, 2, 120, 240},
        {"plain, down", {}, 2, -120, 360},
        {"control", {modifier_key::control}, 2, 120, 300},
        {"AltGr", {modifier_key::control, modifier_key::right_alt}, 2, 120, 240},
        {"shift", {modifier_key::left_shift}, 2, 120, 180},
        {"shift, no multiplier", {modifier_key::right_shift}, 0, 120, 300},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        m_bar.scroll_to(300, scroll_snap::exact);
        m_bar.style().set("scroll_speed_multiplier", tested.multiplier);
        for (modifier_key key : tested.held)
            headless::set_key(key, true);
        for (point over : {point{50, 50}, point{190, 350}}) { // the content, then the bar
            point_at(over);
            m_bar.scroll_to(300, scroll_snap::exact);
            headless::send_wheel(native(), tested.delta);
            EXPECT_EQ(tested.expected, m_bar.position());
        }
        for (modifier_key key : tested.held)
            headless::set_key(key, false);
    }
}

TEST_F(ScrollBarTest, AThumbAsLongAsTheTrackNeverMoves)
{
    m_bar.style().set("scroll_min_size", 1000);
    m_bar.update();
    EXPECT_EQ(600, m_bar.range());
    EXPECT_EQ((rect{0, 0, 15, 400}), m_bar.thumb());
    point_at({190, 100});
    headless::send_mouse_down(native());
    headless::send_mouse_move(native(), {190, 300});
    headless::send_mouse_up(native());
    EXPECT_EQ(0, m_content.y());
    EXPECT_TRUE(m_values.empty());
}

TEST_F(ScrollBarTest, TheBarFollowsContentThatShrinksGrowsOrGoes)
{
    m_bar.scroll_to(600, scroll_snap::exact);
    m_content.set_geometry({0, -600, 180, 800}); // scrolled to the end: pulled back
    EXPECT_EQ(-400, m_content.y());
    m_content.set_geometry({0, -400, 180, 300});
    EXPECT_EQ(0, m_content.y());
    EXPECT_FALSE(m_bar.is_visible(false)); // it fits
    m_content.set_geometry({0, 0, 180, 1000});
    EXPECT_TRUE(m_bar.is_visible(false));

    auto doomed = std::make_unique<widget>();
    test::attach(*doomed, m_viewport, {0, 0, 180, 2000});
    m_bar.attach(doomed.get());
    EXPECT_EQ(1600, m_bar.range());
    doomed.reset();
    EXPECT_EQ(nullptr, m_bar.content());
    EXPECT_FALSE(m_bar.is_visible(false));
    m_viewport.set_geometry({0, 0, 200, 450}); // reaches nothing that is gone
    headless::click(native(), {190, 100});
}

TEST_F(ScrollBarTest, AGrowingViewportShowsNoEmptySpaceAfterTheContent)
{
    m_bar.scroll_to(600, scroll_snap::exact);
    m_viewport.set_geometry({0, 0, 200, 500});
    EXPECT_EQ(-500, m_content.y());
    EXPECT_EQ(500, m_bar.position());
}

TEST_F(ScrollBarTest, ArrowsComeFromTheirHalfOfThePicture)
{
    m_bar.set_buttons(scroll_buttons::shown);
    std::vector<std::pair<point, rect>> arrows;
    for (const headless::draw_call& call : paint_of(m_bar))
        if (call.op == draw_op::draw_image_part_at)
            arrows.emplace_back(call.from, call.source);
    const std::vector<std::pair<point, rect>> expected{{{3, 5}, {0, 0, 8, 4}},
                                                       {{3, 390}, {0, 4, 8, 4}}};
    EXPECT_EQ(expected, arrows);
}

} // namespace
} // namespace zksdk::ui
