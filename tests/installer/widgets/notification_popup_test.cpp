// NotificationPopup as the wizard uses it: its layout from the style, and its answers from a
// modal run driven by scripted input.
#include "installer/widgets/notification_popup.h"

#include "toolkit/core/style/application_theme.h"
#include "toolkit/platform/native_window.h"

#include "tests/toolkit/controls/control_test_support.h"

#include <functional>
#include <optional>

namespace nimbic {
namespace {

using namespace zksdk::ui;
using headless::draw_call;
using headless::draw_op;

constexpr uint32_t enter_key = key_code::enter;
constexpr uint32_t escape_key = key_code::escape;

class PopupTest : public test::ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        install_theme(style_map{});
    }
    void TearDown() override
    {
        install_theme(style_map{});
        ControlTest::TearDown();
    }

    // What the popup's root widget draws under its children.
    static std::vector<draw_call> background_of(NotificationPopup& popup)
    {
        headless::clear_recording(*headless::renderer_of(popup.native()));
        headless::send_paint(popup.native(), {0, 0, 400, 400});
        std::vector<draw_call> calls;
        for (const draw_call& call : headless::recorded_calls(popup.native())) {
            if (call.widget == &popup.root() && call.op != draw_op::begin_widget &&
                call.op != draw_op::end_widget)
                calls.push_back(call);
        }
        return calls;
    }
    static point centre_of(const widget& target)
    {
        const rect area = target.window_rect();
        return {area.x + area.width / 2, area.y + area.height / 2};
    }
};

TEST_F(PopupTest, BuiltInDefaultsPlaceThePictureTheMessageAndTheCentredButtons)
{
    const std::vector<uint8_t> not_a_png{1, 2, 3, 4, 5, 6, 7, 8};
    style_image doubled = strip(100, 40, 1);
    doubled.scale = 2.0f;
    const struct {
        const char* name;
        std::optional<style_image> picture; // none: the built-in 28 x 24 picture
        rect drawn;                         // all zero: nothing drawn
        int32_t message_y;
    } cases[] = {
        {"built-in picture", std::nullopt, {186, 20, 28, 24}, 54},
        {"undecodable picture", style_image{not_a_png.data(), not_a_png.size(), 1, 1.0f}, {}, 30},
        {"two pixels a unit", doubled, {175, 20, 50, 20}, 50},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        NotificationPopup popup;
        if (tested.picture)
            popup.root().style().set("message_popup_image", *tested.picture);
        popup.setup(nullptr, "Question", "Sure?");

        EXPECT_EQ("Question", popup.native().title());
        const rect message = popup.message_label().geometry();
        EXPECT_EQ((rect{20, tested.message_y, 360, message.height}), message);
        const auto images = background_of(popup);
        const auto picture = first_of(images, draw_op::draw_image);
        if (tested.drawn == rect{}) {
            EXPECT_FALSE(picture);
            EXPECT_EQ((point{200, 20}), popup.picture_position());
        } else {
            ASSERT_TRUE(picture);
            EXPECT_EQ(tested.drawn, picture->area);
            EXPECT_FLOAT_EQ(1.0f, picture->opacity);
        }

        // Buttons 100 wide and 20 apart in the middle of a row 360 wide, one gap below the text.
        const int32_t row_y = message.y + message.height + 10;
        EXPECT_EQ((rect{90, row_y, 100, 30}), popup.yes_button().window_rect());
        EXPECT_EQ((rect{210, row_y, 100, 30}), popup.no_button().window_rect());
        EXPECT_EQ((size{400, row_y + 30 + 10}),
                  (size{popup.root().width(), popup.root().height()}));
        const int32_t height = row_y + 40;
        EXPECT_EQ((rect{760, (1080 - height) / 2, 400, height}),
                  headless::window_bounds(popup.native()));
        EXPECT_EQ(&popup.yes_button(), popup.focused_widget());
    }
}

TEST_F(PopupTest, ThemedPopupTakesTheFirstComponentMarginAndGrowsWithItsMessage)
{
    const color back{0.071f, 0.071f, 0.071f, 1}, white{1, 1, 1, 1}, grey{0.4f, 0.4f, 0.4f, 1};
    const color blue{0.024f, 0.553f, 0.867f, 1}, dark{0.141f, 0.141f, 0.141f, 1};
    style_map theme;
    theme.set("notifications_text_font_name", "tahoma");
    theme.set("notifications_text_font_size", 12.0f);
    theme.set("notifications_text_alignment", 1);
    theme.set("notifications_back_color", back);
    theme.set("notifications_window_margins", style_int_pair{70, 16});
    theme.set("notifications_component_margins", style_int_pair{12, 30});
    theme.set("rounded_button_back_color_normal", dark);
    theme.set("rounded_button_next_back_color_normal", blue);
    theme.set("rounded_button_font_color_normal", grey);
    theme.set("rounded_button_font_color_hover", white);
    install_theme(theme);

    NotificationPopup popup;
    popup.root().style().redirect("message_popup_window_margins", "notifications_window_margins");
    popup.root().style().redirect("message_popup_component_margins",
                                  "notifications_component_margins");
    popup.setup(m_window.get(), "Exit Installer",
                "Are you sure you want to cancel Nimbic Plug-in for After Effects installation?");

    const rect message = popup.message_label().geometry();
    EXPECT_EQ((rect{70, 16 + 24 + 12, 260, message.height}), message);
    EXPECT_GE(message.height, 3 * 14); // 36 units a line at 7.2 each: three lines
    const int32_t row_y = message.y + message.height + 12;
    EXPECT_EQ(row_y, popup.yes_button().window_rect().y);
    const int32_t height = row_y + 30 + 12;
    EXPECT_EQ(height, popup.root().height());
    EXPECT_EQ((rect{100, (500 - height) / 2, 400, height}),
              headless::window_bounds(popup.native())); // centred on its owner

    const auto fill = first_of(background_of(popup), draw_op::fill_rect);
    ASSERT_TRUE(fill);
    EXPECT_EQ((rect{0, 0, 400, height}), fill->area);
    EXPECT_EQ(back, fill->state.fill);

    const auto calls = headless::recorded_calls(popup.native());
    const auto drawn_by = [&](const widget& target, draw_op op) {
        for (const draw_call& call : calls) {
            if (call.widget == &target && call.op == op)
                return call;
        }
        ADD_FAILURE() << "nothing drawn";
        return draw_call{};
    };
    const draw_call text = drawn_by(popup.message_label(), draw_op::draw_text);
    EXPECT_FLOAT_EQ(12.0f, text.state.font_size);
    EXPECT_EQ(headless::horizontal_alignment::centre, text.state.horizontal);

    const struct {
        const char* name;
        const RoundedButton& button;
        color back;
        color text;
    } answers[] = {{"YES", popup.yes_button(), blue, white}, {"NO", popup.no_button(), dark, grey}};
    for (const auto& tested : answers) {
        SCOPED_TRACE(tested.name);
        EXPECT_EQ(tested.back, drawn_by(tested.button, draw_op::fill_rect).state.fill);
        const draw_call caption = drawn_by(tested.button, draw_op::draw_text);
        EXPECT_EQ(tested.name, caption.text);
        EXPECT_EQ(tested.text, caption.state.text);
    }
}

TEST_F(PopupTest, TheModalRunAnswersFromButtonsKeysAndTheCloseButton)
{
    using script = std::function<void(NotificationPopup&)>;
    const struct {
        const char* name;
        std::vector<script> steps;
        int32_t answer;
    } cases[] = {
        {"Enter", {[](auto& popup) { headless::send_key_down(popup.native(), enter_key); }}, 1},
        {"Escape", {[](auto& popup) { headless::send_key_down(popup.native(), escape_key); }}, 0},
        {"a letter changes nothing",
         {[](auto& popup) { headless::send_key_down(popup.native(), 'A'); },
          [](auto& popup) { headless::send_key_down(popup.native(), escape_key); }},
         0},
        // With the focus moved to NO, Enter is NO's click and must not turn into YES.
        {"Tab to NO, then Enter",
         {[](auto& popup) { headless::send_char(popup.native(), u'\t'); },
          [](auto& popup) { headless::send_key_down(popup.native(), enter_key); }},
         0},
        {"YES clicked",
         {[](auto& popup) { headless::click(popup.native(), centre_of(popup.yes_button())); }},
         1},
        {"NO clicked",
         {[](auto& popup) { headless::click(popup.native(), centre_of(popup.no_button())); }},
         0},
        {"close button", {[](auto& popup) { headless::request_close(popup.native()); }}, 0},
        // The popup goes while YES still holds the pointer: nothing may keep pointing at it.
        {"YES pressed, then Escape",
         {[](auto& popup) {
              headless::send_mouse_move(popup.native(), centre_of(popup.yes_button()));
              headless::send_mouse_move(popup.native(), centre_of(popup.yes_button()));
              headless::send_mouse_down(popup.native());
          },
          [](auto& popup) { headless::send_key_down(popup.native(), escape_key); }},
         0},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        {
            NotificationPopup popup;
            popup.setup(m_window.get(), "Exit Installer", "Are you sure?");
            headless::push_step([this] { EXPECT_FALSE(headless::is_input_enabled(native())); });
            for (const script& step : tested.steps)
                headless::push_step([&popup, step] { step(popup); });
            EXPECT_EQ(tested.answer, popup.run_modal());
            EXPECT_EQ(0u, headless::pending_steps()); // only the last step answered
            EXPECT_FALSE(popup.native().is_visible());
        }
        EXPECT_EQ(nullptr, captured_widget);
        EXPECT_EQ(nullptr, headless::capture_window());
        EXPECT_TRUE(headless::is_input_enabled(native()));
        EXPECT_TRUE(headless::click(native(), {50, 50}));
    }
}

} // namespace
} // namespace nimbic
