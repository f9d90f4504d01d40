// generic_button as a user meets it: presses, captures, clicks, toggles, and what it draws.
#include "toolkit/controls/generic_button.h"

#include "tests/toolkit/controls/control_test_support.h"

namespace zksdk::ui {
namespace {

using headless::draw_op;

class ButtonTest : public test::ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        test::attach(m_button, root(), {10, 10, 100, 40});
        event_dispatcher::instance().connect(
            &m_button, &m_log, event_type::clicked, [this](const event_info& info) {
                m_clicks.push_back(reinterpret_cast<uintptr_t>(info.data));
            });
    }
    void point_at(point client)
    {
        headless::send_mouse_move(native(), client);
        headless::send_mouse_move(native(), client);
    }

    generic_button m_button;
    test::event_log m_log;
    std::vector<uintptr_t> m_clicks;
};

TEST_F(ButtonTest, APressCapturesAndClicksOnlyWhenReleasedOverTheButton)
{
    point_at({50, 30});
    headless::send_mouse_down(native());
    EXPECT_EQ(&m_button, captured_widget);
    EXPECT_EQ(&native(), headless::capture_window());
    EXPECT_TRUE(m_button.is_pressed());
    headless::send_mouse_move(native(), {200, 200});
    EXPECT_FALSE(m_button.is_pressed());
    headless::send_mouse_up(native());
    EXPECT_TRUE(m_clicks.empty());
    EXPECT_EQ(nullptr, captured_widget);
    EXPECT_EQ(nullptr, headless::capture_window());

    // Dragged out and back onto the very corner (edges count as inside) before the release.
    headless::send_mouse_move(native(), {50, 30});
    headless::send_mouse_down(native());
    headless::send_mouse_move(native(), {200, 200});
    headless::send_mouse_move(native(), {110, 50});
    headless::send_mouse_up(native());
    EXPECT_EQ(std::vector<uintptr_t>{0}, m_clicks);

    headless::click(native(), {50, 30}, headless::mouse_button::right);
    EXPECT_EQ(nullptr, captured_widget); // only the left button presses
    EXPECT_EQ(1u, m_clicks.size());
}

// A button connects its own events when it is built, so one whose builder never announces it
// still paints, hovers, clicks and answers Enter.
TEST_F(ButtonTest, AButtonNeverAnnouncedAsCreatedStillPaintsAndClicks)
{
    generic_button quiet;
    test::attach(quiet, root(), {200, 10, 100, 40}, test::announcement::skipped);
    int clicks = 0;
    event_dispatcher::instance().connect(&quiet, &m_log, event_type::clicked,
                                         [&clicks](const event_info&) { ++clicks; });
    EXPECT_TRUE(first_of(paint_of(quiet), draw_op::fill_rect));
    point_at({250, 30});
    EXPECT_TRUE(quiet.is_hovered());
    headless::click(native(), {250, 30});
    m_window->set_focus(&quiet, 0);
    headless::send_key_down(native(), 13);
    EXPECT_EQ(2, clicks);
}

TEST_F(ButtonTest, PushButtonsReportFalseAndToggleButtonsFlipOnClickAndEnter)
{
    headless::click(native(), {50, 30});
    headless::send_key_down(native(), 13);
    EXPECT_EQ((std::vector<uintptr_t>{0, 0}), m_clicks);

    m_button.set_mode(button_mode::toggle);
    headless::click(native(), {50, 30});
    EXPECT_TRUE(m_button.is_toggled());
    headless::send_key_down(native(), 13);
    EXPECT_FALSE(m_button.is_toggled());
    headless::send_key_down(native(), 32); // Space activates as Enter does
    headless::send_key_down(native(), 65);
    EXPECT_EQ((std::vector<uintptr_t>{0, 0, 1, 0, 1}), m_clicks);
    EXPECT_TRUE(m_button.is_toggled());
}

TEST_F(ButtonTest, ADisabledOrDestroyedButtonLetsGoOfThePointer)
{
    widget other;
    test::attach(other, root(), {200, 100, 50, 50});
    point_at({50, 30});
    headless::send_mouse_down(native());
    m_button.set_enabled(false);
    EXPECT_EQ(nullptr, captured_widget);
    EXPECT_EQ(nullptr, headless::capture_window());
    EXPECT_FALSE(m_button.is_hovered());
    EXPECT_EQ(&other, m_window->widget_at({220, 120}));

    auto doomed = std::make_unique<generic_button>();
    test::attach(*doomed, root(), {10, 200, 50, 20});
    point_at({20, 210});
    headless::send_mouse_down(native());
    ASSERT_EQ(doomed.get(), captured_widget);
    doomed.reset();
    EXPECT_EQ(nullptr, captured_widget);
    EXPECT_EQ(nullptr, headless::capture_window());
}

TEST_F(ButtonTest, BackgroundIsPressedThenHoverThenToggledThenNormal)
{
    for (const auto& [key, red] : {std::pair{style_key("button_color_normal"), 0.1f},
                                   {style_key("button_color_toggle"), 0.3f},
                                   {style_key("button_color_hover"), 0.2f},
                                   {style_key("button_color_pressed"), 0.4f}})
        m_button.style().set(key, color{red, 0, 0, 1});
    const auto fill = [this] {
        return first_of(paint_of(m_button), draw_op::fill_rect)->state.fill.r;
    };
    EXPECT_FLOAT_EQ(0.1f, fill());
    m_button.set_toggled(true);
    EXPECT_FLOAT_EQ(0.3f, fill());
    point_at({50, 30});
    EXPECT_FLOAT_EQ(0.2f, fill()); // hover outranks toggled
    headless::send_mouse_down(native());
    EXPECT_FLOAT_EQ(0.4f, fill());
}

TEST_F(ButtonTest, ADisabledButtonDrawsEveryColourAtHalfAlpha)
{
    m_button.style().set("button_color_normal", color{0.1f, 0.2f, 0.3f, 0.8f});
    m_button.style().set("button_border_color_normal", color{1, 0, 0, 0.6f});
    m_button.style().set("button_font_color", color{0, 1, 0, 1});
    m_button.set_caption("Go");
    m_button.set_enabled(false);
    const auto calls = paint_of(m_button);
    EXPECT_EQ((color{0.1f, 0.2f, 0.3f, 0.4f}), first_of(calls, draw_op::fill_rect)->state.fill);
    EXPECT_EQ((color{1, 0, 0, 0.3f}), first_of(calls, draw_op::draw_rect)->state.stroke);
    EXPECT_EQ((color{0, 1, 0, 0.5f}), first_of(calls, draw_op::draw_text)->state.text);
}

TEST_F(ButtonTest, FocusDrawsADottedOutlineThatHoverReplaces)
{
    m_button.style().set("button_border_color_focus", color{0, 0, 1, 1});
    m_button.style().set("button_border_color_hover", color{1, 1, 0, 1});
    m_window->set_focus(&m_button, 1);
    // Focus given without the keyboard (a click) shows no mark: the plain border only.
    EXPECT_NE((color{0, 0, 1, 1}), first_of(paint_of(m_button), draw_op::draw_rect)->state.stroke);
    m_window->set_keyboard_cues(true);
    const headless::draw_call focused = *first_of(paint_of(m_button), draw_op::draw_rect);
    EXPECT_EQ(1, focused.state.dash);
    EXPECT_EQ((color{0, 0, 1, 1}), focused.state.stroke);
    point_at({50, 30});
    const headless::draw_call hovered = *first_of(paint_of(m_button), draw_op::draw_rect);
    EXPECT_EQ(0, hovered.state.dash);
    EXPECT_EQ((color{1, 1, 0, 1}), hovered.state.stroke);
}

TEST_F(ButtonTest, RoundEdgesTakeHalfTheHeightForRadiusZeroAndSkipClearFills)
{
    m_button.style().set("button_round_edges", true);
    const auto rounded = first_of(paint_of(m_button), draw_op::fill_rounded_rect);
    ASSERT_TRUE(rounded);
    EXPECT_FLOAT_EQ(20.0f, rounded->radius);
    m_button.style().set("button_color_normal", color{1, 1, 1, 0});
    const auto calls = paint_of(m_button);
    EXPECT_FALSE(first_of(calls, draw_op::fill_rounded_rect));
    EXPECT_FALSE(first_of(calls, draw_op::fill_rect));
}

TEST_F(ButtonTest, CaptionsAreClippedToOneLineOrWrappedInsideTheMargins)
{
    m_button.style().set("button_text_margins", style_int_pair{6, 2});
    EXPECT_FALSE(first_of(paint_of(m_button), draw_op::draw_text)); // no caption, no text
    m_button.set_caption("A caption far longer than the button");
    EXPECT_EQ((rect{6, 2, 88, 36}), first_of(paint_of(m_button), draw_op::draw_text)->area);
    m_button.style().set("button_text_clip", true);
    const auto clipped = first_of(paint_of(m_button), draw_op::draw_text_clipped);
    ASSERT_TRUE(clipped);
    EXPECT_EQ((rect{-500, 2, 1088, 36}), clipped->area); // centred by default
    EXPECT_EQ((rect{6, 2, 88, 36}), clipped->clip);
}

TEST_F(ButtonTest, AutoSizeFollowsTheCaptionAndTheStyleKeysThatMeasureIt)
{
    m_button.style().set("button_auto_size_min_max", style_int_pair{0, 0});
    m_button.set_caption("abcd");
    m_button.update_size();
    EXPECT_EQ(100, m_button.width()); // auto size is off
    m_button.style().set("button_font_size", 10.0f);
    m_button.style().set("button_auto_size", true);
    EXPECT_EQ((rect{10, 10, 55, 40}), m_button.geometry()); // 4 x 6 + 1 measured, + 30
    m_button.style().set("button_text_margins", style_int_pair{40, 0});
    EXPECT_EQ(80, m_button.width());
    m_button.set_caption("");
    m_button.style().set("button_text_margins", style_int_pair{0, 0});
    EXPECT_EQ(30, m_button.width());
}

TEST_F(ButtonTest, TheIconShowsItsStateFrameWhereItWasFirstCentred)
{
    m_button.style().set("button_image", strip(10, 4, 4));
    m_button.set_mode(button_mode::toggle);
    m_button.set_toggled(true);
    auto icon = first_of(paint_of(m_button), draw_op::draw_image_part_at);
    ASSERT_TRUE(icon);
    EXPECT_EQ((point{45, 18}), icon->from);
    EXPECT_EQ((rect{0, 0, 10, 4}), icon->source); // toggled needs five frames
    m_button.set_geometry({10, 10, 200, 40});
    point_at({50, 30});
    icon = first_of(paint_of(m_button), draw_op::draw_image_part_at);
    EXPECT_EQ((point{45, 18}), icon->from);
    EXPECT_EQ((rect{0, 4, 10, 4}), icon->source);
    EXPECT_FALSE(icon->picture->is_modified());

    m_button.style().set("button_image_filter_multiply", color{0.5f, 1, 1, 1});
    m_button.style().set("button_image_strech", true);
    const auto stretched = first_of(paint_of(m_button), draw_op::draw_image_part);
    ASSERT_TRUE(stretched);
    EXPECT_TRUE(stretched->picture->is_modified()); // decoded again, then multiplied
    EXPECT_EQ((rect{0, 0, 200, 40}), stretched->area);
}

TEST_F(ButtonTest, TheBackImageIsThreeSlicesOfTheStateRow)
{
    m_button.style().set("button_back_image", strip(12, 4, 2));
    point_at({50, 30});
    std::vector<std::pair<rect, rect>> slices; // source, destination
    for (const headless::draw_call& call : paint_of(m_button))
        if (call.op == draw_op::draw_image_part_at || call.op == draw_op::draw_image_part)
            slices.emplace_back(call.source, call.area);
    const std::vector<std::pair<rect, rect>> expected{
        {{0, 4, 4, 4}, {0, 0, 4, 4}}, {{4, 4, 4, 4}, {4, 0, 92, 4}}, {{8, 4, 4, 4}, {96, 0, 4, 4}}};
    EXPECT_EQ(expected, slices);
}

} // namespace
} // namespace zksdk::ui
