// The Versions page and the frame as a user sees them: the grid, Custom, the space line,
// tooltips, and what the frame paints on each page.
#include "tests/installer/installer_fixture.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/core/window/tooltip.h"

#include <cstdio>
#include <random>

namespace nimbic::test {
namespace {

using zksdk::ui::check_box;

TEST_F(InstallerTest, GridPlacesVersionsNewestFirstWithCustomInTheThirdColumn)
{
    InstallerUI& wizard = Start(ThreeVersions());
    ClickOn(wizard.next_button());
    const auto& boxes = wizard.version_checks();
    ASSERT_EQ(4u, boxes.size());
    // Custom, then the unlisted version (highest slot), then CC2018 and CC2017.
    const int32_t y0 = boxes[0]->y();
    const struct {
        std::string caption;
        int32_t x;
        int32_t y;
        bool checked;
    } expected[] = {{"Custom", 190, y0, false},
                    {"2019", 0, y0, true},
                    {"CC2018", 95, y0, true},
                    {"CC2017", 0, y0 + 20, true}};
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(expected[i].caption);
        EXPECT_EQ(expected[i].caption, boxes[i]->caption());
        EXPECT_EQ(expected[i].x, boxes[i]->x());
        EXPECT_EQ(expected[i].y, boxes[i]->y());
        EXPECT_EQ(expected[i].checked, boxes[i]->is_checked());
        EXPECT_TRUE(boxes[i]->is_enabled());
    }
    EXPECT_EQ(y0 + 34, wizard.versions_flow().y());
    EXPECT_EQ(y0 - 5, wizard.plugin_folder_button().y());
    EXPECT_EQ(y0 + 30, wizard.script_folder_button().y());
    EXPECT_FALSE(wizard.plugin_folder_button().is_enabled());
    EXPECT_FALSE(wizard.custom_plugin_label().is_visible(false));
    // The page is centred in the area right of the banner.
    const zksdk::ui::generic_panel& page = wizard.page(Versions);
    EXPECT_EQ(450 + (574 - page.width()) / 2, page.x());
}

// However few versions fill the grid, the page is tall enough for the Custom folder buttons.
TEST_F(InstallerTest, VersionsPageHoldsTheFolderButtonsWithFewVersions)
{
    for (const size_t count : {0u, 1u, 3u}) {
        SCOPED_TRACE(count);
        SetUp();
        const std::vector<HostVersion> all = ThreeVersions();
        InstallerUI& wizard = Start({all.begin(), all.begin() + static_cast<long>(count)});
        const zksdk::ui::generic_panel& page = wizard.page(Versions);
        const zksdk::ui::generic_button& last = wizard.script_folder_button();
        EXPECT_GE(page.height(), last.y() + last.height());
        EXPECT_GE(page.height(), wizard.versions_flow().y() + wizard.versions_flow().height());
        m_ui.reset();
    }
}

// With one row of boxes the lines under it keep their distance from Custom's box, and the space
// line its own from the chosen folder above it.
TEST_F(InstallerTest, LinesUnderASingleRowKeepAGap)
{
    for (const size_t count : {0u, 1u}) {
        SCOPED_TRACE(count);
        SetUp();
        memsys::add_folder(u"D:\\Plug");
        const std::vector<HostVersion> all = ThreeVersions();
        InstallerUI& wizard = Start({all.begin(), all.begin() + static_cast<long>(count)});
        ClickOn(wizard.next_button());
        ClickOn(*wizard.version_checks()[0]);
        headless::answer_folder_picker(u"D:\\Plug");
        ClickOn(wizard.plugin_folder_button());
        const zksdk::ui::rect custom = wizard.version_checks()[0]->window_rect();
        const zksdk::ui::rect folder = wizard.custom_plugin_label().window_rect();
        const zksdk::ui::rect space = wizard.required_space_label().window_rect();
        ASSERT_NE("", wizard.required_space_label().text());
        EXPECT_GE(folder.y, custom.y + custom.height + 10);
        EXPECT_GE(space.y, folder.y + folder.height + 6);
        m_ui.reset();
    }
}

TEST_F(InstallerTest, SpaceLineFollowsTheTickedVersions)
{
    InstallerUI& wizard = Start({ThreeVersions()[0], ThreeVersions()[1]});
    ClickOn(wizard.next_button());
    const auto& boxes = wizard.version_checks();
    const std::string line_1_7 = "At least 1.7 MB of free disk space is required.";
    const std::string line_3_5 = "At least 3.5 MB of free disk space is required.";
    // From the first paint the line tells what the ticked boxes need.
    EXPECT_EQ(line_3_5, wizard.required_space_label().text());
    const struct {
        size_t box;
        std::string line;
    } steps[] = {{1, line_1_7}, {2, ""}, {2, line_1_7}, {1, line_3_5}};
    for (const auto& step : steps) {
        ASSERT_TRUE(ClickOn(*boxes[step.box]));
        EXPECT_EQ(step.line, wizard.required_space_label().text());
    }
}

// The space and progress lines write megabytes themselves; they must round as printf does.
TEST(FormatMegabytes, WritesWhatPrintfWrites)
{
    std::vector<float> values = {0.0f,   0.05f,      0.15f,    0.25f,    0.35f,   0.45f,
                                 0.95f,  0.96f,      1.73486f, 1.73875f, 3.4775f, 9.95f,
                                 99.95f, 123456.75f, -0.01f,   -0.0f,    -2.25f};
    std::mt19937 random(10);
    for (int i = 0; i < 2000; ++i) {
        values.push_back(std::uniform_real_distribution<float>(0.0f, 50.0f)(random));
        values.push_back(static_cast<float>(random() % 2000) / 20.0f);
    }
    for (const float value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.1f", static_cast<double>(value));
        EXPECT_EQ(expected, FormatMegabytes(value)) << value;
    }
}

TEST_F(InstallerTest, CustomTargetEnablesItsButtonsAndTakesPickedFolders)
{
    InstallerUI& wizard = Start(ThreeVersions());
    ClickOn(wizard.next_button());
    check_box& custom = *wizard.version_checks()[0];
    const int32_t page_height = wizard.page(Versions).height();

    ASSERT_TRUE(ClickOn(custom));
    EXPECT_TRUE(wizard.plugin_folder_button().is_enabled());
    EXPECT_TRUE(wizard.script_folder_button().is_enabled());
    EXPECT_TRUE(wizard.custom_plugin_label().is_visible(false));
    EXPECT_EQ("", wizard.custom_plugin_label().text());

    // A press dragged off the button before its release, or one begun beside it and released
    // over it, opens no picker.
    const zksdk::ui::rect button = wizard.plugin_folder_button().window_rect();
    const zksdk::ui::point on{button.x + 10, button.y + 10};
    const zksdk::ui::point off{button.x + button.width + 20, button.y + 10};
    for (const headless::mouse_button pressed :
         {headless::mouse_button::left, headless::mouse_button::right}) {
        headless::send_mouse_move(native(), on);
        headless::send_mouse_move(native(), on);
        headless::send_mouse_down(native(), pressed);
        headless::send_mouse_move(native(), off);
        headless::send_mouse_up(native(), pressed);
        headless::send_mouse_down(native(), pressed);
        headless::send_mouse_move(native(), on);
        headless::send_mouse_up(native(), pressed);
    }
    EXPECT_TRUE(headless::folder_requests().empty());

    headless::answer_folder_picker(u"D:\\My Plug-ins");
    ASSERT_TRUE(ClickOn(wizard.plugin_folder_button()));
    headless::answer_folder_picker(u"D:\\My Scripts");
    ASSERT_TRUE(ClickOn(wizard.script_folder_button(), headless::mouse_button::right));
    ASSERT_EQ(2u, headless::folder_requests().size());
    EXPECT_EQ("Custom Folder", headless::folder_requests()[0].title);
    EXPECT_EQ(u"", headless::folder_requests()[0].start_folder);
    EXPECT_EQ(u"D:\\My Plug-ins", wizard.targets().back().plugin_folder);
    EXPECT_EQ(u"D:\\My Scripts", wizard.targets().back().scripts_folder);
    EXPECT_EQ("\nCustom Plugin Path: D:\\My Plug-ins", wizard.custom_plugin_label().text());
    EXPECT_EQ("\nCustom Script Path: D:\\My Scripts", wizard.custom_script_label().text());
    EXPECT_GT(wizard.page(Versions).height(), page_height);

    // A cancelled picker keeps the folder.
    ClickOn(wizard.plugin_folder_button());
    EXPECT_EQ(u"D:\\My Plug-ins", wizard.targets().back().plugin_folder);
    EXPECT_EQ(u"D:\\My Plug-ins", headless::folder_requests().back().start_folder);

    ClickOn(custom);
    EXPECT_FALSE(wizard.plugin_folder_button().is_enabled());
    EXPECT_FALSE(wizard.custom_script_label().is_visible(false));
    EXPECT_EQ(u"D:\\My Scripts", wizard.targets().back().scripts_folder);

    // Ticked again, the custom folders are installed into like any version.
    ClickOn(custom);
    memsys::add_folder(u"D:\\My Plug-ins");
    ClickOn(wizard.next_button());
    FinishRun();
    EXPECT_TRUE(plugin_module == FileContent(u"D:\\My Plug-ins\\Vantrel\\Nimbic.aex"));
    EXPECT_EQ(panel_script, FileContent(u"D:\\My Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_EQ("Mission Success!", wizard.installing_title().text());
}

TEST_F(InstallerTest, VersionTooltipsNameBothFolders)
{
    const HostVersion version = ThreeVersions()[1];
    InstallerUI& wizard = Start({version});
    ClickOn(wizard.next_button());
    // Hover the version box until the tooltip shows.
    check_box& box = *wizard.version_checks()[1];
    const zksdk::ui::rect area = box.window_rect();
    headless::send_mouse_move(native(), {area.x + 5, area.y + 5});
    headless::send_mouse_move(native(), {area.x + 6, area.y + 6});
    headless::advance_clock(3000);
    ASSERT_NE(nullptr, wizard.tooltip_window());
    const std::string expected = "[Plugin] " + zksdk::ui::utf16_to_utf8(version.plugin_folder) +
                                 "\\Vantrel\n[Script] " +
                                 zksdk::ui::utf16_to_utf8(ScriptsFolder(version));
    bool shown = false;
    for (const headless::draw_call& call :
         headless::recorded_calls(wizard.tooltip_window()->native())) {
        shown = shown || (call.op == headless::draw_op::draw_text && call.text == expected);
    }
    EXPECT_TRUE(shown);
}

// The frame: header notice with the year from the clock, footer sentence on Welcome only, the
// pictures where they belong and the theme's colours on the frame and the footer buttons.
TEST_F(InstallerTest, FramePaintsTheNoticeAndTheFooterSentenceOnWelcomeOnly)
{
    const auto grey = [](float value) { return zksdk::ui::color{value, value, value, 1}; };
    headless::set_calendar_year(2031);
    InstallerUI& wizard = Start(ThreeVersions());
    EXPECT_EQ("\xC2\xA9 2024\xE2\x80\x93"
              "2031 Vantrel. All rights reserved.",
              wizard.header_notice());
    const auto frame_texts = [&] {
        headless::clear_recording(*headless::renderer_of(native()));
        Paint();
        std::vector<std::string> texts;
        for (const headless::draw_call& call : headless::recorded_calls(native())) {
            if (call.widget == &wizard.root() && call.op == headless::draw_op::draw_text) {
                texts.push_back(call.text);
            }
        }
        return texts;
    };
    EXPECT_EQ((std::vector<std::string>{wizard.header_notice(), "By installing, you agree to the"}),
              frame_texts());
    // What the frame draws, in order: the footer band covers the banner's last 4 units.
    using headless::draw_op;
    const struct {
        draw_op op;
        zksdk::ui::rect area;
    } frame[] = {
        {draw_op::fill_rect, {0, 0, 1024, 64}},
        {draw_op::draw_image_stretched, {28, 14, 118, 36}},
        {draw_op::draw_text, {764, 0, 260, 64}},
        {draw_op::draw_image_stretched, {0, 64, 450, 500}},
        {draw_op::draw_image_stretched, {450, 64, 574, 496}},
        {draw_op::fill_rect, {0, 560, 1024, 50}},
        {draw_op::draw_text, {28, 560, 180, 50}},
    };
    std::vector<headless::draw_call> drawn;
    for (const headless::draw_call& call : headless::recorded_calls(native())) {
        if (call.widget == &wizard.root() && call.op != draw_op::begin_widget &&
            call.op != draw_op::end_widget) {
            drawn.push_back(call);
        }
    }
    ASSERT_EQ(std::size(frame), drawn.size());
    for (size_t i = 0; i < drawn.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frame[i].op, drawn[i].op);
        EXPECT_EQ(frame[i].area, drawn[i].area);
    }
    EXPECT_EQ(grey(0.071f), drawn.front().state.fill);
    EXPECT_EQ(grey(0.325f), drawn[2].state.text);
    // Each footer button in its theme colours (the pill's middle, then the caption).
    const struct {
        zksdk::ui::widget* button;
        zksdk::ui::color fill;
        zksdk::ui::color text;
    } buttons[] = {{&wizard.cancel_button(), grey(0.141f), grey(0.4f)},
                   {&wizard.back_button(), grey(0.09f), grey(0.4f)}, // disabled on Welcome
                   {&wizard.next_button(), {0.024f, 0.553f, 0.867f, 1}, grey(1.0f)}};
    for (const auto& expected : buttons) {
        std::vector<headless::draw_call> calls;
        for (const headless::draw_call& call : headless::recorded_calls(native())) {
            if (call.widget == expected.button &&
                (call.op == draw_op::fill_rect || call.op == draw_op::draw_text)) {
                calls.push_back(call);
            }
        }
        ASSERT_EQ(2u, calls.size());
        EXPECT_EQ(expected.fill, calls[0].state.fill);
        EXPECT_EQ(expected.text, calls[1].state.text);
    }
    ClickOn(wizard.next_button());
    EXPECT_EQ(std::vector<std::string>{wizard.header_notice()}, frame_texts());
}

} // namespace
} // namespace nimbic::test
