// Tests of the headless process-wide services: scripted dialog answers and recorded requests.
#include "toolkit/platform/native_services.h"

#include "recording_client.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/native_window.h"

#include <gtest/gtest.h>

namespace zksdk::ui::headless {
namespace {

class NativeServicesTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset();
        m_window.create_native(nullptr, m_client, {0, 0, 100, 100}, 0);
    }
    void TearDown() override { reset(); }

    recording_client m_client;
    native_window m_window;
};

TEST_F(NativeServicesTest, FolderPickerAnswersInOrderThenCancels)
{
    answer_folder_picker(u"C:/Program Files/Adobe");
    EXPECT_EQ(u"C:\\Program Files\\Adobe", pick_folder(&m_window, "Custom Folder", u"D:\\x"));
    EXPECT_EQ(u"", pick_folder(nullptr, "Custom Folder", u""));
    ASSERT_EQ(2u, folder_requests().size());
    EXPECT_EQ("Custom Folder", folder_requests()[0].title);
    EXPECT_EQ(u"D:\\x", folder_requests()[0].start_folder);
}

TEST_F(NativeServicesTest, PopupMenuReturnsTheScriptedIdOrZero)
{
    const std::vector<popup_menu_item> items{{1, -1, "Copy"}, {2, -1, "Select all"}};
    answer_popup_menu(2);
    EXPECT_EQ(2u, show_popup_menu(m_window, {0, 0}, items));
    EXPECT_EQ(0u, show_popup_menu(m_window, {0, 0}, items));
    EXPECT_EQ(2u, popup_menus().size());
    EXPECT_EQ("Select all", popup_menus()[0][1].caption);
}

TEST_F(NativeServicesTest, UnknownCursorShapesChangeNothing)
{
    for (uint32_t shape : {6u, 9u, 5u, 0xFFFFFFFFu}) {
        set_system_cursor(shape);
    }
    EXPECT_EQ((std::vector<uint32_t>{6, 5}), cursor_changes());
    EXPECT_EQ(5u, current_cursor());
}

TEST_F(NativeServicesTest, PointerDpiIsThatOfTheLastWindowMovedOver)
{
    EXPECT_EQ((point{96, 96}), pointer_dpi());
    set_monitor_dpi(144, 144);
    recording_client client;
    native_window sharp;
    sharp.create_native(nullptr, client, {0, 0, 100, 100}, 0);
    send_mouse_move(sharp, {3, 4});
    EXPECT_EQ((point{144, 144}), pointer_dpi());
    EXPECT_EQ((point{3, 4}), screen_to_client(sharp, pointer_screen_position()));
}

TEST_F(NativeServicesTest, ClockKeysClipboardAndShellAreObservable)
{
    const double start = monotonic_milliseconds();
    advance_clock(250.5);
    EXPECT_EQ(start + 250.5, monotonic_milliseconds());
    set_key(modifier_key::right_shift, true);
    EXPECT_TRUE(is_key_down(modifier_key::right_shift));
    EXPECT_FALSE(is_key_down(modifier_key::left_shift));
    set_clipboard_text("licence");
    shell_open("https://example.com/");
    EXPECT_EQ("licence", clipboard_text());
    EXPECT_EQ(std::vector<std::string>{"https://example.com/"}, shell_opened());
}

TEST_F(NativeServicesTest, FileDropsAskTheClientAndUseBackslashes)
{
    EXPECT_EQ(drop_effect::none, send_drag_over(m_window, {5, 5}));
    m_client.file_drop_handlers = true;
    EXPECT_EQ(drop_effect::move, send_drag_over(m_window, {5, 5}));
    m_client.calls.clear();
    send_drop(m_window, {5, 5}, {u"C:/a/b.txt", u"D:\\c.txt"});
    const std::vector<routed> expected{{"file_drop", 0, 2}};
    EXPECT_EQ(expected, m_client.calls);
}

} // namespace
} // namespace zksdk::ui::headless
