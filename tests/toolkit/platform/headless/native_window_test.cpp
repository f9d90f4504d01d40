// Tests of the headless native window: creation and DPI, routing rules, focus, close, timers,
// invalidation and the scripted input queue with nested modal loops.
#include "toolkit/platform/native_window.h"

#include "recording_client.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/native_services.h"

#include <gtest/gtest.h>

namespace zksdk::ui::headless {
namespace {

using names = std::vector<std::string>;

class NativeWindowTest : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    void create(native_window& window, recording_client& client, rect dips,
                native_window* owner = nullptr)
    {
        window.create_native(owner, client, dips, 0);
        client.calls.clear();
    }

    // The loop the toolkit window's run_modal runs.
    static void run(native_window& window)
    {
        window.set_running(true);
        while (window.is_running() && window.pump()) {
        }
    }
};

TEST_F(NativeWindowTest, CreationScalesTheClientAreaByTheWindowsDpi)
{
    struct dpi_case {
        point system;
        point monitor;
        size pixels;
        int32_t dpi;
    };
    const dpi_case cases[] = {
        {{96, 96}, {96, 96}, {1024, 610}, 96},
        {{144, 144}, {144, 144}, {1536, 915}, 144},
        {{96, 96}, {120, 120}, {1280, 763}, 120}, // moved to the monitor's DPI after creation
        {{144, 144}, {96, 96}, {1024, 610}, 96},
    };
    for (const dpi_case& c : cases) {
        SCOPED_TRACE(c.monitor.x);
        set_system_dpi(c.system.x, c.system.y);
        set_monitor_dpi(c.monitor.x, c.monitor.y);
        recording_client client;
        native_window window;
        window.create_native(nullptr, client, {10, 20, 1024, 610}, 0);
        EXPECT_EQ(c.pixels, window.client_pixel_size());
        EXPECT_EQ(c.dpi, window.dpi_x());
        EXPECT_EQ((rect{window_bounds(window).x, window_bounds(window).y, 1024, 610}),
                  window.client_placement());
        EXPECT_TRUE(client.calls.empty()) << "creation routes nothing";
        EXPECT_FALSE(window.is_visible());
    }
}

TEST_F(NativeWindowTest, ConvertRoundsToNearestLikeMulDiv)
{
    set_system_dpi(144, 120);
    set_monitor_dpi(144, 120);
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 100, 100});
    EXPECT_EQ((point{15, 13}), window.convert({10, 10}, conversion::to_pixels));
    EXPECT_EQ((point{-15, -13}), window.convert({-10, -10}, conversion::to_pixels));
    EXPECT_EQ((point{7, 8}), window.convert({10, 10}, conversion::to_dips)); // 6.67, 8.0
    EXPECT_EQ((point{2, 1}), window.convert({1, 1}, conversion::to_pixels)); // 1.5 and 1.25
}

TEST_F(NativeWindowTest, FirstMoveOnlyStartsTrackingAndLeavingRearmsIt)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 200, 100});
    EXPECT_TRUE(send_mouse_move(window, {5, 5}));
    EXPECT_TRUE(client.calls.empty());
    send_mouse_move(window, {6, 6});
    send_mouse_leave(window);
    send_mouse_move(window, {7, 7});
    send_mouse_move(window, {8, 8});
    EXPECT_EQ((names{"move", "leave", "move"}), client.names());
    EXPECT_EQ((point{8, 8}), screen_to_client(window, pointer_screen_position()));
}

TEST_F(NativeWindowTest, MovingOntoAnotherWindowLeavesTheFirst)
{
    recording_client first_client, second_client;
    native_window first, second;
    create(first, first_client, {0, 0, 100, 100});
    create(second, second_client, {200, 0, 100, 100});
    send_mouse_move(first, {1, 1});
    send_mouse_move(second, {1, 1});
    EXPECT_EQ((names{"leave"}), first_client.names());
    EXPECT_FALSE(is_tracking(first));
    EXPECT_TRUE(is_tracking(second));
}

TEST_F(NativeWindowTest, ButtonsAndWheelCarryTheirNumbers)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 200, 100});
    send_mouse_down(window, mouse_button::left);
    send_mouse_up(window, mouse_button::middle);
    send_mouse_down(window, mouse_button::right);
    send_x_button(window, 1, true);
    send_x_button(window, 2, false);
    EXPECT_FALSE(send_x_button(window, 3, true));
    send_wheel(window, -120);
    const std::vector<routed> expected{{"down", 0}, {"up", 1}, {"down", 2},
                                       {"down", 3}, {"up", 4}, {"wheel", -60}};
    EXPECT_EQ(expected, client.calls);
}

TEST_F(NativeWindowTest, DoubleClickIsRoutedOnlyToSomeoneListening)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 200, 100});
    send_double_click(window, mouse_button::right);
    client.double_click_handlers = true;
    send_double_click(window, mouse_button::left);
    EXPECT_FALSE(send_double_click(window, mouse_button::x1));
    EXPECT_EQ((std::vector<routed>{{"down", 2}, {"double", 0}}), client.calls);
}

TEST_F(NativeWindowTest, ClickEntersMovesPressesAndReleases)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 200, 100});
    EXPECT_TRUE(click(window, {50, 40}));
    EXPECT_EQ((names{"move", "down", "up"}), client.names());
}

TEST_F(NativeWindowTest, KeysRouteThePlainAndTheExtendedForm)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 200, 100});
    send_key_down(window, 0x41, 0x1E0001);
    send_key_up(window, 0x41);
    send_char(window, u'\t');
    const std::vector<routed> expected{
        {"key_down", 0x41}, {"key_down_extended", 0x41, 0x1E0001}, {"key_up", 0x41}, {"char", 9}};
    EXPECT_EQ(expected, client.calls);
}

TEST_F(NativeWindowTest, CaptureSendsPointerInputToTheCapturingWindow)
{
    recording_client first_client, second_client;
    native_window first, second;
    create(first, first_client, {0, 0, 100, 100});
    create(second, second_client, {200, 0, 100, 100});
    send_mouse_move(first, {1, 1});
    capture_mouse(first);
    send_mouse_move(second, {1, 1});
    send_mouse_up(second);
    release_mouse_capture();
    EXPECT_EQ((names{"move", "up"}), first_client.names());
    EXPECT_TRUE(second_client.calls.empty());
    EXPECT_EQ(nullptr, capture_window());
}

TEST_F(NativeWindowTest, ShowingActivatesAndFocusMovesBetweenWindows)
{
    recording_client first_client, second_client;
    native_window first, second;
    create(first, first_client, {0, 0, 100, 100});
    create(second, second_client, {0, 0, 100, 100}, &first);
    first.show();
    second.show(activation::no_activate);
    EXPECT_TRUE(first.is_focus_window());
    second.show();
    second.hide();
    second.focus_owner();
    EXPECT_EQ((names{"focus_gained", "focus_lost", "focus_gained"}), first_client.names());
    EXPECT_EQ((names{"focus_gained", "focus_lost"}), second_client.names());
    EXPECT_EQ(&first, focus_window());
}

TEST_F(NativeWindowTest, DisabledOwnerDropsInputAndCannotTakeFocus)
{
    recording_client owner_client, popup_client;
    native_window owner, popup;
    create(owner, owner_client, {0, 0, 300, 300});
    create(popup, popup_client, {0, 0, 100, 100}, &owner);
    popup.set_owner_enabled(false);
    EXPECT_FALSE(send_mouse_down(owner));
    EXPECT_FALSE(send_key_down(owner, 13));
    owner.focus();
    EXPECT_TRUE(owner_client.calls.empty());
    popup.set_owner_enabled(true);
    EXPECT_TRUE(send_mouse_down(owner));
}

TEST_F(NativeWindowTest, CloseRequestHidesUnlessSomeoneKeepsTheWindowOpen)
{
    recording_client owner_client, popup_client;
    native_window owner, popup;
    create(owner, owner_client, {0, 0, 300, 300});
    create(popup, popup_client, {0, 0, 100, 100}, &owner);
    popup.set_owner_enabled(false);
    popup.show();
    popup.set_running(true);
    popup_client.keeps_open = true;
    EXPECT_FALSE(request_close(popup));
    EXPECT_TRUE(popup.is_running() && popup.is_visible());
    popup_client.keeps_open = false;
    EXPECT_TRUE(request_close(popup));
    EXPECT_FALSE(popup.is_running() || popup.is_visible());
    EXPECT_TRUE(is_input_enabled(owner));
    EXPECT_TRUE(owner.is_focus_window());
}

TEST_F(NativeWindowTest, DestroyingAPopupReenablesAndFocusesItsOwner)
{
    recording_client owner_client;
    native_window owner;
    create(owner, owner_client, {0, 0, 300, 300});
    {
        native_window popup;
        recording_client popup_client;
        create(popup, popup_client, {0, 0, 100, 100}, &owner);
        popup.set_owner_enabled(false);
        popup.show();
    }
    EXPECT_TRUE(is_input_enabled(owner));
    EXPECT_EQ(&owner, focus_window());
}

TEST_F(NativeWindowTest, TimersFireWhileRunningAndInTimeOrder)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 100, 100});
    EXPECT_EQ(1u, window.next_timer_id());
    EXPECT_EQ(2u, window.next_timer_id());
    window.start_timer(1, 200);
    window.start_timer(0xFFFFFFFF, 100);
    EXPECT_FALSE(fire_timer(window, 7));
    advance_clock(450);
    EXPECT_EQ(450, monotonic_milliseconds());
    const std::vector<routed> expected{{"timer", 0xFFFFFFFF}, {"timer", 1}, {"timer", 0xFFFFFFFF},
                                       {"timer", 0xFFFFFFFF}, {"timer", 1}, {"timer", 0xFFFFFFFF}};
    EXPECT_EQ(expected, client.calls);
    window.stop_timer(1);
    EXPECT_EQ((std::map<uint32_t, uint32_t>{{0xFFFFFFFF, 100}}), running_timers(window));
}

TEST_F(NativeWindowTest, InvalidationIsClippedToTheClientAndPaintedOnlyWhenVisible)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 100, 50});
    window.invalidate({90, 40, 30, 30});
    window.invalidate({10, 10, 0, 5});   // empty: logged, nothing pending
    window.invalidate({200, 0, 10, 10}); // outside the client area
    EXPECT_EQ(3u, invalidations(window).size());
    EXPECT_EQ((rect{90, 40, 100, 50}), pending_update(window));
    window.update_now();
    EXPECT_TRUE(client.calls.empty()) << "a hidden window is not painted";
    window.show(activation::no_activate);
    EXPECT_EQ((rect{0, 0, 100, 50}), pending_update(window));
    window.update_now();
    EXPECT_EQ((std::vector<routed>{{"paint", 100, 50}}), client.calls);
    EXPECT_EQ(rect{}, pending_update(window));
}

TEST_F(NativeWindowTest, AreaInvalidatedDuringPaintOutsideTheUpdateStaysPending)
{
    struct invalidating_client : recording_client {
        native_window* target = nullptr;
        void paint_native(rect update) override
        {
            recording_client::paint_native(update);
            target->invalidate({50, 50, 10, 10});
        }
    };
    native_window window;
    invalidating_client client;
    client.target = &window;
    window.create_native(nullptr, client, {0, 0, 100, 100}, 0);
    window.show(activation::no_activate);
    send_paint(window, {0, 0, 20, 20});
    EXPECT_EQ((rect{0, 0, 100, 100}), pending_update(window)) << "only part was validated";
    send_paint(window, {0, 0, 100, 100});
    EXPECT_EQ(rect{}, pending_update(window));
    window.invalidate({0, 0, 10, 10});
    send_paint(window, {0, 0, 10, 10});
    EXPECT_EQ((rect{50, 50, 60, 60}), pending_update(window));
}

TEST_F(NativeWindowTest, SetBoundsAndDpiChangeResizeBeforeRouting)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 100, 100});
    window.set_bounds({300, 200, 150, 100});
    window.set_bounds({310, 200, 150, 100}); // same size: a move routes nothing
    send_dpi_changed(window, 144, 144, {0, 0, 225, 150});
    const std::vector<routed> expected{{"pixels", 150, 100},
                                       {"resized", 150, 100},
                                       {"pixels", 225, 150},
                                       {"resized", 150, 100},
                                       {"dpi_changed", 225, 144}};
    EXPECT_EQ(expected, client.calls);
    EXPECT_EQ(144, window.dpi_y());
}

TEST_F(NativeWindowTest, CenterUsesTheOwnerAndStaysInsideTheWorkArea)
{
    set_screen({1920, 1080}, {0, 0, 1920, 1040});
    recording_client main_client, popup_client, big_client;
    native_window main, popup, big;
    create(main, main_client, {0, 0, 1024, 610});
    main.center();
    EXPECT_EQ((rect{448, 235, 1024, 610}), window_bounds(main));
    create(popup, popup_client, {0, 0, 400, 200}, &main);
    popup.center();
    EXPECT_EQ((rect{760, 440, 400, 200}), window_bounds(popup));
    create(big, big_client, {0, 0, 2000, 1100});
    big.center(); // wider and taller than the work area: one pixel inside its top-left
    EXPECT_EQ((rect{1, 1, 2000, 1100}), window_bounds(big));
}

TEST_F(NativeWindowTest, NestedModalLoopRunsTheFollowingStepsThenReturns)
{
    recording_client main_client, popup_client;
    native_window main, popup;
    create(main, main_client, {0, 0, 400, 300});
    create(popup, popup_client, {0, 0, 200, 100}, &main);
    std::vector<std::string> trace;
    main_client.on_route = [&](event_type code) {
        if (code != event_type::mouse_up) {
            return;
        }
        trace.push_back("popup opens");
        popup.set_owner_enabled(false);
        popup.show();
        run(popup);
        trace.push_back("popup returned");
    };
    popup_client.on_route = [&](event_type code) {
        if (code == event_type::mouse_up) {
            popup.set_running(false);
            popup.set_owner_enabled(true);
            popup.focus_owner();
            popup.hide();
        }
    };
    push_step([&] { click(main, {10, 10}); });
    push_step([&] {
        trace.push_back(send_mouse_down(main) ? "owner took input" : "owner disabled");
        click(popup, {20, 20});
    });
    push_step([&] { trace.push_back("main again"); });
    push_step([&] { trace.push_back("never"); });
    main.show();
    main.set_running(true);
    while (main.is_running() && main.pump()) {
        if (trace.size() == 4) {
            main.set_running(false);
        }
    }
    EXPECT_EQ(
        (std::vector<std::string>{"popup opens", "owner disabled", "popup returned", "main again"}),
        trace);
    EXPECT_EQ(1u, pending_steps());
    // Showing made both windows paint before the next scripted input.
    EXPECT_EQ("paint", popup_client.calls.at(1).what);
}

TEST_F(NativeWindowTest, EmptyQueueEndsTheLoopInsteadOfWaiting)
{
    recording_client client;
    native_window window;
    create(window, client, {0, 0, 100, 100});
    run(window);
    EXPECT_TRUE(window.is_running()) << "the loop ends; the flag is the toolkit's to clear";
}

} // namespace
} // namespace zksdk::ui::headless
