// The wizard as assistive technology and the keyboard see it: each page's description, an
// install by default actions alone and one by keys alone, and the announcements.
#include "tests/installer/installer_fixture.h"
#include "tests/toolkit/core/access_dump.h"

#include "toolkit/platform/headless/recording.h"

namespace nimbic::test {
namespace {

using zksdk::ui::access_node;
using zksdk::ui::test::access_dump;

class AccessibilityTest : public InstallerTest {
protected:
    // The first visible node with this name.
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

    // Tab as the system delivers it (the key, then its character) and where the focus went.
    std::string Tab(zksdk::ui::native_window& where, bool backwards = false)
    {
        headless::set_key(zksdk::ui::modifier_key::left_shift, backwards);
        headless::send_key_down(where, tab_key);
        headless::send_char(where, u'\t');
        headless::set_key(zksdk::ui::modifier_key::left_shift, false);
        return Focused();
    }
    std::vector<std::string> Tabs(size_t count, bool backwards = false)
    {
        std::vector<std::string> names;
        while (names.size() < count)
            names.push_back(Tab(native(), backwards));
        return names;
    }
    std::string Focused()
    {
        access_node node;
        const zksdk::ui::widget* focused = ui().focused_widget();
        return focused != nullptr && ui().describe(*focused, node) ? node.name : "<none>";
    }
    void Key(uint32_t key) { headless::send_key_down(native(), key); }

    // What a reader was told since the last call, in order: the event and the node's name as it
    // was then ("window" for the window itself) with " ~ " and its description when it has one,
    // or a notification's sentence. Repeats are kept: what is said twice shows twice.
    std::vector<std::string> Heard(zksdk::ui::native_window* where = nullptr)
    {
        static const char* events[] = {"focus", "state",  "name",    "value", "structure",
                                       "alert", "dialog", "enabled", "shown", "hidden",
                                       "live",  "notify", "caret"};
        zksdk::ui::native_window& window = where != nullptr ? *where : native();
        std::vector<std::string> heard;
        for (const headless::announcement& said : headless::announcements(window))
            heard.push_back(std::string(events[static_cast<int>(said.event)]) + " " + said.text +
                            (said.description.empty() ? "" : " ~ " + said.description));
        headless::clear_announcements(window);
        return heard;
    }
    // A reader without live regions still gets a live text's change as a name change (read
    // when it is on that text) or, for a line that appears, its showing: each live change
    // follows one of those for the same text.
    static void ExpectLiveChangesNamed(const std::vector<std::string>& heard)
    {
        for (auto line = heard.begin(); line != heard.end(); ++line) {
            if (!line->starts_with("live "))
                continue;
            const std::string text = line->substr(5);
            EXPECT_TRUE(std::find(heard.begin(), line, "name " + text) != line ||
                        std::find(heard.begin(), line, "shown " + text) != line)
                << *line;
        }
    }
    static std::string Joined(const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    }

    // The focus marks drawn on the widget in a repaint: the theme's colour, only after keys.
    // The last one's rectangle, in the widget's coordinates, is kept in `mark`.
    int Marks(const zksdk::ui::widget& target)
    {
        headless::clear_recording(*headless::renderer_of(native()));
        Paint();
        int count = 0;
        for (const headless::draw_call& call : headless::recorded_calls(native())) {
            if (call.widget == &target && call.op == headless::draw_op::draw_rect &&
                call.state.stroke == zksdk::ui::color{0.255f, 0.584f, 0.753f, 1.0f}) {
                ++count;
                mark = call.area;
            }
        }
        return count;
    }
    zksdk::ui::rect mark;

    bool Installed(const std::u16string& folder)
    {
        return plugin_module == FileContent(folder + u"\\Vantrel\\Nimbic.aex");
    }
};

TEST_F(AccessibilityTest, EachPageIsDescribedAndDefaultActionsAloneInstall)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    InstallerUI& wizard = Start(versions);
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  grouping "Welcome to the Nimbic Plug-in Installer for After Effects!"
    static text "Welcome to the Nimbic Plug-in Installer for After Effects!" (live) [read-only]
    static text "This will install Nimbic Plug-in 1.0.5  ...(134 bytes)" [read-only]
    static text "By installing you agree to the " [read-only]
    link "Vantrel Software License Agreement" [focusable] (Jump)
    static text "Version: 1.0.5 " [read-only]
  link "By installing, you agree to the Vantrel Software License Agreement" [focusable] (Jump)
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [disabled] (Press)
  push button "I AGREE" [focusable,focused,default] (Press)
)T",
              access_dump(wizard.access_tree()));
    // What is not there, cannot act or is not shown is refused.
    EXPECT_FALSE(wizard.access_default_action(0));
    EXPECT_FALSE(wizard.access_default_action(-5));
    EXPECT_FALSE(Act("BACK"));
    EXPECT_FALSE(Act("Version: 1.0.5 "));
    EXPECT_FALSE(wizard.access_default_action(wizard.version_checks()[1]->access_id()));

    ASSERT_TRUE(Act("Vantrel Software License Agreement"));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  document "Vantrel Software License Agreement" = "Vantrel Software License Agreement\n\nNimb...(24995 bytes)" {90 paragraphs} [focusable,focused,read-only]
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [focusable] (Press)
  push button "I AGREE" [focusable,default] (Press)
)T",
              access_dump(wizard.access_tree()));
    EXPECT_TRUE(wizard.license_text().text() == Node("Vantrel Software License Agreement").value);
    // Read by objects, the agreement is its paragraphs, in order, each a static text, and the
    // document covers only the panel that shows it (not the footer below).
    const access_node document = Node("Vantrel Software License Agreement");
    std::string joined;
    int offscreen = 0;
    for (const access_node& part : wizard.access_tree()) {
        if (part.parent != document.id)
            continue;
        EXPECT_EQ(zksdk::ui::access_role::static_text, part.role);
        joined += (joined.empty() ? "" : "\n\n") + part.name;
        offscreen += (part.states & zksdk::ui::access_state::offscreen) != 0 ? 1 : 0;
    }
    EXPECT_TRUE(joined + "\n" == wizard.license_text().text());
    EXPECT_GT(offscreen, 80) << "most of it is scrolled out of sight";
    const zksdk::ui::rect panel = wizard.license_text().parent()->window_rect();
    EXPECT_EQ(panel.y + panel.height, document.bounds.y + document.bounds.height);

    ASSERT_TRUE(Act("I AGREE"));
    ASSERT_TRUE(Act("I AGREE"));
    ASSERT_TRUE(Act("CC2018"));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  grouping "Select which versions of Adobe After Effects to install."
    static text "Nimbic Plug-in for After Effects Installer" [read-only]
    static text "Select which versions of Adobe After Effects to install." [read-only]
    check button "Custom" [focusable,focused] (Check)
    push button "Plugin Path" [disabled] (Press)
    push button "Script Path" [disabled] (Press)
    check button "2019" [focusable,checked] (Uncheck)
    check button "CC2018" [focusable] (Check)
    check button "CC2017" [focusable,checked] (Uncheck)
    static text "At least 3.5 MB of free disk space is required." [read-only]
  push button "CANCEL" [focusable] (Press)
  push button "BACK" [focusable] (Press)
  push button "INSTALL" [focusable,default] (Press)
)T",
              access_dump(wizard.access_tree()));
    // Read beside Custom, the folder buttons are drawn after the version boxes, and what is
    // drawn later decides a hit test where they overlap.
    EXPECT_GT(Node("Plugin Path").paint_order, Node("CC2017").paint_order);
    EXPECT_GT(Node("CC2017").paint_order, Node("Custom").paint_order);

    ASSERT_TRUE(Act("INSTALL"));
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  grouping "Installing Nimbic Plug-in for After Effects, please wait..."
    static text "Nimbic Plug-in for After Effects Installer" [read-only]
    static text "Installing Nimbic Plug-in for After Effects, please wait..." (live) [read-only]
    progress bar "Installing..." = "0%" [read-only]
    static text "Installing..." [read-only]
  push button "CANCEL" [focusable,focused] (Press)
  push button "BACK" [disabled] (Press)
  push button "INSTALLING..." [disabled] (Press)
)T",
              access_dump(wizard.access_tree()));

    FinishRun();
    EXPECT_EQ(R"T(client "Nimbic Plug-in for After Effects Installer"
  grouping "Mission Success!"
    static text "Mission Success!" [read-only]
    static text "Nimbic Plug-in successfully installed." (live) [read-only]
    progress bar "100%  Complete (3.5MB of 3.5MB)" = "100%" [read-only]
    static text "100%  Complete (3.5MB of 3.5MB)" (live) [read-only]
    static text "Nimbic Plug-in for After Effects CC2017 installed." (live) [read-only]
    static text "Nimbic Plug-in for After Effects 2019 installed." (live) [read-only]
    static text "Click Finish to close installer." [read-only]
  push button "CANCEL" [disabled] (Press)
  push button "BACK" [disabled] (Press)
  push button "FINISH" [focusable,focused,default] (Press)
)T",
              access_dump(wizard.access_tree()))
        << "the result was just told: FINISH carries it once the focus comes back";
    EXPECT_EQ(wizard.next_button().window_rect(), Node("FINISH").bounds);
    EXPECT_DOUBLE_EQ(100.0, Node("100%  Complete (3.5MB of 3.5MB)").range_value);
    ASSERT_TRUE(Act("FINISH"));
    EXPECT_FALSE(native().is_visible());
    EXPECT_TRUE(Installed(versions[0].plugin_folder));
    EXPECT_FALSE(Installed(versions[1].plugin_folder));
    EXPECT_TRUE(Installed(versions[2].plugin_folder));
}

// A keyboard-only install, step by step: what a reader is told, in order, and nothing else.
TEST_F(AccessibilityTest, EachStepOfAKeyboardInstallIsToldOnceInOrder)
{
    InstallerUI& wizard = Start(ThreeVersions());
    std::vector<std::string> popup_heard;
    const struct {
        const char* step;
        std::function<void()> act;
        std::vector<std::string> heard;
    } steps[] = {
        // The window is built on Welcome while hidden; it opens with its title, which the
        // system tells (the window's own focus and foreground events, before any of ours),
        // then where its focus is and, since that is in the footer, the page by its title.
        {"start",
         [] {},
         {"focus I AGREE", "notify Welcome to the Nimbic Plug-in Installer for After Effects!"}},
        // Enter on a link follows it; Enter on the agreement, as on anything but a button,
        // presses the default button, I AGREE, which goes back to Welcome.
        {"Enter on the licence link",
         [&] {
             Tab(native());
             Key(enter_key);
         },
         {"focus Vantrel Software License Agreement", "enabled BACK", "structure window",
          "focus Vantrel Software License Agreement",
          "hidden By installing, you agree to the Vantrel Software License Agreement"}},
        {"Enter on the agreement",
         [&] { Key(enter_key); },
         {"shown By installing, you agree to the Vantrel Software License Agreement",
          "enabled By installing, you agree to the Vantrel Software License Agreement",
          "shown Welcome to the Nimbic Plug-in Installer for After Effects!", "structure window",
          "focus I AGREE", "notify Welcome to the Nimbic Plug-in Installer for After Effects!",
          "enabled BACK"}},
        {"I AGREE",
         [&] { Key(enter_key); },
         {"enabled BACK", "name INSTALL",
          "shown Select which versions of Adobe After Effects to install.", "structure window",
          "focus Custom",
          "hidden By installing, you agree to the Vantrel Software License Agreement"}},
        {"BACK to Welcome",
         [&] {
             Tabs(2, true);
             Key(enter_key);
         },
         // The focus leaves BACK before BACK is disabled; it lands in the footer, so the page
         // is told by its name.
         {"focus INSTALL", "focus BACK", "name I AGREE",
          "shown By installing, you agree to the Vantrel Software License Agreement",
          "enabled By installing, you agree to the Vantrel Software License Agreement",
          "shown Welcome to the Nimbic Plug-in Installer for After Effects!", "structure window",
          "focus I AGREE", "notify Welcome to the Nimbic Plug-in Installer for After Effects!",
          "enabled BACK"}},
        {"I AGREE again",
         [&] { Key(enter_key); },
         {"enabled BACK", "name INSTALL",
          "shown Select which versions of Adobe After Effects to install.", "structure window",
          "focus Custom",
          "hidden By installing, you agree to the Vantrel Software License Agreement"}},
        // The space line was still the first one, naming a single plug-in, until this change.
        {"Space on CC2018",
         [&] {
             Tabs(2);
             Key(space_key);
         },
         {"focus 2019", "focus CC2018", "state CC2018",
          "name At least 3.5 MB of free disk space is required."}},
        {"the cancel question opens and NO closes it",
         [&] {
             headless::push_step([&] {
                 popup_heard = Heard(headless::focus_window());
                 headless::send_key_down(*headless::focus_window(), escape_key);
             });
             Key(escape_key);
         },
         {"focus CC2018"}},
        {"INSTALL from a check box",
         [&] { Key(enter_key); },
         {"name INSTALLING...", "shown Installing Nimbic Plug-in for After Effects, please wait...",
          "structure window", "focus CANCEL",
          "notify Installing Nimbic Plug-in for After Effects, please wait...", "enabled BACK",
          "enabled INSTALLING..."}},
        // CANCEL is the only control left: Tab keeps it there, and nothing changed to be told.
        {"Tab during the run", [&] { Tab(native()); }, {}},
        // FINISH takes the focus before CANCEL is disabled; the result is told once, last
        // (a notification, or the status line's live change), FINISH without it.
        {"the run succeeds",
         [&] { FinishRun(); },
         {"enabled INSTALLING...", "name FINISH", "focus FINISH", "enabled CANCEL",
          "name Nimbic Plug-in successfully installed.", "value Installing...",
          "name 100%  Complete (3.5MB of 3.5MB)", "live 100%  Complete (3.5MB of 3.5MB)",
          "shown Nimbic Plug-in for After Effects CC2017 installed.",
          "live Nimbic Plug-in for After Effects CC2017 installed.",
          "shown Nimbic Plug-in for After Effects 2019 installed.",
          "live Nimbic Plug-in for After Effects 2019 installed.",
          "name 100%  Complete (3.5MB of 3.5MB)", "hidden Installing...",
          "shown Click Finish to close installer.", "name Mission Success!",
          "notify Nimbic Plug-in successfully installed."}},
        // Back on FINISH after the result was told (here: the window lost the focus and got
        // it back), a reader hears it with FINISH.
        {"back to the wizard",
         [&] {
             headless::set_focus_window(nullptr);
             headless::set_focus_window(&native());
         },
         {"focus FINISH ~ Nimbic Plug-in successfully installed."}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        step.act();
        const std::vector<std::string> heard = Heard();
        EXPECT_EQ(Joined(step.heard), Joined(heard));
        ExpectLiveChangesNamed(heard);
    }
    EXPECT_EQ(Joined({"focus YES", "dialog window ~ Are you sure you want to cancel Nimbic "
                                   "Plug-in for After Effects installation?"}),
              Joined(popup_heard));
    EXPECT_TRUE(wizard.is_finished());
}

// A failure: the alert popup, NO, and the page that tells what went wrong.
TEST_F(AccessibilityTest, AFailureAndNoAreToldOnceInOrder)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = HoldOldPlugin(versions[0]);
    InstallerUI& wizard = Start(versions);
    Act("I AGREE");
    Heard();
    std::vector<std::string> popup_heard;
    headless::push_step([&] {
        popup_heard = Heard(headless::focus_window());
        // Modal means modal: under the popup the wizard can neither act nor take the focus.
        EXPECT_FALSE(wizard.access_default_action(wizard.cancel_button().access_id()));
        EXPECT_FALSE(wizard.access_focus(wizard.back_button().access_id()));
        EXPECT_NE(0u, Node("CANCEL").states & zksdk::ui::access_state::disabled);
        EXPECT_EQ(0u, Node("CANCEL").states & zksdk::ui::access_state::focusable);
        headless::send_key_down(*headless::focus_window(), 0x73, 1 << 29); // Alt+F4: NO
    });
    Act("INSTALL");
    const std::vector<std::string> installing = Heard();
    FinishRun();
    EXPECT_EQ(Joined({"name INSTALLING...",
                      "shown Installing Nimbic Plug-in for After Effects, please wait...",
                      "structure window", "focus CANCEL",
                      "notify Installing Nimbic Plug-in for After Effects, please wait...",
                      "enabled BACK", "enabled INSTALLING..."}),
              Joined(installing));
    const std::string message = "The installation of Nimbic Plug-in for After Effects CC2017 "
                                "failed!\n\nCould not create the plugin file (Error code: 40).\n"
                                " - Make sure that After Effects is closed\n"
                                " - Make sure you have enough disk space.\n"
                                " - Make sure you have administrative privileges.\n\n"
                                "Please contact support if you continue to have trouble.\n\n"
                                "Do you want to retry?";
    EXPECT_EQ(Joined({"focus YES", "dialog window ~ " + message, "alert " + message}),
              Joined(popup_heard));
    // The page as the popup found it, then, after NO, what went wrong and FINISH: the focus
    // comes back from the popup straight to FINISH, never by way of CANCEL, where it was.
    const std::vector<std::string> finished = Heard();
    ExpectLiveChangesNamed(finished);
    EXPECT_EQ(Joined({"value Installing...", "name 66%  Complete (3.5MB of 5.2MB)",
                      "live 66%  Complete (3.5MB of 5.2MB)",
                      "shown Nimbic Plug-in for After Effects CC2017 not installed.",
                      "live Nimbic Plug-in for After Effects CC2017 not installed.",
                      "shown Nimbic Plug-in for After Effects CC2018 installed.",
                      "live Nimbic Plug-in for After Effects CC2018 installed.",
                      "shown Nimbic Plug-in for After Effects 2019 installed.",
                      "live Nimbic Plug-in for After Effects 2019 installed.",
                      "enabled INSTALLING...", "name FINISH", "focus FINISH", "enabled CANCEL",
                      "name Some components of Nimbic Plug-in not correctly installed.",
                      "name 66%  Complete (3.5MB of 5.2MB)", "hidden Installing...",
                      "shown Click Finish to close installer.",
                      "notify Some components of Nimbic Plug-in not correctly installed."}),
              Joined(finished));
    // The bar says the percentage its label says.
    for (const access_node& node : wizard.access_tree()) {
        if (node.role == zksdk::ui::access_role::progress_bar) {
            EXPECT_EQ(node.name.substr(0, node.name.find(' ')), node.value);
        }
    }
    EXPECT_EQ("", Node("FINISH").description);
    headless::set_focus_window(nullptr);
    headless::set_focus_window(&native());
    EXPECT_EQ("Some components of Nimbic Plug-in not correctly installed.",
              Node("FINISH").description);
    EXPECT_TRUE(wizard.is_finished());
    memsys::release_file(held);
}

// Readers drop or misplace focus events from a window without the system's focus: none is
// raised there, and the window says where its focus is when it gets the focus back. FINISH
// carries the result once it has been told, for a reader that comes back to it.
TEST_F(AccessibilityTest, FocusIsToldOnlyByTheFocusedWindowAndTheResultOnlyOnce)
{
    InstallerUI& wizard = Start(ThreeVersions());
    Act("I AGREE");
    Act("INSTALL");
    Heard();
    headless::set_focus_window(nullptr);
    FinishRun();
    std::vector<std::string> heard = Heard();
    EXPECT_EQ(0, std::count_if(heard.begin(), heard.end(),
                               [](const std::string& line) { return line.starts_with("focus "); }))
        << Joined(heard);
    // Name changes of text that has no focus are not read; these are.
    EXPECT_EQ(1, std::count_if(heard.begin(), heard.end(),
                               [](const std::string& line) {
                                   return !line.starts_with("name ") &&
                                          line.find("successfully installed.") != std::string::npos;
                               }))
        << "the result, once: " << Joined(heard);
    headless::set_focus_window(&native());
    EXPECT_EQ(Joined({"focus FINISH ~ Nimbic Plug-in successfully installed."}), Joined(Heard()))
        << "the focus came back: FINISH says the result with it";
    EXPECT_TRUE(wizard.is_finished());
}

TEST_F(AccessibilityTest, AFailureOpensAnAlertDialogThatTheKeyboardAnswers)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = HoldOldPlugin(versions[0]);
    InstallerUI& wizard = Start(versions);
    Act("I AGREE");
    Tab(native()); // the keyboard is in use: the popup shows its focus mark at once
    Act("INSTALL");
    std::vector<int> heard;
    std::string tree;
    headless::push_step([&] {
        zksdk::ui::native_window* popup = headless::focus_window();
        ASSERT_NE(nullptr, popup);
        tree = access_dump(popup->client()->access_tree());
        for (const headless::announcement& said : headless::announcements(*popup))
            heard.push_back(static_cast<int>(said.event));
        Tab(*popup);
        for (const access_node& node : popup->client()->access_tree()) {
            if ((node.states & zksdk::ui::access_state::focused) != 0) {
                EXPECT_EQ("NO", node.name);
            }
        }
        headless::send_key_down(*popup, space_key); // NO: no retry
    });
    FinishRun();
    EXPECT_EQ((std::vector<int>{0, 6, 5}), heard); // focus on YES, dialog opened, alert
    EXPECT_EQ(
        R"T(dialog "Failed to install" ~ "The installation of Nimbic Plug-in for A...(331 bytes)"
  alert "The installation of Nimbic Plug-in for A...(331 bytes)" [read-only]
  push button "YES" [focusable,focused,default] (Press)
  push button "NO" [focusable] (Press)
)T",
        tree);
    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ("Some components of Nimbic Plug-in not correctly installed.",
              wizard.status_label().text());
    memsys::release_file(held);
}

TEST_F(AccessibilityTest, TheKeyboardAloneGoesThroughTheWizard)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    InstallerUI& wizard = Start(versions);
    // Creation order, both ways round, skipping what is disabled (BACK), wrapping.
    const std::string link = "Vantrel Software License Agreement";
    ClickOn(wizard.page(Welcome)); // focused by the mouse: no mark
    EXPECT_EQ(0, Marks(wizard.page(Welcome)));
    const std::string footer_link = "By installing, you agree to the " + link;
    EXPECT_EQ((std::vector<std::string>{link, footer_link, "CANCEL", "I AGREE", link}), Tabs(5));
    EXPECT_EQ(1, Marks(wizard.welcome_license_link()));
    EXPECT_EQ((std::vector<std::string>{"I AGREE", "CANCEL"}), Tabs(2, true));

    std::string question; // Escape asks; Escape on the question answers NO
    headless::push_step([&] {
        question = access_dump(headless::focus_window()->client()->access_tree());
        headless::send_key_down(*headless::focus_window(), escape_key);
    });
    Key(escape_key);
    EXPECT_EQ(
        R"T(dialog "Exit Installer" ~ "Are you sure you want to cancel Nimbic Plug-in for After Effects installation?"
  static text "Are you sure you want to cancel Nimbic Plug-in for After Effects installation?" [read-only]
  push button "YES" [focusable,focused,default] (Press)
  push button "NO" [focusable] (Press)
)T",
        question);
    EXPECT_TRUE(native().is_visible());
    EXPECT_EQ(0u, headless::pending_steps());
    // Alt+F4 asks it too, as CANCEL does; Alt+F4 on the question answers NO.
    std::string asked;
    headless::push_step([&] {
        asked = headless::focus_window()->title();
        headless::send_key_down(*headless::focus_window(), 0x73, 1 << 29);
    });
    headless::send_key_down(native(), 0x73, 1 << 29);
    EXPECT_EQ("Exit Installer", asked);
    EXPECT_TRUE(native().is_visible());

    // The licence: Enter on its link, then Tab into the document and scroll it.
    Tabs(2, true);
    Key(enter_key);
    ASSERT_EQ(License, wizard.current_page());
    ASSERT_EQ(link, Focused()) << "the License page opens on the agreement";
    EXPECT_EQ(1, Marks(wizard.license_text()));
    const int32_t range = wizard.license_scroll_bar().range();
    ASSERT_GT(range, 1000);
    // The reader's place (the caret) moves a line at a time with the arrows and the view
    // follows it, the place at the top where the view can go; the page keys move the view and
    // put the place on the first line it shows; Home and End go to either end.
    const std::vector<zksdk::ui::text_line_geometry>& lines = wizard.license_text().line_geometry();
    ASSERT_GT(lines.size(), 100u);
    const auto top = [&](size_t line) { return static_cast<int32_t>(lines[line].top); };
    size_t paged = 0;
    while (paged < lines.size() && lines[paged].top < static_cast<float>(top(1) + 466))
        ++paged;
    const struct {
        uint32_t key;
        size_t line;
        int32_t y;
    } moves[] = {{0x28, 1, -top(1)},
                 {0x28, 2, -top(2)},
                 {0x26, 1, -top(1)},
                 {0x22, paged, -(top(1) + 466)},
                 {0x23, lines.size() - 1, -range},
                 {0x26, lines.size() - 2, -range},
                 {0x24, 0, 0},
                 {0x26, 0, 0}};
    Heard();
    const int32_t document = Node(link).id;
    for (const auto& move : moves) {
        SCOPED_TRACE(testing::Message() << "key " << move.key << " to line " << move.line);
        Key(move.key);
        EXPECT_EQ(move.y, wizard.license_text().y());
        zksdk::ui::access_text text;
        ASSERT_TRUE(wizard.access_text_of(document, text));
        EXPECT_EQ(lines[move.line].first, text.caret);
        // Told once when it moved, not at all when it could not (Up on the first line).
        EXPECT_EQ(Joined(move.line == 0 && move.key == 0x26
                             ? std::vector<std::string>{}
                             : std::vector<std::string>{"caret " + link}),
                  Joined(Heard()));
    }
    // A reader reading on selects where it goes next: the place follows, told once.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(wizard.access_scroll(document, {lines[40].first, lines[40].first}, true, true));
        zksdk::ui::access_text text;
        ASSERT_TRUE(wizard.access_text_of(document, text));
        EXPECT_EQ(lines[40].first, text.caret);
        EXPECT_EQ(-top(40), wizard.license_text().y());
        EXPECT_EQ(Joined(i == 0 ? std::vector<std::string>{"caret " + link}
                                : std::vector<std::string>{}),
                  Joined(Heard()));
    }
    EXPECT_EQ((std::vector<std::string>{"CANCEL", "BACK", "I AGREE"}), Tabs(3));
    Key(space_key);
    ASSERT_EQ(Welcome, wizard.current_page());
    Key(enter_key); // "I AGREE" again, now on Welcome
    ASSERT_EQ(Versions, wizard.current_page());

    // Space unticks CC2018 and ticks Custom, whose folder button opens the picker once a key.
    // The page opens on its first choice.
    EXPECT_EQ("Custom", Focused());
    EXPECT_EQ((std::vector<std::string>{"2019", "CC2018"}), Tabs(2));
    // A check box's mark rings its caption and leaves the box, ticked or not, in sight.
    const zksdk::ui::check_box& cc2018 = *wizard.version_checks().at(2);
    ASSERT_EQ("CC2018", cc2018.caption());
    ASSERT_EQ(1, Marks(cc2018));
    EXPECT_GE(mark.x, cc2018.box_rect().x + cc2018.box_rect().width);
    EXPECT_LE(mark.x, cc2018.text_rect().x);
    EXPECT_GE(mark.x + mark.width, cc2018.text_rect().x + cc2018.text_rect().width);
    Key(space_key);
    Tabs(2, true);
    Key(space_key);
    EXPECT_EQ((std::vector<std::string>{"2019", "CC2018", "CC2017", "Plugin Path"}), Tabs(4));
    memsys::add_folder(u"D:\\Mine");
    headless::answer_folder_picker(u"D:\\Mine");
    Key(enter_key);
    EXPECT_EQ(1u, headless::folder_requests().size());
    EXPECT_EQ((std::vector<std::string>{"Script Path", "CANCEL", "BACK", "INSTALL"}), Tabs(4));
    Key(enter_key);
    FinishRun();
    ASSERT_EQ("FINISH", Focused());
    headless::push_step([] { ADD_FAILURE() << "no question once finished"; });
    Key(escape_key);
    EXPECT_EQ(1u, headless::pending_steps());
    Key(enter_key);
    EXPECT_FALSE(native().is_visible());
    EXPECT_TRUE(Installed(versions[0].plugin_folder));
    EXPECT_FALSE(Installed(versions[1].plugin_folder));
    EXPECT_TRUE(Installed(u"D:\\Mine"));
}

} // namespace
} // namespace nimbic::test
