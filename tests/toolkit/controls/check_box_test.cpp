// check_box as a user meets it: arrangements, toggling, the bound flag and its frames.
#include "toolkit/controls/check_box.h"

#include "tests/toolkit/controls/control_test_support.h"

namespace zksdk::ui {
namespace {

using headless::draw_op;

class CheckBoxTest : public test::ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        // A 10 x 10 box from a two-frame strip; captions measure 6 units a character.
        m_box.style().set("checkbox_image", strip(10, 10, 2));
        m_box.style().set("checkbox_font_size", 10.0f);
        test::attach(m_box, root(), {10, 10, 100, 20});
        event_dispatcher::instance().connect(
            &m_box, &m_log, event_type::value_changed, [this](const event_info& info) {
                m_changes.push_back({info.phase, m_box.is_checked()});
            });
    }
    rect box_source() { return first_of(paint_of(m_box), draw_op::draw_image_part_at)->source; }

    check_box m_box;
    test::event_log m_log;
    std::vector<std::pair<int32_t, bool>> m_changes; // phase, state when raised
};

TEST_F(CheckBoxTest, ItArrivesDisabledAndCentredAndIgnoresClicksUntilEnabled)
{
    EXPECT_FALSE(m_box.is_enabled());
    // It takes presses (doing nothing with them) as well as releases.
    EXPECT_TRUE(event_dispatcher::instance().has_handlers(&m_box, event_type::mouse_down));
    EXPECT_EQ(2, m_box.layout_kind());
    EXPECT_EQ((rect{45, 5, 10, 10}), m_box.box_rect());
    headless::click(native(), {60, 20});
    EXPECT_TRUE(m_changes.empty());
    EXPECT_EQ((rect{0, 0, 10, 10}), box_source()); // two frames have no disabled look
}

TEST_F(CheckBoxTest, EachArrangementPlacesBoxAndCaption)
{
    m_box.set_caption("abc"); // 19 x 13 measured, gap 5
    const struct {
        int32_t kind;
        int32_t box_x;
        int32_t caption_x;
    } cases[] = {{0, 0, 15},  {1, 66, 81}, {2, 33, 48}, {3, 0, 81}, {4, 24, 0},
                 {5, 90, 66}, {6, 57, 33}, {7, 90, 0},  {8, 90, 0} /* unknown: unchanged */};
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.kind);
        m_box.layout(tested.kind);
        EXPECT_EQ((rect{tested.box_x, 5, 10, 10}), m_box.box_rect());
        EXPECT_EQ((rect{tested.caption_x, 3, 19, 13}), m_box.text_rect());
    }
    m_box.set_caption("");
    m_box.layout(0);
    EXPECT_EQ((rect{10, 10, 0, 0}), m_box.text_rect()); // no caption, no gap
}

TEST_F(CheckBoxTest, AnyReleaseTogglesAndRaisesValueChangedBeforeAndAfter)
{
    bool ticked = false;
    m_box.bind(&ticked);
    m_box.set_enabled(true);
    headless::send_mouse_move(native(), {60, 20});
    headless::send_mouse_move(native(), {60, 20});
    headless::send_mouse_up(native(), headless::mouse_button::right); // no press before it
    EXPECT_EQ((std::vector<std::pair<int32_t, bool>>{{0, false}, {2, true}}), m_changes);
    EXPECT_TRUE(ticked);
    m_window->set_focus(&m_box, 1);
    headless::send_char(native(), u' ');
    headless::send_key_down(native(), 13);
    EXPECT_EQ(2u, m_changes.size()); // neither the character nor Enter toggles
    headless::send_key_down(native(), 32);
    EXPECT_EQ(4u, m_changes.size()); // Space does, as a release does
    EXPECT_FALSE(ticked);
}

TEST_F(CheckBoxTest, TheBoundFlagWinsOverTheStateAndIsFlippedFromItsOwnValue)
{
    bool ticked = false;
    m_box.bind(&ticked);
    m_box.set_enabled(true);
    ticked = true;
    EXPECT_EQ((rect{0, 10, 10, 10}), box_source());
    EXPECT_TRUE(m_changes.empty());
    m_box.toggle(); // from what the user sees, not from the state before the flag changed
    EXPECT_FALSE(ticked);
    m_box.set_checked(true);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(2u, m_changes.size());
}

TEST_F(CheckBoxTest, FramesFocusAndCaptionFollowTheState)
{
    m_box.set_caption("abc");
    m_box.style().set("checkbox_image", strip(10, 10, 6));
    m_box.style().set("checkbox_font_color", color{1, 1, 1, 0.2f});
    EXPECT_EQ((rect{0, 40, 10, 10}), box_source()); // disabled
    auto calls = paint_of(m_box);
    EXPECT_FLOAT_EQ(0.5f, first_of(calls, draw_op::draw_text)->state.text.a);

    m_box.set_enabled(true);
    m_box.set_checked(true);
    m_window->set_focus(&m_box, 1);
    EXPECT_FALSE(first_of(paint_of(m_box), draw_op::draw_rect)); // no mark until keys are used
    m_window->set_keyboard_cues(true);
    calls = paint_of(m_box);
    EXPECT_EQ((rect{0, 10, 10, 10}), first_of(calls, draw_op::draw_image_part_at)->source);
    EXPECT_FLOAT_EQ(1.0f, first_of(calls, draw_op::draw_text)->state.text.a);
    const auto outline = first_of(calls, draw_op::draw_rect);
    ASSERT_TRUE(outline);
    EXPECT_EQ(m_box.box_rect(), outline->area);
    EXPECT_EQ(1, outline->state.dash);

    headless::send_mouse_move(native(), {60, 20});
    headless::send_mouse_move(native(), {60, 20});
    calls = paint_of(m_box);
    EXPECT_EQ((rect{0, 30, 10, 10}), first_of(calls, draw_op::draw_image_part_at)->source);
    EXPECT_FALSE(first_of(calls, draw_op::draw_rect)); // hover hides the focus outline
}

} // namespace
} // namespace zksdk::ui
