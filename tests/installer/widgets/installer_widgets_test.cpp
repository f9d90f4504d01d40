// The wizard's drawn widgets as the headless renderer records them: pill buttons, links,
// separators, the progress bar and the result check boxes.
#include "installer/widgets/break_line.h"
#include "installer/widgets/installed_checkbox.h"
#include "installer/widgets/link_button.h"
#include "installer/widgets/progress_bar.h"
#include "installer/widgets/rounded_button.h"

#include "toolkit/platform/renderer.h"

#include "tests/toolkit/controls/control_test_support.h"

#include <functional>

namespace nimbic {
namespace {

using namespace zksdk::ui;
using headless::draw_call;
using headless::draw_op;

class InstallerWidgetsTest : public test::ControlTest {
protected:
    void point_at(point client)
    {
        headless::send_mouse_move(native(), client);
        headless::send_mouse_move(native(), client);
    }
    static std::vector<draw_call> fills(const std::vector<draw_call>& calls)
    {
        std::vector<draw_call> found;
        for (const draw_call& call : calls) {
            if (call.op == draw_op::fill_ellipse || call.op == draw_op::fill_rect)
                found.push_back(call);
        }
        return found;
    }
};

TEST_F(InstallerWidgetsTest, RoundedButtonDrawsTwoDiscsAndABandBetweenTheirCentres)
{
    const struct {
        size button;
        int32_t centre; // half the height, rounded half away from zero
        float radius;
        rect band;
    } cases[] = {
        {{110, 30}, 15, 14.0f, {15, 1, 80, 28}},
        {{100, 31}, 16, 14.5f, {16, 1, 68, 29}},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.button.height);
        RoundedButton button;
        button.style().set("button_border_color_normal", color{1, 0, 0, 1});
        test::attach(button, root(), {20, 20, tested.button.width, tested.button.height});
        const auto calls = fills(paint_of(button));
        ASSERT_EQ(3u, calls.size());
        EXPECT_EQ((point{tested.centre, tested.centre}), calls[0].from);
        EXPECT_EQ((point{tested.button.width - tested.centre, tested.centre}), calls[1].from);
        for (const draw_call& disc : {calls[0], calls[1]}) {
            EXPECT_EQ(draw_op::fill_ellipse, disc.op);
            EXPECT_FLOAT_EQ(tested.radius, disc.radius);
            EXPECT_EQ(rect{}, disc.clip);
        }
        EXPECT_EQ(tested.band, calls[2].area);
        EXPECT_EQ(3u, paint_of(button).size()); // no border and, without a caption, no text
    }
}

TEST_F(InstallerWidgetsTest, RoundedButtonColoursFollowHoverAndDisabledWinsUndimmed)
{
    const color back_normal{0.1f, 0, 0, 1}, back_hover{0.2f, 0, 0, 1}, back_off{0.3f, 0, 0, 1};
    const color text_normal{0, 0.1f, 0, 1}, text_hover{0, 0.2f, 0, 1}, text_off{0, 0.3f, 0, 1};
    widget holder;
    test::attach(holder, root(), {0, 0, 300, 100});
    RoundedButton button;
    button.style().set("button_color_normal", back_normal);
    button.style().set("button_color_hover", back_hover);
    button.style().set("rounded_button_back_color_disabled", back_off);
    button.style().set("button_font_color", text_normal);
    button.style().set("button_font_color_hover", text_hover);
    button.style().set("rounded_button_font_color_disabled", text_off);
    button.style().set("button_text_underlined", true);
    test::attach(button, holder, {20, 20, 110, 30});
    button.set_caption("GO");

    // Steps in order; each starts from the state the one before left.
    const struct {
        const char* name;
        std::function<void()> step;
        bool hovered;
        color back;
        color text;
    } steps[] = {
        {"normal", [] {}, false, back_normal, text_normal},
        {"hovered",
         [&] {
             point_at({50, 30});
         },
         true, back_hover, text_hover},
        // Disabled through its parent, the button hears nothing and keeps its hover.
        {"hovered, parent disabled", [&] { holder.set_enabled(false); }, true, back_off, text_off},
        {"disabled itself",
         [&] {
             holder.set_enabled(true);
             button.set_enabled(false);
         },
         false, back_off, text_off},
    };
    for (const auto& tested : steps) {
        SCOPED_TRACE(tested.name);
        tested.step();
        ASSERT_EQ(tested.hovered, button.is_hovered());
        const auto calls = paint_of(button);
        for (const draw_call& fill : fills(calls)) {
            EXPECT_EQ(tested.back, fill.state.fill);
        }
        const auto text = first_of(calls, draw_op::draw_text);
        ASSERT_TRUE(text);
        EXPECT_EQ(tested.text, text->state.text);
        EXPECT_EQ((rect{0, 0, 110, 30}), text->area);
        EXPECT_EQ(headless::horizontal_alignment::centre, text->state.horizontal);
        EXPECT_EQ(headless::vertical_alignment::centre, text->state.vertical);
        EXPECT_FALSE(text->state.underline);
    }
}

TEST_F(InstallerWidgetsTest, LinkButtonUnderlinesAndShowsTheHandOnlyWhileThePointerIsOnIt)
{
    constexpr uint32_t arrow = 0;
    constexpr uint32_t hand = 6;
    LinkButton link;
    test::attach(link, root(), {180, 450, 210, 15});
    link.set_caption("Licence Agreement");
    const auto underlined = [&] {
        return first_of(paint_of(link), draw_op::draw_text)->state.underline;
    };
    EXPECT_FALSE(underlined());
    point_at({200, 455});
    EXPECT_TRUE(underlined());
    EXPECT_EQ(hand, headless::current_cursor());
    point_at({200, 300});
    EXPECT_FALSE(underlined());
    EXPECT_EQ(arrow, headless::current_cursor());

    // Hidden and disabled under the pointer, as a page switch does: the leave never reaches it.
    point_at({200, 455});
    link.set_visible(false);
    link.set_enabled(false);
    EXPECT_EQ(arrow, headless::current_cursor());
    point_at({200, 300});
    link.set_visible(true);
    link.set_enabled(true);
    EXPECT_FALSE(underlined());
}

TEST_F(InstallerWidgetsTest, BreakLineDrawsOneSolidPixelLineAtHalfTheHeight)
{
    const color grey{0.204f, 0.204f, 0.204f, 1};
    for (const auto& [height, y] : {std::pair{15, 7}, {16, 8}}) {
        SCOPED_TRACE(height);
        BreakLine line;
        line.style().set("breakline_color", grey);
        test::attach(line, root(), {20, 40, 300, height});
        m_window->painter().set_dash(2); // left behind by whatever drew before
        const auto calls = paint_of(line);
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ((point{0, y}), calls[0].from);
        EXPECT_EQ((point{300, y}), calls[0].to);
        EXPECT_EQ(0, calls[0].state.dash);
        EXPECT_EQ(grey, calls[0].state.stroke);
        EXPECT_FLOAT_EQ(1.0f, calls[0].state.stroke_width);
    }
}

TEST_F(InstallerWidgetsTest, ProgressBarFillsItsTrackThenAGradientToTheRoundedProgress)
{
    const color back{0, 0, 0, 1}, top{0, 0.5f, 0.8f, 1}, bottom{0, 0.3f, 0.4f, 1};
    const struct {
        int32_t width;
        float progress;
        int32_t filled; // 0: no gradient at all
    } cases[] = {
        {101, 0.5f, 51}, // 50.5 rounds away from zero
        {101, 0.0f, 0},   {101, 1.0f, 101}, {100, 0.004f, 0},
        {100, 1.5f, 100}, {100, -0.5f, 0}, // out of range: kept inside the track
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(testing::Message() << tested.width << " at " << tested.progress);
        ProgressBar bar;
        bar.style().set("progress_bar_back_color", back);
        bar.style().set("progress_bar_color1", top);
        bar.style().set("progress_bar_color2", bottom);
        test::attach(bar, root(), {10, 10, tested.width, 12});
        bar.set_progress(tested.progress);
        const auto calls = paint_of(bar);
        ASSERT_EQ(tested.filled == 0 ? 1u : 2u, calls.size());
        EXPECT_EQ((rect{0, 0, tested.width, 12}), calls[0].area);
        EXPECT_EQ(back, calls[0].state.fill);
        if (tested.filled != 0) {
            EXPECT_EQ((rect{0, 0, tested.filled, 12}), calls[1].area);
            EXPECT_EQ(top, calls[1].top);
            EXPECT_EQ(bottom, calls[1].bottom);
        }
    }
}

TEST_F(InstallerWidgetsTest, InstalledCheckboxShowsOnlyTheCheckedFrameAndUnfadedText)
{
    const color grey{0.729f, 0.729f, 0.729f, 1};
    InstalledCheckbox box;
    // A full six-frame strip: its hover and disabled frames must never show.
    box.style().set("checkbox_image", strip(10, 10, 6));
    box.style().set("checkbox_back_color", color{1, 0, 0, 1});
    box.style().set("checkbox_font_color", grey);
    test::attach(box, root(), {10, 10, 200, 20});
    box.set_caption("After Effects 2024");
    box.layout(0);
    m_window->set_focus(&box, 1);

    const struct {
        bool enabled;
        bool hovered;
        bool checked;
    } cases[] = {{false, false, false},
                 {false, false, true},
                 {true, true, false},
                 {true, true, true},
                 {true, false, true}};
    for (const auto& tested : cases) {
        SCOPED_TRACE(testing::Message() << tested.enabled << tested.hovered << tested.checked);
        box.set_enabled(tested.enabled);
        point_at(tested.hovered ? point{15, 20} : point{400, 400});
        box.set_checked(tested.checked);
        ASSERT_EQ(tested.hovered, box.is_hovered());
        const auto calls = paint_of(box);
        ASSERT_EQ(2u, calls.size()); // no background, no focus mark
        EXPECT_EQ((point{box.box_rect().x, box.box_rect().y}), calls[0].from);
        EXPECT_EQ((rect{0, tested.checked ? 10 : 0, 10, 10}), calls[0].source);
        EXPECT_EQ(draw_op::draw_text, calls[1].op);
        EXPECT_EQ(box.text_rect(), calls[1].area);
        EXPECT_EQ(grey, calls[1].state.text);
        EXPECT_EQ(headless::horizontal_alignment::leading, calls[1].state.horizontal);
        EXPECT_EQ(headless::vertical_alignment::centre, calls[1].state.vertical);
    }
}

} // namespace
} // namespace nimbic
