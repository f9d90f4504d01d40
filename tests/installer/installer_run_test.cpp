// The wizard end to end on the headless backend: pages, a full run, failures, retry and cancel.
#include "engine/install_messages.h"
#include "tests/installer/installer_fixture.h"

#include "toolkit/core/text_conversion.h"

namespace nimbic::test {
namespace {

using zksdk::ui::label_mode;

const std::string nothing_installed =
    "Nothing was installed: no After Effects version and no Custom folder was chosen.";

TEST_F(InstallerTest, FullRunInstallsIntoEveryVersionAndFinishButtonCloses)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    InstallerUI& wizard = Start(versions);
    EXPECT_EQ(Welcome, wizard.current_page());
    EXPECT_FALSE(wizard.back_button().is_enabled());
    EXPECT_EQ("I AGREE", wizard.next_button().caption());

    ASSERT_TRUE(ClickOn(wizard.next_button()));
    EXPECT_EQ(Versions, wizard.current_page());
    EXPECT_EQ("INSTALL", wizard.next_button().caption());

    ASSERT_TRUE(ClickOn(wizard.next_button()));
    EXPECT_EQ(Installing, wizard.current_page());
    EXPECT_EQ("INSTALLING...", wizard.next_button().caption());
    EXPECT_FALSE(wizard.next_button().is_enabled());
    EXPECT_EQ(6u, wizard.components_total());
    FinishRun();

    for (const HostVersion& version : versions) {
        SCOPED_TRACE(version.name);
        EXPECT_TRUE(plugin_module == FileContent(version.plugin_folder + u"\\Vantrel\\Nimbic.aex"));
        EXPECT_EQ(panel_script,
                  FileContent(ScriptsFolder(version) + u"\\ScriptUI Panels\\Nimbic.jsx"));
    }
    EXPECT_TRUE(memsys::find(u"C:\\ProgramData\\Vantrel").has_value());

    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ("Mission Success!", wizard.installing_title().text());
    EXPECT_EQ("Nimbic Plug-in successfully installed.", wizard.status_label().text());
    EXPECT_EQ("FINISH", wizard.next_button().caption());
    EXPECT_TRUE(wizard.next_button().is_enabled());
    EXPECT_FALSE(wizard.cancel_button().is_enabled());
    EXPECT_FALSE(wizard.installing_label().is_visible(false));
    EXPECT_TRUE(wizard.finish_hint().is_visible(false));
    EXPECT_EQ(1.0f, wizard.progress_bar().progress());
    EXPECT_EQ("100%  Complete (5.2MB of 5.2MB)", wizard.progress_label().text());
    // Lines in target order: the listed versions by slot, then the unlisted one.
    ASSERT_EQ(3u, wizard.installed_checks().size());
    const char* lines[] = {"CC2017", "CC2018", "2019"};
    for (size_t i = 0; i < 3; ++i) {
        const InstalledCheckbox& line = *wizard.installed_checks()[i];
        EXPECT_EQ("Nimbic Plug-in for After Effects " + std::string(lines[i]) + " installed.",
                  line.caption());
        EXPECT_TRUE(line.is_checked());
        EXPECT_TRUE(line.is_visible(false));
    }

    ASSERT_TRUE(ClickOn(wizard.next_button()));
    EXPECT_FALSE(native().is_visible());
}

TEST_F(InstallerTest, OneVersionRunShowsItsProgressMarkupAndLine)
{
    HoldWorkerAtWrite(1);
    InstallerUI& wizard = Start({ThreeVersions()[1]});
    ClickOn(wizard.next_button());
    ClickOn(wizard.next_button());
    // A tick while the plug-in is being written: a started copy is not a finished one.
    ASSERT_TRUE(WorkerHeld());
    headless::advance_clock(200);
    EXPECT_EQ(0.0f, wizard.progress_bar().progress());
    EXPECT_EQ("0%  Complete (0MB of 1.7MB)", wizard.progress_label().text());
    EXPECT_FALSE(wizard.installed_checks().at(0)->is_visible(false));
    ReleaseWorker();
    FinishRun();
    EXPECT_EQ(label_mode::markup, wizard.progress_label().mode());
    EXPECT_EQ("100%  Complete (1.7MB of 1.7MB)", wizard.progress_label().text());
    ASSERT_EQ(1u, wizard.installed_checks().size());
    EXPECT_EQ("Nimbic Plug-in for After Effects CC2018 installed.",
              wizard.installed_checks()[0]->caption());
}

TEST_F(InstallerTest, LicenseIsASideTripFromWelcome)
{
    InstallerUI& wizard = Start(ThreeVersions());
    struct Trip {
        zksdk::ui::generic_button* link;
        zksdk::ui::generic_button* back_by;
    };
    for (const Trip trip : {Trip{&wizard.footer_license_link(), &wizard.back_button()},
                            Trip{&wizard.welcome_license_link(), &wizard.next_button()},
                            Trip{&wizard.footer_license_link(), &wizard.next_button()}}) {
        ASSERT_TRUE(ClickOn(*trip.link));
        EXPECT_EQ(License, wizard.current_page());
        EXPECT_TRUE(wizard.back_button().is_enabled());
        EXPECT_EQ("I AGREE", wizard.next_button().caption());
        EXPECT_FALSE(wizard.footer_license_link().is_visible(false));
        ASSERT_TRUE(ClickOn(*trip.back_by));
        EXPECT_EQ(Welcome, wizard.current_page());
        EXPECT_TRUE(wizard.footer_license_link().is_visible(false));
        EXPECT_FALSE(wizard.back_button().is_enabled());
    }
    ClickOn(wizard.next_button());
    ClickOn(wizard.back_button());
    EXPECT_EQ(Welcome, wizard.current_page());
}

TEST_F(InstallerTest, LicenseCopyPutsTheTextWithoutTagsOnTheClipboard)
{
    InstallerUI& wizard = Start(ThreeVersions());
    // The agreement is laid out when its page first opens, not for the wizard's first frame.
    EXPECT_TRUE(wizard.page(License).children().empty());
    ClickOn(wizard.footer_license_link());
    Paint();
    zksdk::ui::text_label& text = wizard.license_text();
    ASSERT_GT(text.height(), wizard.page(License).height());
    EXPECT_TRUE(wizard.license_scroll_bar().is_needed());

    // A left click and a dismissed menu copy nothing; only the right button's release opens it.
    ASSERT_TRUE(ClickAt(text, {40, 40}));
    EXPECT_TRUE(headless::popup_menus().empty());
    ASSERT_TRUE(ClickAt(text, {40, 40}, headless::mouse_button::right));
    ASSERT_EQ(1u, headless::popup_menus().size());
    EXPECT_EQ("Copy", headless::popup_menus()[0].at(0).caption);
    EXPECT_EQ("", headless::clipboard_text());

    headless::answer_popup_menu(2);
    ClickAt(text, {40, 40}, headless::mouse_button::right);
    const std::string& copied = headless::clipboard_text();
    EXPECT_EQ(text.text(), copied);
    EXPECT_GT(copied.size(), 20000u);
    EXPECT_EQ(std::string::npos, copied.find_first_of("<>"));
}

TEST_F(InstallerTest, CancelAsksAndOnlyYesCloses)
{
    InstallerUI& wizard = Start(ThreeVersions());
    ClickOn(wizard.next_button());

    PopupSeen seen;
    AnswerPopup(escape_key, &seen);
    ASSERT_TRUE(ClickOn(wizard.cancel_button()));
    EXPECT_EQ("Exit Installer", seen.title);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ("Are you sure you want to cancel Nimbic Plug-in for After Effects installation?",
              seen.texts.front());
    EXPECT_TRUE(native().is_visible());
    EXPECT_EQ(Versions, wizard.current_page());
    EXPECT_TRUE(wizard.next_button().is_enabled());

    AnswerPopup(enter_key);
    ASSERT_TRUE(ClickOn(wizard.cancel_button()));
    EXPECT_FALSE(native().is_visible());
}

// The title bar's close button needs no confirmation, on any page and during a run.
TEST_F(InstallerTest, CloseButtonEndsWithoutAsking)
{
    InstallerUI& wizard = Start(ThreeVersions());
    ClickOn(wizard.next_button());
    ClickOn(wizard.next_button());
    EXPECT_TRUE(headless::request_close(native()));
    EXPECT_FALSE(native().is_visible());
    EXPECT_EQ(Installing, wizard.current_page());
}

// The destructor joins the worker: whatever the run had started is complete once it returns.
TEST_F(InstallerTest, CancelDuringARunWaitsForTheWorkerOnDestruction)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    HoldWorkerAtWrite(1);
    InstallerUI& wizard = Start(versions);
    ClickOn(wizard.next_button());
    ClickOn(wizard.next_button());
    ASSERT_TRUE(WorkerHeld());
    AnswerPopup(enter_key);
    ASSERT_TRUE(ClickOn(wizard.cancel_button()));
    EXPECT_FALSE(native().is_visible());
    EXPECT_FALSE(wizard.install_state().done());
    // Let the worker go only once the destructor is (most likely) already waiting for it.
    std::thread release([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ReleaseWorker();
    });
    m_ui.reset();
    release.join();
    for (const HostVersion& version : versions) {
        EXPECT_TRUE(plugin_module == FileContent(version.plugin_folder + u"\\Vantrel\\Nimbic.aex"));
        EXPECT_EQ(panel_script,
                  FileContent(ScriptsFolder(version) + u"\\ScriptUI Panels\\Nimbic.jsx"));
    }
}

// A popup's loop also runs the install timer; the run's end must not happen under the question.
TEST_F(InstallerTest, RunEndWaitsForTheExitQuestion)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = HoldOldPlugin(versions[0]);
    InstallerUI& wizard = Start(versions);
    ClickOn(wizard.next_button());
    ClickOn(wizard.next_button());

    struct {
        std::string focus_title;
        bool wizard_input = true;
        bool finished = true;
        std::string next_caption;
    } inside;
    PopupSeen question;
    AnswerPopup(escape_key, &question, [&] {
        for (int i = 0; i < 20000 && !wizard.install_state().done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        headless::advance_clock(400);
        zksdk::ui::native_window* focus = headless::focus_window();
        inside.focus_title = focus != nullptr ? focus->title() : "";
        inside.wizard_input = headless::is_input_enabled(native());
        inside.finished = wizard.is_finished();
        inside.next_caption = wizard.next_button().caption();
    });
    PopupSeen failure;
    AnswerPopup(escape_key, &failure);
    ASSERT_TRUE(ClickOn(wizard.cancel_button()));

    EXPECT_EQ("Exit Installer", inside.focus_title);
    EXPECT_FALSE(inside.wizard_input);
    EXPECT_FALSE(inside.finished);
    EXPECT_EQ("INSTALLING...", inside.next_caption);
    // NO lets the run end: the failure is asked about, then the wizard is finished and usable.
    EXPECT_EQ("Failed to install", failure.title);
    EXPECT_EQ(0u, headless::pending_steps());
    EXPECT_TRUE(wizard.is_finished());
    EXPECT_TRUE(headless::is_input_enabled(native()));
    // Both popups in the theme's colour, each with its own margins: the question 70 units in,
    // the failure report 40; then the built-in 24-unit picture and a 20-unit gap.
    for (const auto& [seen, margin] : {std::pair{&question, 70}, std::pair{&failure, 40}}) {
        SCOPED_TRACE(seen->title);
        EXPECT_EQ((zksdk::ui::color{0.071f, 0.071f, 0.071f, 1}), seen->back);
        EXPECT_EQ((zksdk::ui::point{margin, 64}), seen->message_at);
    }
    memsys::release_file(held);
}

TEST_F(InstallerTest, FailurePopupsNameTheFailureAndRetryRepeatsOnlyWhatFailed)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = versions[1].plugin_folder + u"\\Vantrel\\Nimbic.aex";
    const std::string plugin_40 =
        "The installation of Nimbic Plug-in for After Effects CC2018 failed!\n\n"
        "Could not create the plugin file (Error code: 40).\n - Make sure that After Effects is "
        "closed\n - Make sure you have enough disk space.\n - Make sure you have administrative "
        "privileges.\n\nPlease contact support if you continue to have trouble.\n\nDo you want "
        "to retry?";
    const std::string scripts_123 =
        "The installation of script Nimbic Plug-in for After Effects 2019 failed!\n\n"
        "Could not decompress the script files correctly (Error code: 123).\n - The installer "
        "file may be corrupt.\n\nPlease contact support if you continue to have trouble.\n\nDo "
        "you want to retry?";
    struct Case {
        const char* name;
        bool hold_plugin;
        bool fail_scripts;
        const std::string& message;
    };
    for (const Case& failure :
         {Case{"plug-in 40", true, false, plugin_40}, Case{"scripts 123", false, true, scripts_123},
          Case{"both: scripts wins", true, true, scripts_123}}) {
        SCOPED_TRACE(failure.name);
        SetUp();
        memsys::add_folder(versions[1].plugin_folder + u"\\Vantrel");
        memsys::add_file(held, "old");
        if (failure.hold_plugin) {
            memsys::hold_file(held);
        }
        if (failure.fail_scripts) {
            memsys::fail(memsys::op::write_file, 1,
                         u"Adobe After Effects 2019\\Support Files\\Scripts");
        }
        InstallerUI& wizard = Start(versions);
        ClickOn(wizard.next_button());
        ClickOn(wizard.next_button());

        // The user fixes the cause, then answers YES; what succeeded stays as the first run left
        // it.
        PopupSeen seen;
        AnswerPopup(enter_key, &seen, [&] {
            memsys::release_file(held);
            memsys::add_file(versions[0].plugin_folder + u"\\Vantrel\\Nimbic.aex", "kept");
        });
        FinishRun();
        EXPECT_EQ("Failed to install", seen.title);
        ASSERT_FALSE(seen.texts.empty());
        EXPECT_EQ(failure.message, seen.texts.front());
        EXPECT_FALSE(wizard.is_finished());
        FinishRun();
        EXPECT_TRUE(wizard.is_finished());
        EXPECT_EQ("Mission Success!", wizard.installing_title().text());
        EXPECT_EQ("kept", FileContent(versions[0].plugin_folder + u"\\Vantrel\\Nimbic.aex"));
        EXPECT_TRUE(plugin_module == FileContent(held));
        EXPECT_EQ(panel_script,
                  FileContent(ScriptsFolder(versions[2]) + u"\\ScriptUI Panels\\Nimbic.jsx"));
        m_ui.reset();
    }
}

TEST_F(InstallerTest, DecliningTheRetryFinishesWithTheResultsShown)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    const std::u16string held = HoldOldPlugin(versions[0]);
    InstallerUI& wizard = Start(versions);
    ClickOn(wizard.next_button());
    ClickOn(wizard.next_button());
    AnswerPopup(escape_key);
    FinishRun();
    memsys::release_file(held);

    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ("Some components of Nimbic Plug-in not correctly installed.",
              wizard.status_label().text());
    EXPECT_EQ("Nimbic Plug-in for After Effects Installer", wizard.installing_title().text());
    EXPECT_EQ("FINISH", wizard.next_button().caption());
    EXPECT_FALSE(wizard.back_button().is_enabled());
    const InstalledCheckbox& failed = *wizard.installed_checks()[0];
    EXPECT_EQ("Nimbic Plug-in for After Effects CC2017 not installed.", failed.caption());
    EXPECT_FALSE(failed.is_checked());
    EXPECT_TRUE(failed.is_visible(false));
    EXPECT_TRUE(wizard.installed_checks()[1]->is_checked());
    ClickOn(wizard.next_button());
    EXPECT_FALSE(native().is_visible());
}

TEST_F(InstallerTest, ErrorTextsForEveryRow)
{
    // Each row's text as the user reads it for its first code; the row's other codes give the
    // same text with their own number.
    const struct {
        std::vector<int32_t> codes;
        std::string text;
    } rows[] = {
        {{20, 30},
         "Could not load the plugin file from the installer (Error code: 20).\n - The installer "
         "file may be corrupt."},
        {{40, 50, 401},
         "Could not create the plugin file (Error code: 40).\n - Make sure that After Effects is "
         "closed\n - Make sure you have enough disk space.\n - Make sure you have administrative "
         "privileges."},
        {{60, 110, 111, 112, 130},
         "Could not load the script file from the installer (Error code: 60).\n - The installer "
         "file may be corrupt."},
        {{120, 131},
         "Could not create the script files (Error code: 120).\n - Make sure that After Effects is "
         "closed\n - Make sure you have enough disk space.\n - Make sure you have administrative "
         "privileges."},
        {{121, 122, 123, 124, 200},
         "Could not decompress the script files correctly (Error code: 121).\n - The installer "
         "file may be corrupt."},
        {{210, 211, 212, 230},
         "Could not load the assets file from the installer (Error code: 210).\n - The installer "
         "file may be corrupt."},
        {{220, 231},
         "Could not create assets files (Error code: 220).\n - Make sure you have enough disk "
         "space.\n - Make sure you have administrative privileges."},
        {{221, 222, 223, 224, 300},
         "Could not decompress the assets files correctly (221).\n - The installer file may be "
         "corrupt."},
        {{400}, "Authorization request was denied (Error code: 400)."},
        {{1000},
         "Could not find the installer package (Error code: 1000).\n - Please download the "
         "installer again."},
        {{1001},
         "Could not find the installer package (Error code: 1001).\n - The installer file may be "
         "corrupt."},
        {{3, 7, 21, 100, 402, 999, -1}, "Unkown error (3)."},
    };
    for (const auto& row : rows) {
        const std::string first = std::to_string(row.codes.front());
        const size_t number = row.text.find(first);
        ASSERT_NE(std::string::npos, number);
        for (const int32_t code : row.codes) {
            std::string expected = row.text;
            expected.replace(number, first.size(), std::to_string(code));
            EXPECT_EQ(expected, InstallErrorText(code));
        }
    }
}

// A Custom target with no folder is offered work nowhere: its line never shows and the run
// says that nothing was installed, though nothing failed.
TEST_F(InstallerTest, EmptyCustomTargetGetsALineButNoWork)
{
    InstallerUI& wizard = Start({});
    ASSERT_EQ(1u, wizard.version_checks().size());
    ClickOn(wizard.next_button());
    // Nothing is ticked, so nothing is needed: the line is empty from the first paint.
    EXPECT_EQ("", wizard.required_space_label().text());
    EXPECT_FALSE(wizard.plugin_folder_button().is_enabled());
    ClickOn(*wizard.version_checks()[0]);
    ASSERT_TRUE(wizard.targets().back().ticked);
    EXPECT_EQ("", wizard.required_space_label().text());
    ClickOn(wizard.next_button());
    EXPECT_EQ(0u, wizard.components_total());
    FinishRun();
    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ(nothing_installed, wizard.status_label().text());
    EXPECT_EQ("FINISH", wizard.next_button().caption());
    EXPECT_NE("Mission Success!", wizard.installing_title().text());
    ASSERT_EQ(1u, wizard.installed_checks().size());
    EXPECT_FALSE(wizard.installed_checks()[0]->is_visible(false));
    EXPECT_EQ("100%  Complete (0KB of 0KB)", wizard.progress_label().text());
}

TEST_F(InstallerTest, RunWithNothingTickedShowsZeroUntilDone)
{
    InstallerUI& wizard = Start({ThreeVersions()[0]});
    ClickOn(wizard.next_button());
    ClickOn(*wizard.version_checks()[1]);
    ClickOn(wizard.next_button());
    EXPECT_EQ(0u, wizard.components_total());
    wizard.UpdateProgress();
    EXPECT_EQ(0.0f, wizard.progress_bar().progress());
    EXPECT_EQ("0%  Complete (0KB of 0KB)", wizard.progress_label().text());
    FinishRun();
    EXPECT_TRUE(wizard.is_finished());
    EXPECT_EQ(1.0f, wizard.progress_bar().progress());
    EXPECT_EQ(nothing_installed, wizard.status_label().text());
    EXPECT_EQ("Nimbic Plug-in for After Effects Installer", wizard.installing_title().text());
    EXPECT_EQ("FINISH", wizard.next_button().caption());
}

// Each Custom component is installed exactly when its folder is chosen, and the space line, the
// progress and the result line count that and nothing else.
TEST_F(InstallerTest, CustomComponentsFollowTheirChosenFolders)
{
    const std::u16string plugin_file = u"D:\\Plug\\Vantrel\\Nimbic.aex";
    const std::u16string script_file = u"D:\\Scripts\\ScriptUI Panels\\Nimbic.jsx";
    const struct {
        const char* name;
        std::u16string plugin_folder;
        std::u16string scripts_folder;
        std::string space;
        uint32_t components;
        std::string progress;
    } cases[] = {
        {"plug-in only", u"D:\\Plug", u"", "At least 1.7 MB of free disk space is required.", 1,
         "100%  Complete (1.7MB of 1.7MB)"},
        {"scripts only", u"", u"D:\\Scripts", "At least 4 KB of free disk space is required.", 1,
         "100%  Complete (4KB of 4KB)"},
        {"both", u"D:\\Plug", u"D:\\Scripts", "At least 1.7 MB of free disk space is required.", 2,
         "100%  Complete (1.7MB of 1.7MB)"},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        memsys::add_folder(u"D:\\Plug");
        memsys::add_folder(u"D:\\Scripts");
        InstallerUI& wizard = Start({});
        ClickOn(wizard.next_button());
        ClickOn(*wizard.version_checks()[0]);
        for (const std::u16string* folder : {&tested.plugin_folder, &tested.scripts_folder}) {
            if (folder->empty()) {
                continue;
            }
            headless::answer_folder_picker(*folder);
            ClickOn(folder == &tested.plugin_folder ? wizard.plugin_folder_button()
                                                    : wizard.script_folder_button());
        }
        EXPECT_EQ(tested.space, wizard.required_space_label().text());
        ClickOn(wizard.next_button());
        EXPECT_EQ(tested.components, wizard.components_total());
        FinishRun();

        EXPECT_EQ(!tested.plugin_folder.empty(), memsys::find(plugin_file).has_value());
        EXPECT_EQ(!tested.scripts_folder.empty(), memsys::find(script_file).has_value());
        EXPECT_EQ(tested.progress, wizard.progress_label().text());
        EXPECT_EQ("Nimbic Plug-in successfully installed.", wizard.status_label().text());
        EXPECT_EQ("Mission Success!", wizard.installing_title().text());
        const InstalledCheckbox& line = *wizard.installed_checks().at(0);
        EXPECT_EQ("Nimbic Plug-in for After Effects Custom installed.", line.caption());
        EXPECT_TRUE(line.is_visible(false));
        EXPECT_TRUE(line.is_checked());
        m_ui.reset();
    }
}

} // namespace
} // namespace nimbic::test
