// A hand install's whole footprint through the wizard: the Apps entry and its values, the
// install record across runs, the MSI's product, sizes from the payloads, free space and the
// program named in the failure popup.
#include "tests/installer/hand_install_fixture.h"

#include "installer/registration.h"

#include "engine/install_worker.h"
#include "engine/setup_lock.h"

#include "toolkit/core/text_conversion.h"

#include <functional>
#include <variant>

namespace nimbic::test {
namespace {

TEST_F(HandInstallTest, AWizardRunLeavesTheProgramAndAnEntryWithTheseValues)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    ASSERT_TRUE(InstallThroughWizard(versions));
    EXPECT_EQ(setup_bytes, FileContent(product_folder + u"\\NimbicSetup.exe"));

    const uint64_t installed =
        2 * (plugin_module.size() + panel_script.size()) + setup_bytes.size();
    const std::u16string program = u"C:\\Program Files\\Vantrel\\Nimbic Plug-in\\NimbicSetup.exe";
    const struct {
        const char16_t* name;
        std::variant<std::u16string, uint32_t> value;
    } expected[] = {
        {u"DisplayName", u"Nimbic Plug-in for After Effects"},
        {u"DisplayVersion", u"1.0.5"},
        {u"Publisher", u"Vantrel"},
        {u"DisplayIcon", program + u",0"},
        {u"InstallLocation", u"C:\\Program Files\\Vantrel\\Nimbic Plug-in"},
        {u"InstallDate", u"20260102"},
        {u"EstimatedSize", static_cast<uint32_t>((installed + 1023) / 1024)},
        {u"UninstallString", u"\"" + program + u"\" /uninstall"},
        {u"QuietUninstallString", u"\"" + program + u"\" /uninstall /quiet"},
        {u"NoModify", uint32_t{1}},
        {u"NoRepair", uint32_t{1}},
    };
    for (const auto& value : expected) {
        SCOPED_TRACE(zksdk::ui::utf16_to_utf8(value.name));
        if (const auto* text = std::get_if<std::u16string>(&value.value)) {
            EXPECT_EQ(*text, memsys::registry_string(memsys::registry_view::native, entry_key,
                                                     value.name));
        } else {
            EXPECT_EQ(std::get<uint32_t>(value.value),
                      memsys::registry_dword(memsys::registry_view::native, entry_key, value.name));
        }
    }
    // Nothing else: the product has no about or help page, so neither link is written.
    EXPECT_EQ(std::size(expected),
              memsys::registry_value_names(memsys::registry_view::native, entry_key).size());
}

// Settings > Apps cannot list a working plug-in: the install stays a success, its result line
// says so with where the log is, and the run's log tells IT what it installed and what failed.
TEST_F(HandInstallTest, AnEntryThatCannotBeMadeIsToldAndLoggedAndTheInstallStillSucceeds)
{
    const std::string plugin =
        zksdk::ui::utf16_to_utf8(ThreeVersions()[1].plugin_folder) + "\\Vantrel\\Nimbic.aex";
    const std::string panel = zksdk::ui::utf16_to_utf8(ScriptsFolder(ThreeVersions()[1])) +
                              "\\ScriptUI Panels\\Nimbic.jsx";
    const auto refused = [] { memsys::fail(memsys::op::reg_write, -1, u"Vantrel.NimbicPlugin"); };
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* note;      // above the finish hint
        const char* apps_line; // the log's last line; none: no log
    } cases[] = {
        {"listed", [] {}, "",
         "Settings > Apps: listed, HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
         "Vantrel.NimbicPlugin"},
        {"the registry refuses the entry", refused,
         "It is not listed in Settings > Apps: its entry could not be written in the registry "
         "(see the setup log in C:\\ProgramData\\Vantrel).",
         "Settings > Apps: NOT LISTED, its entry could not be written in the registry"},
        // Half an entry would stand in Apps with nothing to run.
        {"the registry refuses UninstallString",
         [] { memsys::fail(memsys::op::reg_write, -1, u"UninstallString"); },
         "It is not listed in Settings > Apps: its entry could not be written in the registry "
         "(see the setup log in C:\\ProgramData\\Vantrel).",
         "Settings > Apps: NOT LISTED, its entry could not be written in the registry"},
        {"no product folder for the program copy",
         [] { memsys::fail(memsys::op::create_directory, -1, u"Nimbic Plug-in"); },
         "It is not listed in Settings > Apps: the program copy that uninstalls it could not be "
         "put in C:\\Program Files\\Vantrel\\Nimbic Plug-in (see the setup log in "
         "C:\\ProgramData\\Vantrel).",
         "Settings > Apps: NOT LISTED, the program copy that uninstalls it could not be put in "
         "C:\\Program Files\\Vantrel\\Nimbic Plug-in"},
        // No log to point to.
        {"the entry refused and no log",
         [&] {
             refused();
             memsys::fail(memsys::op::open_file, -1, u"NimbicSetup-install");
         },
         "It is not listed in Settings > Apps: its entry could not be written in the registry.",
         nullptr},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        tested.arrange();
        InstallerUI& wizard = Start({ThreeVersions()[1]});
        ClickOn(wizard.next_button());
        ClickOn(wizard.next_button());
        FinishRun();
        EXPECT_EQ("Mission Success!", wizard.installing_title().text());
        EXPECT_EQ("Nimbic Plug-in successfully installed.", wizard.status_label().text());
        const std::string note = tested.note;
        EXPECT_EQ(note.empty(),
                  memsys::registry_key_exists(memsys::registry_view::native, entry_key));
        EXPECT_EQ(note.empty() ? "Click Finish to close installer."
                               : note + "\n\nClick Finish to close installer.",
                  wizard.finish_hint().text());
        // Its lines fit on the page, which stays within the page's area above the footer.
        const zksdk::ui::rect page = wizard.page(Installing).window_rect();
        EXPECT_GE(page.height, wizard.finish_hint().y() + wizard.finish_hint().height());
        EXPECT_LE(page.y + page.height, 610 - wizard.root().style().read_int("footer_size"));
        // A reader hears the whole result, last.
        EXPECT_EQ("Nimbic Plug-in successfully installed." + (note.empty() ? "" : " " + note),
                  headless::announcements(wizard.native()).back().text);
        const std::string log =
            FileContent(u"C:\\ProgramData\\Vantrel\\NimbicSetup-install-20260102-030405.log");
        if (tested.apps_line == nullptr) {
            EXPECT_EQ("<missing>", log);
        } else {
            EXPECT_EQ("2026-01-02 03:04:05 Nimbic Plug-in for After Effects 1.0.5, installed by "
                      "its installer\r\ninstalled\tCC2018\tplug-in\t" +
                          plugin + "\r\ninstalled\tCC2018\tscript\t" + panel + "\r\n" +
                          tested.apps_line + "\r\n",
                      log);
        }
        m_ui.reset();
    }
}

TEST_F(HandInstallTest, TheRecordGrowsAcrossRunsVersionsThenCustom)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    ASSERT_TRUE(InstallThroughWizard(versions));
    // Each target's files together, as the uninstall window lists them.
    EXPECT_EQ((std::vector<std::string>{"CC2017 plug-in", "CC2017 script", "CC2018 plug-in",
                                        "CC2018 script"}),
              RecordLines());
    const uint32_t first_size =
        *memsys::registry_dword(memsys::registry_view::native, entry_key, u"EstimatedSize");

    // A later run into Custom folders only: the versions stay recorded and the Custom files join.
    memsys::add_folder(u"D:\\Plug");
    memsys::add_folder(u"D:\\Scripts");
    ASSERT_TRUE(InstallThroughWizard(versions, {u"D:\\Plug", u"D:\\Scripts"}, untick_versions));
    EXPECT_EQ((std::vector<std::string>{"CC2017 plug-in", "CC2017 script", "CC2018 plug-in",
                                        "CC2018 script", "Custom plug-in", "Custom script"}),
              RecordLines());
    InstallRecord record;
    ASSERT_EQ(record_status::ok, record.Load(record_path));
    EXPECT_NE(nullptr, record.Find(u"D:\\Plug\\Vantrel\\Nimbic.aex"));
    EXPECT_NE(nullptr, record.Find(u"D:\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_GT(*memsys::registry_dword(memsys::registry_view::native, entry_key, u"EstimatedSize"),
              first_size);
}

TEST_F(HandInstallTest, OneEntryWhenTheMsisProductIsInstalled)
{
    // An entry an earlier wizard made, then the MSI installed the product.
    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[0]}));
    ASSERT_TRUE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    memsys::set_related_product(std::u16string(msi_upgrade_code),
                                u"{11111111-2222-3333-4444-555555555555}");
    memsys::add_file(product_folder + u"\\NimbicSetup.exe", "MZ the MSI's copy");

    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[0], ThreeVersions()[1]}));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    EXPECT_EQ("MZ the MSI's copy", FileContent(product_folder + u"\\NimbicSetup.exe"))
        << "Windows Installer's file is left alone";
    // The wizard's files are in the product's record, where the MSI's uninstall finds them.
    EXPECT_EQ(4u, RecordLines().size());
}

// The MSI installed into a folder of its own after a wizard install: the next wizard run folds
// the wizard's record into the product's and removes its program copy, when the copy is ours, and
// the folders it leaves empty.
TEST_F(HandInstallTest, TheMsiInAnotherFolderTakesOverTheWizardsRecordAndItsProgramCopyGoes)
{
    const std::u16string msi_folder = u"D:\\Nimbic";
    const std::u16string msi_record = msi_folder + u"\\install-record.txt";
    const struct {
        const char* name;
        std::function<void()> program; // what is at the wizard's program copy by then
        bool removed;
    } cases[] = {
        {"this setup's bytes", [] {}, true},
        {"another version of this setup",
         [] {
             memsys::add_program(product_folder + u"\\NimbicSetup.exe",
                                 {{plugin_resource_id, "MZ"}, {scripts_resource_id, "NP"}});
         },
         true},
        {"someone else's program",
         [] { memsys::add_file(product_folder + u"\\NimbicSetup.exe", "MZ someone else"); }, false},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        memsys::add_folder(u"D:\\Plug");
        ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[0]}, {u"D:\\Plug", u""}));
        tested.program();
        memsys::set_related_product(std::u16string(msi_upgrade_code),
                                    u"{11111111-2222-3333-4444-555555555555}", msi_folder);
        memsys::add_folder(msi_folder);
        ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[0], ThreeVersions()[1]}));

        InstallRecord record;
        ASSERT_EQ(record_status::ok, record.Load(msi_record));
        EXPECT_EQ(5u, record.entries().size()) << "both runs' files, the Custom plug-in included";
        EXPECT_NE(nullptr, record.Find(u"D:\\Plug\\Vantrel\\Nimbic.aex"));
        EXPECT_FALSE(memsys::find(record_path).has_value());
        EXPECT_EQ(!tested.removed, memsys::find(product_folder + u"\\NimbicSetup.exe").has_value());
        EXPECT_EQ(!tested.removed, memsys::find(u"C:\\Program Files\\Vantrel").has_value());
        EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    }
}

TEST_F(HandInstallTest, SizesComeFromThePayloadsAndNeverReadZeroPointZero)
{
    const struct {
        size_t module_bytes;
        const char* space;
        const char* first_progress;
        const char* last_progress;
    } cases[] = {
        {12 * 1024, "At least 16 KB of free disk space is required.", "0%  Complete (0KB of 16KB)",
         "100%  Complete (16KB of 16KB)"},
        {1887437, "At least 1.8 MB of free disk space is required.", "0%  Complete (0MB of 1.8MB)",
         "100%  Complete (1.8MB of 1.8MB)"},
        {6 * 1024 * 1024, "At least 6.0 MB of free disk space is required.",
         "0%  Complete (0MB of 6.0MB)", "100%  Complete (6.0MB of 6.0MB)"},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.module_bytes);
        SetUp();
        memsys::set_resource(plugin_resource_id, std::string(tested.module_bytes, 'M'));
        HoldWorkerAtWrite(1);
        InstallerUI& wizard = Start({ThreeVersions()[1]});
        ClickOn(wizard.next_button());
        // The line is right from the page's first paint, before anything is clicked.
        EXPECT_EQ(tested.space, wizard.required_space_label().text());
        ClickOn(wizard.next_button());
        ASSERT_TRUE(WorkerHeld());
        headless::advance_clock(200);
        EXPECT_EQ(tested.first_progress, wizard.progress_label().text());
        ReleaseWorker();
        FinishRun();
        EXPECT_EQ(tested.last_progress, wizard.progress_label().text());
        m_ui.reset();
    }
}

TEST_F(HandInstallTest, AFailedRunsPercentageAndSizesAgree)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    HoldOldPlugin(versions[1]);
    InstallerUI& wizard = Start(versions);
    ClickOn(wizard.next_button());
    AnswerPopup(escape_key);
    ClickOn(wizard.next_button());
    FinishRun();
    // One plug-in of two and both panels are in place: half of what the run writes.
    EXPECT_EQ(50, wizard.progress_bar().percent());
    EXPECT_EQ("50%  Complete (1.7MB of 3.5MB)", wizard.progress_label().text());
    memsys::release_file(versions[1].plugin_folder + u"\\Vantrel\\Nimbic.aex");
}

TEST_F(HandInstallTest, TheProgramHoldingTheFileIsNamedInThePopup)
{
    const HostVersion version = ThreeVersions()[1];
    const std::u16string held = HoldOldPlugin(version);
    memsys::set_file_holders(held, {u"Adobe After Effects CC 2018"});
    InstallerUI& wizard = Start({version});
    ClickOn(wizard.next_button());
    PopupSeen seen;
    AnswerPopup(escape_key, &seen);
    ClickOn(wizard.next_button());
    FinishRun();
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ("Failed to install", seen.title);
    EXPECT_NE(std::string::npos,
              seen.texts.front().find(" - Make sure you have administrative privileges.\nIn use "
                                      "by: Adobe After Effects CC 2018\n\nPlease contact support"))
        << seen.texts.front();
    memsys::release_file(held);
}

// What would stop a run is asked at INSTALL, before anything is written: a drive short of space
// (the program copy for Settings > Apps counts, on the drive of Program Files), another setup
// writing (nimbic-deploy, the Windows Installer package). YES checks again once it is cleared.
// The wizard holds the writing lock only while its run writes.
TEST_F(HandInstallTest, WhatWouldStopARunIsToldAtInstallBeforeAnythingIsWritten)
{
    const auto custom_plugin_on_d = [](InstallerUI& wizard, bool untick_version) {
        memsys::add_folder(u"D:\\Plug");
        if (untick_version) {
            ClickOn(*wizard.version_checks()[1]);
        }
        ClickOn(*wizard.version_checks()[0]);
        headless::answer_folder_picker(u"D:\\Plug");
        ClickOn(wizard.plugin_folder_button());
    };
    const struct {
        const char* name;
        std::function<void(InstallerUI&)> arrange; // on the Versions page, before INSTALL
        const char* title;
        std::string text;
        bool whole;                  // the whole message, or how it starts
        std::function<void()> clear; // while the question is open; none: it stays unanswered
        std::function<void(InstallerUI&)> after_run;
    } cases[] = {
        {"a drive short of space",
         [&](InstallerUI& wizard) {
             memsys::set_free_space(u"D:", 500000);
             custom_plugin_on_d(wizard, false);
         },
         "Not enough disk space",
         "The installation needs 1.7 MB on drive D:, which has 0.5 MB free: 1.3 MB more is "
         "needed.\n\nFree some disk space there, or choose other folders. Nothing has been "
         "written yet.\n\nDo you want to check again?",
         true, [] { memsys::set_free_space(u"D:", 1u << 30); },
         [](InstallerUI&) {
             EXPECT_TRUE(plugin_module == FileContent(u"D:\\Plug\\Vantrel\\Nimbic.aex"));
         }},
        // Every file of the run goes to D:, yet the program copy needs C:.
        {"no room for the program copy",
         [&](InstallerUI& wizard) {
             memsys::set_free_space(u"C:", 1000);
             custom_plugin_on_d(wizard, true);
         },
         "Not enough disk space",
         "The installation needs 68 KB on drive C:, which has 1 KB free: 67 KB more is needed.",
         false,
         {},
         {}},
        {"another setup writing",
         [](InstallerUI&) {
             EXPECT_FALSE(SetupLock::IsTaken()) << "an open wizard keeps nobody waiting";
             memsys::hold_mutex_elsewhere(std::u16string(setup_mutex_name));
         },
         "Another setup is running",
         "Another setup of Nimbic Plug-in (nimbic-deploy, or its Windows Installer package) is "
         "installing or removing files right now.\n\nNothing has been written yet. Wait until it "
         "has finished.\n\nDo you want to check again?",
         true, [] { memsys::release_mutex_elsewhere(std::u16string(setup_mutex_name)); },
         [](InstallerUI& wizard) {
             EXPECT_TRUE(wizard.is_finished());
             EXPECT_FALSE(SetupLock::IsTaken()) << "given back when the run ended";
         }},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        InstallerUI& wizard = Start({ThreeVersions()[1]});
        ClickOn(wizard.next_button());
        tested.arrange(wizard);
        const std::vector<memsys::entry> before = memsys::entries();
        PopupSeen seen;
        AnswerPopup(escape_key, &seen);
        ClickOn(wizard.next_button());
        EXPECT_EQ(tested.title, seen.title);
        ASSERT_FALSE(seen.texts.empty());
        if (tested.whole) {
            EXPECT_EQ(tested.text, seen.texts.front());
        } else {
            EXPECT_TRUE(seen.texts.front().starts_with(tested.text)) << seen.texts.front();
        }
        EXPECT_EQ(Versions, wizard.current_page());
        EXPECT_EQ(before.size(), memsys::entries().size()) << "nothing written on any drive";
        if (tested.clear) {
            AnswerPopup(enter_key, nullptr, tested.clear);
            ClickOn(wizard.next_button());
            EXPECT_EQ(Installing, wizard.current_page());
            FinishRun();
            tested.after_run(wizard);
        }
        m_ui.reset();
    }
}

} // namespace
} // namespace nimbic::test
