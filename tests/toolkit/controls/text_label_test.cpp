// The text label as a user sees it: sizing to its text, links under the pointer, what it draws.
#include "toolkit/controls/text_label.h"
#include "toolkit/platform/headless/recording.h"

#include "tests/toolkit/core/toolkit_fixture.h"

namespace zksdk::ui {
namespace {

using test::attach;

constexpr uint32_t hand = 6;
constexpr uint32_t arrow = 0;

class TextLabelTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        test::ToolkitTest::SetUp();
        m_window = make_window({0, 0, 400, 300});
        attach(m_label, m_window->root(), {10, 10, 300, 100});
        m_label.style().set("label_text_valign", int32_t(1)); // top, so lines start at y = 0
    }
    native_window& native() { return m_window->native(); }
    void show_markup(std::string_view markup)
    {
        m_label.set_mode(label_mode::markup);
        m_label.set_markup(markup);
        m_label.update_size();
        m_label.update_links();
        m_label.invalidate(false);
    }
    // The pointer at a point of the label: the first move only starts tracking and the second
    // enters the label, so a third is the first the label sees as a move.
    void move_to(point label_point)
    {
        for (int i = 0; i < 3; ++i)
            headless::send_mouse_move(native(), {10 + label_point.x, 10 + label_point.y});
    }
    std::vector<headless::draw_call> label_drawing(const text_label* label = nullptr)
    {
        label = label ? label : &m_label;
        renderer& target = *headless::renderer_of(native());
        headless::clear_recording(target);
        headless::send_paint(native(), {0, 0, 400, 300});
        std::vector<headless::draw_call> calls;
        for (const headless::draw_call& call : headless::recorded_calls(target))
            if (call.widget == label && call.op != headless::draw_op::begin_widget &&
                call.op != headless::draw_op::end_widget)
                calls.push_back(call);
        return calls;
    }

    std::unique_ptr<window> m_window;
    text_label m_label;
};

TEST_F(TextLabelTest, AutoSizeFollowsTextFontAndMarkupRuns)
{
    // 11-unit Tahoma: 6.6 per character, 13.2 per line; measuring adds 1, fitting another 1.
    m_label.set_text("Hello", label_fit::to_text, label_fit::to_text);
    EXPECT_EQ((rect{10, 10, 35, 15}), m_label.geometry());
    m_label.style().set("label_font_size", 20.0f); // a style change measures again
    EXPECT_EQ((rect{10, 10, 62, 26}), m_label.geometry());
    m_label.set_text("", label_fit::to_text, label_fit::fixed);
    EXPECT_EQ((rect{10, 10, 1, 26}), m_label.geometry());
    m_label.set_text("Hello there", label_fit::fixed, label_fit::fixed);
    EXPECT_EQ((rect{10, 10, 1, 26}), m_label.geometry());

    m_label.style().set("label_font_size", 11.0f);
    m_label.set_fit(label_fit::to_text, label_fit::fixed);
    show_markup("<font size=\"5\">AB</font>"); // measured in the run's 20-unit font
    EXPECT_EQ(26, m_label.width());
    // Back in plain mode the markup's runs no longer style the text.
    m_label.set_mode(label_mode::plain);
    m_label.set_text("AB", label_fit::to_text, label_fit::fixed);
    EXPECT_EQ(15, m_label.width());
}

TEST_F(TextLabelTest, LinksShowTheHandAndOpenOnClick)
{
    show_markup("<p>Go <a href=\"https://example.com/a\">here</a> or <a href=\"b\">there</a></p>");
    ASSERT_EQ(2u, m_label.links().size());
    EXPECT_EQ((rect{20, 13, 26, 13}), m_label.links()[0].bounds); // "here" on the second line
    const rect first = m_label.links()[0].bounds;

    move_to({first.x + first.width, first.y}); // edges count as inside
    EXPECT_EQ(hand, headless::current_cursor());
    move_to({2, 2});
    EXPECT_EQ(arrow, headless::current_cursor());
    move_to({first.x + 1, first.y + 1});
    headless::send_mouse_move(native(), {390, 290}); // straight off the label
    EXPECT_EQ(arrow, headless::current_cursor());

    headless::click(native(), {10 + 2, 10 + 2});
    EXPECT_TRUE(headless::shell_opened().empty());
    headless::click(native(), {10 + first.x + 3, 10 + first.y + 3});
    EXPECT_EQ((std::vector<std::string>{"https://example.com/a"}), headless::shell_opened());
}

// A label connects its own events when it is built, so one whose builder never announces it
// still paints and opens its links.
TEST_F(TextLabelTest, ALabelNeverAnnouncedAsCreatedStillPaintsAndOpensLinks)
{
    text_label quiet;
    attach(quiet, m_window->root(), {10, 150, 300, 100}, test::announcement::skipped);
    quiet.style().set("label_text_valign", int32_t(1));
    quiet.set_mode(label_mode::markup);
    quiet.set_markup("<p><a href=\"https://example.com/q\">here</a></p>");
    quiet.update_links();
    const std::vector<headless::draw_call> calls = label_drawing(&quiet);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(headless::draw_op::draw_text, calls.back().op);
    ASSERT_EQ(1u, quiet.links().size());
    const rect link = quiet.links()[0].bounds;
    headless::click(native(), {10 + link.x + 3, 150 + link.y + 3});
    EXPECT_EQ((std::vector<std::string>{"https://example.com/q"}), headless::shell_opened());
}

TEST_F(TextLabelTest, EmptyLinksAndPlainLabelsNeverReactToThePointer)
{
    show_markup("<p>x</p><a href=\"https://empty\">"); // the open link ends as an empty run
    ASSERT_EQ(1u, m_label.links().size());
    EXPECT_EQ(rect{}, m_label.links()[0].bounds);
    headless::click(native(), {10, 10});
    EXPECT_TRUE(headless::shell_opened().empty());
    EXPECT_EQ(arrow, headless::current_cursor());

    m_label.set_mode(label_mode::plain);
    m_label.set_text("<a href=\"x\">x</a>");
    const std::size_t changes = headless::cursor_changes().size();
    move_to({3, 3});
    headless::click(native(), {13, 13});
    EXPECT_EQ(changes, headless::cursor_changes().size());
    EXPECT_TRUE(headless::shell_opened().empty());
}

TEST_F(TextLabelTest, PlainTextUsesTheLabelFontAndMarkupItsRuns)
{
    m_label.style().set("default_back_color", color{0.1f, 0.1f, 0.1f, 1});
    m_label.style().set("default_border_color", color{1, 0, 0, 1});
    m_label.set_text("Plain");
    std::vector<headless::draw_call> calls = label_drawing();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(headless::draw_op::fill_rect, calls[0].op);
    EXPECT_EQ(headless::draw_op::draw_rect, calls[1].op);
    EXPECT_EQ((rect{0, 0, 300, 100}), calls[1].area);
    EXPECT_EQ(headless::draw_op::draw_text, calls[2].op);
    EXPECT_EQ("Plain", calls[2].text);
    EXPECT_TRUE(calls[2].runs.empty());
    EXPECT_EQ("Tahoma", calls[2].state.font_family);
    EXPECT_FLOAT_EQ(11.0f, calls[2].state.font_size);
    EXPECT_EQ((color{1, 1, 1, 1}), calls[2].state.text);

    show_markup("<p>Bold <b>move</b></p>");
    m_window->root().set_enabled(false); // disabled through an ancestor: dimmed text
    calls = label_drawing();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("\nBold move\n", calls[2].text);
    ASSERT_EQ(m_label.runs().size(), calls[2].runs.size());
    EXPECT_EQ(2, calls[2].runs[1].weight_kind);
    EXPECT_EQ((color{1, 1, 1, 0.5f}), calls[2].state.text);

    show_markup("<html></html>"); // nothing to show: no text call at all
    EXPECT_EQ(2u, label_drawing().size());
}

} // namespace
} // namespace zksdk::ui
