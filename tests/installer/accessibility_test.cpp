// The wizard as assistive technology and the keyboard see it: each page's description, a whole
// install by default actions alone, the announcements, and keyboard-only use.
#include "tests/installer/installer_fixture.h"
#include "tests/toolkit/core/access_dump.h"

#include "toolkit/platform/headless/recording.h"

namespace nimbic::test {
namespace {

using zksdk::ui::access_event;
using zksdk::ui::access_node;
using zksdk::ui::test::access_dump;

constexpr uint32_t tab_key = 9;
constexpr uint32_t space_key = 32;
constexpr uint32_t down_key = 0x28;
constexpr uint32_t page_down_key = 0x22;
constexpr uint32_t end_key = 0x23;
constexpr uint32_t home_key = 0x24;

class AccessibilityTest : public InstallerTest {
protected:
    // The visible node with this name; a failed expectation when there is none.
    access_node Node(const std::string& name)
    {
        for (const access_node& node : ui().access_tree()) {
            if (node.name == name && (node.states & zksdk::ui::access_state::invisible) == 0)
                return node;
        }
        ADD_FAILURE() << "no visible node named " << name;
        return {};
    }
    bool Act(const std::string& name) { return ui().access_default_action(Node(name).id); }

    // Tab as the system delivers it: the key, then its character.
    void Tab(bool backwards = false)
    {
        headless::set_key(zksdk::ui::modifier_key::left_shift, backwards);
        headless::send_key_down(native(), tab_key);
        headless::send_char(native(), u'\t');
        headless::set_key(zksdk::ui::modifier_key::left_shift, false);
    }
    std::string Focused()
    {
        const zksdk::ui::widget* focused = ui().focused_widget();
        access_node node;
        return focused != nullptr && ui().describe(*focused, node) ? node.name : "<none>";
    }
    // The names the focus visits from here on, one Tab each.
    std::vector<std::string> TabRound(size_t count, bool backwards = false)
    {
        std::vector<std::string> names;
        for (size_t i = 0; i < count; ++i) {
            Tab(backwards);
            names.push_back(Focused());
        }
        return names;
    }
    // The announcements since the last call, each as "event:name" (the window is "window").
    std::vector<std::string> Heard(zksdk::ui::native_window& where)
    {
        static const char* events[] = {"focus",     "state", "name",  "value",
                                       "structure", "alert", "dialog"};
        std::vector<std::string> heard;
        const std::vector<access_node> tree = ui().access_tree();
        for (const headless::announcement& said : headless::announcements(where)) {
            std::string name = said.id == 0 ? "window" : "?";
            for (const access_node& node : tree) {
                if (node.id == said.id && said.id != 0)
                    name = node.name;
            }
            heard.push_back(std::string(events[static_cast<int>(said.event)]) + ":" + name);
        }
        headless::clear_announcements(where);
        return heard;
    }
    static bool Contains(const std::vector<std::string>& heard, const std::string& one)
    {
        return std::find(heard.begin(), heard.end(), one) != heard.end();
    }
};

TEST_F(AccessibilityTest, EachPageIsDescribedWithRolesNamesStatesAndActions)
{
    InstallerUI& wizard = Start(ThreeVersions());
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  static text "Welcome to the Nimbic Plug-in Installer for After Effects!" [read-only]
  static text "This will install Nimbic Plug-in 1.0.5  ...(134 bytes)" [read-only]
  static text "By installing you agree to the " [read-only]
  link "Vantrel Software License Agreement" [focusable] (Jump)
  static text "Version: 1.0.5 " [read-only]
  link "Vantrel Software License Agreement" [focusable] (Jump)
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [disabled] (Press)
  push button "I AGREE" [focusable] (Press)
)T",
              access_dump(wizard.access_tree()));

    ASSERT_TRUE(wizard.access_default_action(wizard.welcome_license_link().access_id()));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  document "Vantrel Software License Agreement" = "Vantrel Software License Agreement\n\nNimb...(24995 bytes)" [focusable,read-only]
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [focusable] (Press)
  push button "I AGREE" [focusable] (Press)
)T",
              access_dump(wizard.access_tree()));
    EXPECT_EQ(wizard.license_text().text(), Node("Vantrel Software License Agreement").value);

    ASSERT_TRUE(Act("BACK"));
    ASSERT_TRUE(Act("I AGREE"));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  static text "Nimbic Plug-in for After Effects Installer" [read-only]
  static text "Select which versions of Adobe After Effects to install." [read-only]
  check button "Custom" [focusable] (Check)
  check button "2019" [focusable,checked] (Uncheck)
  check button "CC2018" [focusable,checked] (Uncheck)
  check button "CC2017" [focusable,checked] (Uncheck)
  static text "At least 1.7 MB of free disk space is required." [read-only]
  push button "Plugin Path" [disabled] (Press)
  push button "Script Path" [disabled] (Press)
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [focusable] (Press)
  push button "INSTALL" [focusable] (Press)
)T",
              access_dump(wizard.access_tree()));

    ASSERT_TRUE(Act("INSTALL"));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  static text "Nimbic Plug-in for After Effects Installer" [read-only]
  static text "Installing Nimbic Plug-in for After Effects, please wait..." [read-only]
  progress bar "Installing..." = "0%" [read-only]
  static text "Installing..." [read-only]
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [disabled] (Press)
  push button "INSTALLING..." [disabled] (Press)
)T",
              access_dump(wizard.access_tree()));

    FinishRun();
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  static text "Mission Success!" [read-only]
  static text "Nimbic Plug-in successfully installed." [read-only]
  progress bar "Installing..." = "100%" [read-only]
  static text "100%  Complete (5.2MB of 5.2MB)" [read-only]
  check button "Nimbic Plug-in for After Effects CC2017 installed." [checked,disabled,read-only]
  check button "Nimbic Plug-in for After Effects CC2018 installed." [checked,disabled,read-only]
  check button "Nimbic Plug-in for After Effects 2019 installed." [checked,disabled,read-only]
  static text "Click Finish to close installer." [read-only]
  push button "CANCEL" [disabled] (Press)
  push button "BACK" [disabled] (Press)
  push button "FINISH" [focusable] (Press)
)T",
              access_dump(wizard.access_tree()));

    // Every node sits inside the window, where it is drawn.
    for (const access_node& node : wizard.access_tree()) {
        SCOPED_TRACE(node.name);
        EXPECT_GE(node.bounds.x, 0);
        EXPECT_LE(node.bounds.x + node.bounds.width, 1024);
    }
    EXPECT_EQ(wizard.next_button().window_rect(), Node("FINISH").bounds);
    EXPECT_DOUBLE_EQ(100.0, Node("Installing...").range_value);
}

TEST_F(AccessibilityTest, DefaultActionsAloneInstallIntoTheTickedVersions)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    InstallerUI& wizard = Start(versions);
    // What is not there, cannot act or is not shown is refused.
    EXPECT_FALSE(wizard.access_default_action(0));
    EXPECT_FALSE(wizard.access_default_action(-5));
    EXPECT_FALSE(Act("BACK"));
    EXPECT_FALSE(Act("Version: 1.0.5 "));
    EXPECT_FALSE(wizard.access_default_action(wizard.version_checks()[1]->access_id()));
    EXPECT_EQ(Welcome, wizard.current_page());

    ASSERT_TRUE(Act("I AGREE"));
    ASSERT_TRUE(Act("CC2018"));
    EXPECT_FALSE(wizard.targets()[1].ticked);
    EXPECT_EQ("Check", Node("CC2018").default_action);
    ASSERT_TRUE(Act("INSTALL"));
    FinishRun();
    EXPECT_EQ(zksdk::ui::access_role::static_text, Node("Mission Success!").role);
    EXPECT_FALSE(Act("Nimbic Plug-in for After Effects CC2017 installed.")); // read-only
    ASSERT_TRUE(Act("FINISH"));
    EXPECT_FALSE(native().is_visible());

    EXPECT_TRUE(plugin_module == FileContent(versions[0].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
    EXPECT_EQ("<missing>", FileContent(versions[1].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
    EXPECT_TRUE(plugin_module == FileContent(versions[2].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
}

TEST_F(AccessibilityTest, ChangesAreAnnounced)
{
    InstallerUI& wizard = Start(ThreeVersions());
    Heard(native());
    struct Step {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> heard; // each must be among what was announced
    };
    const Step steps[] = {
        {"page switch", [&] { Act("I AGREE"); }, {"name:INSTALL", "structure:window"}},
        {"untick",
         [&] { Act("CC2018"); },
         {"state:CC2018", "name:At least 3.5 MB of free disk space is required."}},
        {"keyboard focus", [&] { Tab(); }, {"focus:Custom"}},
        {"run", [&] { Act("INSTALL"); }, {"name:INSTALLING...", "structure:window"}},
        {"run ends",
         [&] { FinishRun(); },
         {"value:Installing...", "name:100%  Complete (3.5MB of 3.5MB)",
          "name:Nimbic Plug-in successfully installed.", "name:FINISH",
          "name:Nimbic Plug-in for After Effects CC2017 installed.",
          "state:Nimbic Plug-in "
          "for After Effects 2019 "
          "installed.",
          "name:Mission Success!"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        const std::vector<std::string> heard = Heard(native());
        for (const std::string& expected : step.heard)
            EXPECT_TRUE(Contains(heard, expected)) << expected;
    }
    // Nothing is said when nothing changed.
    wizard.status_label().set_text(wizard.status_label().text());
    wizard.progress_bar().set_progress(1.0f);
    EXPECT_TRUE(Heard(native()).empty());
}

TEST_F(AccessibilityTest, AFailureOpensAnAlertDialogThatTheKeyboardAnswers)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = versions[0].plugin_folder + u"\\Vantrel\\Nimbic.aex";
    memsys::add_folder(versions[0].plugin_folder + u"\\Vantrel");
    memsys::add_file(held, "old");
    memsys::hold_file(held);
    InstallerUI& wizard = Start(versions);
    Act("I AGREE");
    headless::set_focus_window(&native());
    Tab(); // the keyboard is in use: the popup shows its focus mark at once
    Act("INSTALL");
    std::vector<std::string> heard;
    std::string tree;
    int32_t no_id = 0;
    headless::push_step([&] {
        zksdk::ui::native_window* popup = headless::focus_window();
        ASSERT_NE(nullptr, popup);
        const std::vector<access_node> nodes = popup->client()->access_tree();
        tree = access_dump(nodes);
        for (const headless::announcement& said : headless::announcements(*popup))
            heard.push_back(std::to_string(static_cast<int>(said.event)));
        no_id = nodes.back().id;
        headless::send_key_down(*popup, tab_key);
        headless::send_char(*popup, u'\t');
        headless::send_key_down(*popup, space_key); // NO: no retry
    });
    FinishRun();
    EXPECT_EQ((std::vector<std::string>{"6", "5", "0"}), heard); // dialog, alert, focus on YES
    EXPECT_EQ(R"T(dialog "Failed to install"
  static text "The installation of Nimbic Plug-in for A...(331 bytes)" [read-only]
  push button "YES" [focusable,focused] (Press)
  push button "NO" [focusable] (Press)
)T",
              tree);
    EXPECT_NE(0, no_id);
    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ("Some components of Nimbic Plug-in not correctly installed.",
              wizard.status_label().text());
    memsys::release_file(held);
}

TEST_F(AccessibilityTest, TheKeyboardAloneGoesThroughTheWizard)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    InstallerUI& wizard = Start(versions);
    // Creation order, both ways round, skipping what is disabled (BACK).
    const std::vector<std::string> welcome = {"Vantrel Software License Agreement",
                                              "Vantrel Software License Agreement", "CANCEL",
                                              "I AGREE"};
    EXPECT_EQ(welcome, TabRound(4));
    EXPECT_EQ(welcome.front(), TabRound(1).front()); // wraps
    EXPECT_EQ((std::vector<std::string>{"I AGREE", "CANCEL"}), TabRound(2, true));

    // Escape asks; Escape on the question answers NO and leaves everything as it was.
    AnswerPopup(escape_key);
    headless::send_key_down(native(), escape_key);
    EXPECT_TRUE(native().is_visible());
    EXPECT_EQ(0u, headless::pending_steps());

    // The licence: Enter on its link, then Tab into the document and scroll it.
    TabRound(2, true);
    ASSERT_EQ(welcome.front(), Focused());
    headless::send_key_down(native(), enter_key);
    ASSERT_EQ(License, wizard.current_page());
    Tab();
    ASSERT_EQ("Vantrel Software License Agreement", Focused());
    zksdk::ui::text_label& text = wizard.license_text();
    const int32_t range = wizard.license_scroll_bar().range();
    ASSERT_GT(range, 1000);
    struct Scroll {
        uint32_t key;
        int32_t y;
    };
    for (const Scroll& scroll : {Scroll{down_key, -30}, Scroll{page_down_key, -30 - 466},
                                 Scroll{end_key, -range}, Scroll{home_key, 0}}) {
        SCOPED_TRACE(scroll.key);
        headless::send_key_down(native(), scroll.key);
        EXPECT_EQ(scroll.y, text.y());
    }
    EXPECT_EQ((std::vector<std::string>{"CANCEL", "BACK", "I AGREE"}), TabRound(3));
    headless::send_key_down(native(), space_key);
    ASSERT_EQ(Welcome, wizard.current_page());
    headless::send_key_down(native(), enter_key); // still on "I AGREE", now on Welcome
    ASSERT_EQ(Versions, wizard.current_page());

    // Versions: the boxes in creation order (Custom first); Space unticks CC2018 and ticks
    // Custom, whose folder button then takes the focus and opens the picker once on Enter.
    EXPECT_EQ((std::vector<std::string>{"Custom", "2019", "CC2018", "CC2017", "CANCEL"}),
              TabRound(5));
    TabRound(2, true);
    ASSERT_EQ("CC2018", Focused());
    headless::send_key_down(native(), space_key);
    EXPECT_FALSE(wizard.targets()[1].ticked);
    TabRound(2, true);
    ASSERT_EQ("Custom", Focused());
    headless::send_key_down(native(), space_key);
    EXPECT_EQ((std::vector<std::string>{"2019", "CC2018", "CC2017", "Plugin Path"}), TabRound(4));
    memsys::add_folder(u"D:\\Mine");
    headless::answer_folder_picker(u"D:\\Mine");
    headless::send_key_down(native(), enter_key);
    EXPECT_EQ(1u, headless::folder_requests().size());
    EXPECT_EQ(u"D:\\Mine", wizard.targets().back().plugin_folder);
    headless::send_key_down(native(), space_key); // Space presses too: the picker is cancelled
    EXPECT_EQ(2u, headless::folder_requests().size());
    Tab(true);
    headless::send_key_down(native(), space_key); // CC2017 off: only 2019 and the folder remain
    Tab(true);
    headless::send_key_down(native(), space_key); // CC2018 back on
    EXPECT_EQ((std::vector<std::string>{"CC2017", "Plugin Path", "Script Path", "CANCEL", "BACK",
                                        "INSTALL"}),
              TabRound(6));
    headless::send_key_down(native(), enter_key);
    ASSERT_EQ(Installing, wizard.current_page());
    FinishRun();
    ASSERT_EQ("FINISH", Focused());
    headless::push_step([] { ADD_FAILURE() << "no question once finished"; });
    headless::send_key_down(native(), escape_key);
    EXPECT_EQ(1u, headless::pending_steps());
    headless::send_key_down(native(), enter_key);
    EXPECT_FALSE(native().is_visible());

    EXPECT_EQ("<missing>", FileContent(versions[0].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
    EXPECT_TRUE(plugin_module == FileContent(versions[1].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
    EXPECT_TRUE(plugin_module == FileContent(u"D:\\Mine\\Vantrel\\Nimbic.aex"));
}

// A mark around the focused control, in the style's colour and width, only while the keyboard
// drives the wizard: a mouse user sees the wizard as before.
TEST_F(AccessibilityTest, TheFocusMarkShowsOnlyAfterKeyboardUse)
{
    InstallerUI& wizard = Start(ThreeVersions());
    const auto marks = [&](const zksdk::ui::widget& target) {
        headless::clear_recording(*headless::renderer_of(native()));
        Paint();
        int count = 0;
        for (const headless::draw_call& call : headless::recorded_calls(native())) {
            if (call.widget == &target && call.op == headless::draw_op::draw_rect &&
                call.state.stroke == zksdk::ui::color{0.255f, 0.584f, 0.753f, 1.0f})
                ++count;
        }
        return count;
    };
    ClickOn(wizard.cancel_button());
    EXPECT_EQ(&wizard.cancel_button(), wizard.focused_widget());
    EXPECT_EQ(0, marks(wizard.cancel_button()));
    Tab();
    EXPECT_EQ(1, marks(wizard.next_button()));
    ClickOn(wizard.welcome_license_link());
    Tab();
    EXPECT_EQ(1, marks(wizard.license_text()));
    ASSERT_TRUE(headless::send_mouse_down(native()));
    EXPECT_EQ(0, marks(wizard.license_text()));
}

} // namespace
} // namespace nimbic::test
