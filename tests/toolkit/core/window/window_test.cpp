// The window's router as a user drives it: clicks, double clicks, disabled widgets, Tab, the
// wheel, tooltips, timers, painting and nested modal loops.
#include "toolkit/core/window/tooltip.h"
#include "toolkit/platform/headless/recording.h"

#include "tests/toolkit/core/toolkit_fixture.h"

#include <stdexcept>
#include <utility>

namespace zksdk::ui {
namespace {

using test::attach;

class WindowTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        test::ToolkitTest::SetUp();
        m_window = make_window({0, 0, 400, 300});
        attach(m_left, m_window->root(), {10, 10, 100, 100});
        attach(m_right, m_window->root(), {112, 10, 100, 100});
        attach(m_inner, m_left, {10, 10, 50, 50});
    }
    native_window& native() { return m_window->native(); }

    std::unique_ptr<window> m_window;
    widget m_left, m_right, m_inner;
    test::event_log m_log;
};

TEST_F(WindowTest, AClickReachesTheWidgetUnderThePointerThenTheWindowAndFocusesIt)
{
    m_log.watch(&m_inner, "inner",
                {event_type::mouse_down, event_type::mouse_up, event_type::mouse_enter,
                 event_type::focus_gained});
    m_log.watch(m_window.get(), "window", {event_type::mouse_down, event_type::mouse_up});
    m_log.watch(&m_left, "left", {event_type::mouse_down});
    ASSERT_TRUE(headless::click(native(), {30, 30}));
    EXPECT_EQ("inner:5 inner:42 inner:2 window:2 inner:1 window:1", m_log.take());
    EXPECT_EQ(&m_inner, m_window->focused_widget());
    EXPECT_EQ(&m_inner, m_window->widget_at({20, 20}));
    EXPECT_EQ(&m_left, m_window->widget_at({15, 15}));
    EXPECT_EQ(&m_window->root(), m_window->widget_at({111, 50})); // the gap between the two
    EXPECT_EQ(nullptr, m_window->widget_at({400, 0}));
}

TEST_F(WindowTest, ADoubleClickSwallowsItsFinalRelease)
{
    m_log.watch(&m_inner, "inner",
                {event_type::mouse_down, event_type::mouse_up, event_type::mouse_double_click});
    event_dispatcher::instance().connect(&m_inner, &m_log, event_type::mouse_double_click,
                                         [](const event_info&) {});
    headless::click(native(), {30, 30});
    headless::send_double_click(native());
    headless::send_mouse_up(native());
    EXPECT_EQ("inner:2 inner:1 inner:3", m_log.take());
    headless::click(native(), {30, 30});
    EXPECT_EQ("inner:2 inner:1", m_log.take()); // only the one release was dropped
}

TEST_F(WindowTest, DisabledWidgetsPassMovesUpAndDropPresses)
{
    m_left.set_enabled(false);
    m_log.watch(&m_inner, "inner", {event_type::mouse_down, event_type::mouse_enter});
    m_log.watch(&m_window->root(), "root",
                {event_type::mouse_down, event_type::mouse_enter, event_type::mouse_move});
    m_log.watch(m_window.get(), "window", {event_type::mouse_down});
    headless::send_mouse_move(native(), {30, 30});
    headless::send_mouse_move(native(), {31, 30});
    headless::send_mouse_move(native(), {32, 30});
    headless::send_mouse_down(native());
    EXPECT_EQ("root:5 root:7 window:2", m_log.take());
    EXPECT_EQ(nullptr, m_window->focused_widget());
}

TEST_F(WindowTest, TabWrapsForwardShiftTabGoesBackAndKeysReachOnlyAShownFocus)
{
    widget third;
    attach(third, m_window->root(), {300, 200, 20, 20});
    for (widget* stop : {&m_left, &m_right, &third})
        stop->set_tab_stop(true);
    m_right.set_visible(false);
    headless::send_char(native(), u'\t');
    EXPECT_EQ(&m_left, m_window->focused_widget());
    headless::send_char(native(), u'\t');
    EXPECT_EQ(&third, m_window->focused_widget()); // the hidden one is skipped
    headless::send_char(native(), u'\t');
    EXPECT_EQ(&m_left, m_window->focused_widget()); // wraps
    headless::set_key(modifier_key::left_shift, true);
    headless::send_char(native(), u'\t');
    EXPECT_EQ(&third, m_window->focused_widget());
    headless::set_key(modifier_key::left_shift, false);

    // Keys reach the focused widget, but not once it is hidden (a page switched away under it).
    m_log.watch(&third, "third", {event_type::key_down, event_type::char_input});
    headless::send_key_down(native(), 32);
    headless::send_char(native(), u' ');
    third.set_visible(false);
    headless::send_key_down(native(), 32);
    headless::send_char(native(), u' ');
    EXPECT_EQ("third:8 third:11", m_log.take());
    EXPECT_EQ(&m_left, m_window->focused_widget()); // hidden, it gave the focus to a tab stop
    third.set_visible(true);

    for (widget* stop : {&m_left, &third})
        stop->set_enabled(false);
    headless::send_char(native(), u'\t');
    EXPECT_EQ(&m_left, m_window->focused_widget()); // nothing eligible: the focus stays
}

TEST_F(WindowTest, AWheelGestureStaysWithItsWidgetUntilAPause)
{
    std::string log;
    event_dispatcher::instance().connect(
        &m_left, &m_log, event_type::mouse_wheel, [&](const event_info& info) {
            log += "L" + std::to_string(int(*static_cast<double*>(info.data)));
        });
    event_dispatcher::instance().connect(&m_right, &m_log, event_type::mouse_wheel,
                                         [&](const event_info&) { log += "R"; });
    headless::send_mouse_move(native(), {105, 50});
    headless::send_wheel(native(), 120);
    EXPECT_EQ("", log); // not the keyboard-focus window: dropped
    headless::set_focus_window(&native());
    headless::send_wheel(native(), 120);
    headless::send_mouse_move(native(), {114, 50}); // onto the other widget, 9 DIPs away
    headless::advance_clock(399);
    headless::send_wheel(native(), -240);
    EXPECT_EQ("L60L-120", log);
    headless::advance_clock(400);
    headless::send_wheel(native(), 120);
    EXPECT_EQ("L60L-120R", log);

    // Moving more than 10 DIPs ends the gesture too, however quickly the next notch comes.
    headless::send_mouse_move(native(), {60, 50});
    headless::send_wheel(native(), 120);
    EXPECT_EQ("L60L-120RL60", log);
    headless::send_mouse_move(native(), {150, 50});
    headless::send_wheel(native(), 120);
    EXPECT_EQ("L60L-120RL60R", log);
}

TEST_F(WindowTest, TooltipsShowAfterARestAndNotAgainAfterAPress)
{
    m_window->add_tooltip(&m_right, {}, "Title", "Some help");
    // The tip's window comes when the pointer first meets a widget with a tip, not before.
    headless::send_mouse_move(native(), {30, 30});
    headless::advance_clock(300);
    EXPECT_EQ(nullptr, m_window->tooltip_window());
    headless::send_mouse_move(native(), {150, 50});
    headless::send_mouse_move(native(), {151, 50});
    tooltip* tip = m_window->tooltip_window();
    ASSERT_NE(nullptr, tip);
    // The first tick meets the widget, the second records the area; 0.8 s later it shows.
    headless::advance_clock(900);
    EXPECT_FALSE(tip->native().is_shown());
    headless::advance_clock(100);
    EXPECT_TRUE(tip->native().is_shown());
    EXPECT_EQ("Some help", tip->text());

    headless::send_mouse_down(native());
    headless::send_mouse_up(native());
    EXPECT_FALSE(tip->native().is_shown());
    headless::advance_clock(2000);
    EXPECT_FALSE(tip->native().is_shown()); // suppressed until the hovered widget changes

    headless::send_mouse_move(native(), {30, 30});
    headless::send_mouse_move(native(), {150, 50});
    headless::advance_clock(1000);
    EXPECT_TRUE(tip->native().is_shown());
    headless::send_mouse_move(native(), {20, 20}); // away: hidden on the next tick
    headless::advance_clock(100);
    EXPECT_FALSE(tip->native().is_shown());
}

// A tip added under a pointer already resting on its widget still shows: the window is made on
// the timer's tick.
TEST_F(WindowTest, ATooltipAddedUnderTheRestingPointerShows)
{
    m_window->add_tooltip(&m_left, {}, "", "Left");
    headless::send_mouse_move(native(), {150, 50});
    headless::send_mouse_move(native(), {151, 50});
    m_window->add_tooltip(&m_right, {}, "", "Added late");
    headless::advance_clock(1200);
    tooltip* tip = m_window->tooltip_window();
    ASSERT_NE(nullptr, tip);
    EXPECT_TRUE(tip->native().is_shown());
    EXPECT_EQ("Added late", tip->text());
}

// The tooltip reads its keys from the widget it is shown for; once that widget is gone the tip
// must be down and must never paint from it again (AddressSanitizer catches the freed read).
TEST_F(WindowTest, DestroyingTheWidgetUnderAShownTooltipHidesItAndDropsItsStyle)
{
    auto doomed = std::make_unique<widget>();
    attach(*doomed, m_window->root(), {220, 10, 100, 100});
    doomed->style().set("tooltip_back_color", color{1, 0, 0, 1});
    m_window->add_tooltip(doomed.get(), {}, "", "Going away");
    m_window->add_tooltip(&m_right, {}, "", "Stays"); // keeps the tooltip timer running
    headless::send_mouse_move(native(), {250, 50});
    headless::send_mouse_move(native(), {251, 50});
    headless::advance_clock(1000);
    tooltip* tip = m_window->tooltip_window();
    ASSERT_TRUE(tip->native().is_shown());

    doomed.reset();
    EXPECT_FALSE(tip->native().is_shown());
    headless::clear_recording(tip->painter());
    headless::send_paint(tip->native(), {0, 0, 100, 30});
    const auto& calls = headless::recorded_calls(tip->native());
    const auto fill = std::find_if(calls.begin(), calls.end(), [](const headless::draw_call& c) {
        return c.op == headless::draw_op::fill_rect;
    });
    ASSERT_NE(calls.end(), fill);
    EXPECT_EQ(tip->root().style().read_color("tooltip_back_color"), fill->state.fill);
    headless::advance_clock(1000); // the ticks that follow meet no widget
    EXPECT_FALSE(tip->native().is_shown());
}

// The native layer turns DIPs into pixels with rounding; turning them back by truncation would
// lose a unit of the wizard's 1024 x 610 at several common scales.
TEST_F(WindowTest, ADpiChangeKeepsTheClientSizeInDips)
{
    auto wizard = make_window({0, 0, 1024, 610});
    for (const int32_t dpi : {100, 110, 120, 125, 144, 150, 192}) {
        SCOPED_TRACE(dpi);
        headless::send_dpi_changed(wizard->native(), dpi, dpi,
                                   {0, 0, mul_div(1024, dpi, 96), mul_div(610, dpi, 96)});
        EXPECT_EQ((rect{0, 0, 1024, 610}), wizard->root().geometry());
    }
}

// The size message of the creation arrives before the window can pass it on, and Windows need
// not send another: the renderer must know the window's scale from the start.
TEST_F(WindowTest, TheRendererStartsAtTheWindowsClientSizeAndScale)
{
    headless::set_monitor_dpi(144, 144); // the system stays at 96
    const auto scaled = make_window({0, 0, 1024, 610});
    ASSERT_EQ(144, scaled->native().dpi_x());
    const renderer& target = scaled->painter();
    EXPECT_EQ((size{1536, 915}), headless::renderer_pixel_size(target));
    EXPECT_FLOAT_EQ(1.5f, headless::renderer_scale_x(target));
    EXPECT_FLOAT_EQ(1.5f, headless::renderer_scale_y(target));
}

TEST_F(WindowTest, TimersFireForTheirOwnerAndOneShotsOnlyOnce)
{
    std::vector<uintptr_t> fired;
    event_dispatcher::instance().connect(
        &m_left, &m_log, event_type::timer,
        [&](const event_info& info) { fired.push_back(reinterpret_cast<uintptr_t>(info.data)); });
    m_window->set_timer(&m_left, 1, 200, false);
    m_window->set_timer(&m_left, 1, 50, false); // same owner and number: ignored
    m_window->set_timer(&m_left, 2, 100, true);
    EXPECT_EQ(2u, headless::running_timers(native()).size());
    headless::advance_clock(400);
    EXPECT_EQ((std::vector<uintptr_t>{2, 1, 1}), fired);
    m_window->kill_timer(&m_left, 1);
    m_window->kill_timer(&m_left, 7); // unknown: nothing
    headless::advance_clock(400);
    EXPECT_EQ(3u, fired.size());
    EXPECT_TRUE(headless::running_timers(native()).empty());
}

TEST_F(WindowTest, TheRouterFollowsTheCapturedWidgetEverywhere)
{
    m_log.watch(&m_inner, "inner", {event_type::mouse_move, event_type::mouse_up});
    m_log.watch(&m_right, "right", {event_type::mouse_enter, event_type::mouse_up});
    headless::send_mouse_move(native(), {30, 30});
    captured_widget = &m_inner;
    headless::send_mouse_move(native(), {150, 50});
    headless::send_mouse_up(native());
    EXPECT_EQ("inner:7 inner:1", m_log.take());
}

TEST_F(WindowTest, ThePaintPassDrawsParentsFirstAndSkipsWhatLiesOutside)
{
    std::string order;
    for (auto [target, name] : {std::pair{&m_left, "L"}, {&m_right, "R"}, {&m_inner, "I"}})
        event_dispatcher::instance().connect(target, &m_log, event_type::paint,
                                             [&order, name](const event_info&) { order += name; });
    headless::send_paint(native(), {0, 0, 400, 300});
    EXPECT_EQ("LIR", order);
    order.clear();
    headless::send_paint(native(), {150, 0, 160, 20}); // left, top, right, bottom
    EXPECT_EQ("R", order);
    order.clear();
    m_left.set_visible(false);
    headless::send_paint(native(), {0, 0, 400, 300});
    EXPECT_EQ("R", order);
    EXPECT_EQ(0u, headless::open_widgets(*headless::renderer_of(native())));
    // A paint handler that throws leaves no level open, and the next pass draws whole.
    m_left.set_visible(true);
    bool fail = true;
    event_dispatcher::instance().connect(&m_inner, &m_log, event_type::paint,
                                         [&fail](const event_info&) {
                                             if (std::exchange(fail, false))
                                                 throw std::runtime_error("paint failed");
                                         });
    EXPECT_THROW(headless::send_paint(native(), {0, 0, 400, 300}), std::runtime_error);
    EXPECT_EQ(0u, headless::open_widgets(*headless::renderer_of(native())));
    order.clear();
    headless::send_paint(native(), {0, 0, 400, 300});
    EXPECT_EQ("LIR", order);
}

TEST_F(WindowTest, CloseInANestedPopupReturnsItsResultAndFreesTheOwner)
{
    int32_t popup_result = -1;
    window popup;
    popup.set_owner(m_window.get());
    popup.create("Question", {0, 0, 200, 100}, 0);
    event_dispatcher::instance().connect(
        &m_inner, &m_log, event_type::mouse_up,
        [&](const event_info&) { popup_result = popup.run_modal(); });
    headless::push_step([&] { headless::click(native(), {30, 30}); });
    headless::push_step([&] {
        EXPECT_FALSE(headless::is_input_enabled(native())); // the owner waits for the answer
        popup.close(5);
    });
    headless::push_step([&] { m_window->close(9); });
    EXPECT_EQ(9, m_window->run_modal());
    EXPECT_EQ(5, popup_result);
    EXPECT_TRUE(headless::is_input_enabled(native()));
    EXPECT_FALSE(popup.native().is_visible());
}

} // namespace
} // namespace zksdk::ui
