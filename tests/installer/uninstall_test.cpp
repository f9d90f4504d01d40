// The uninstall of a hand install: exactly our files, the entry, and last the program folder; the
// window driven by keys and a held file's retry; the quiet run and its exit codes; one setup at
// a time.
#include "tests/installer/hand_install_fixture.h"

#include "installer/entry.h"
#include "installer/registration.h"
#include "installer/uninstall_ui.h"
#include "tests/toolkit/core/access_dump.h"

#include "engine/apps_entry.h"
#include "engine/own_names.h"
#include "engine/paths.h"
#include "engine/setup_lock.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <functional>

namespace nimbic::test {
namespace {

class UninstallTest : public HandInstallTest {
protected:
    EntrySystem System()
    {
        return {[this](const std::u16string&, const std::u16string& arguments, int* exit_code) {
                    m_relaunched.push_back(arguments);
                    if (exit_code) {
                        *exit_code = 7;
                    }
                    return uint32_t{0};
                },
                [](uint32_t) { return std::string(); },
                [this](const std::string&, const std::string& text) { m_reported.push_back(text); },
                // An elevated setup's window is there while its window lock is held.
                [this] {
                    if (!SetupLock::IsTaken(setup_window_mutex_name)) {
                        return false;
                    }
                    ++m_brought_to_front;
                    return true;
                },
                [this](const std::string& line) { m_printed.push_back(line); }};
    }

    static std::u16string PluginOf(const HostVersion& version)
    {
        return version.plugin_folder + u"\\Vantrel\\Nimbic.aex";
    }
    static std::u16string PanelOf(const HostVersion& version)
    {
        return ScriptsFolder(version) + u"\\ScriptUI Panels\\Nimbic.jsx";
    }
    static bool Exists(const std::u16string& path) { return memsys::find(path).has_value(); }

    // Lets the window's poll take each end of its worker (a retry asked in a popup starts it
    // again) until the removal is over.
    static void FinishRemoval(UninstallUI& window)
    {
        for (int i = 0; i < 20000 && window.is_running(); ++i) {
            if (window.removal_ended()) {
                headless::advance_clock(100);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        EXPECT_FALSE(window.is_running());
    }

    std::vector<std::u16string> m_relaunched;
    std::vector<std::string> m_reported;
    std::vector<std::string> m_printed;
    int m_brought_to_front = 0;
};

TEST_F(UninstallTest, RemovesExactlyTheRecordedFilesWhoseBytesAreOursThenEntryAndProgram)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    memsys::add_folder(u"D:\\Plug");
    memsys::add_folder(u"D:\\Scripts");
    ASSERT_TRUE(InstallThroughWizard(versions, {u"D:\\Plug", u"D:\\Scripts"}));
    // A file of someone else's beside ours, and a panel the user changed since.
    const std::u16string foreign = versions[1].plugin_folder + u"\\Vantrel\\Other.aex";
    memsys::add_file(foreign, "MZ another vendor");
    memsys::add_file(PanelOf(versions[0]), "// my own edit");

    EXPECT_EQ(uninstall_exit::done, RunEntry(u"/uninstall /quiet", System()));
    EXPECT_TRUE(m_relaunched.empty()) << "an elevated quiet run needs no relaunch";
    for (const std::u16string& gone :
         {PluginOf(versions[0]), PluginOf(versions[1]), PanelOf(versions[1]),
          versions[0].plugin_folder + u"\\Vantrel", std::u16string(u"D:\\Plug\\Vantrel"),
          std::u16string(u"D:\\Scripts\\ScriptUI Panels\\Nimbic.jsx"), product_folder,
          std::u16string(u"C:\\Program Files\\Vantrel")}) {
        EXPECT_FALSE(Exists(gone)) << zksdk::ui::utf16_to_utf8(gone);
    }
    EXPECT_EQ("MZ another vendor", FileContent(foreign));
    EXPECT_EQ("// my own edit", FileContent(PanelOf(versions[0])));
    EXPECT_TRUE(Exists(u"D:\\Plug")) << "the user's own folders stay";
    EXPECT_TRUE(Exists(u"C:\\ProgramData\\Vantrel"));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));

    // Nothing left to do is no failure.
    EXPECT_EQ(uninstall_exit::done, RunEntry(u"/uninstall /quiet", System()));
}

// "/uninstall /quiet" as deployment tools run it: one exit code per outcome, and what each
// leaves. Removed with a file left for the restart is Windows Installer's 3010; a file kept behind
// a link or failed keeps the entry and the program for a later try.
TEST_F(UninstallTest, EachQuietOutcomeEndsWithItsCodeAndLeavesWhatItSays)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    const std::u16string held = PluginOf(versions[1]);
    const std::u16string program = product_folder + u"\\NimbicSetup.exe";
    const auto entry = [] {
        return memsys::registry_key_exists(memsys::registry_view::native, entry_key);
    };
    const struct {
        const char* name;
        std::function<void()> arrange;
        int code;
        std::function<void()> check;
    } cases[] = {
        {"another setup writes",
         [] { memsys::hold_mutex_elsewhere(std::u16string(setup_mutex_name)); },
         uninstall_exit::another_setup,
         [&] {
             const std::vector<std::string> calls = memsys::calls();
             EXPECT_NE(calls.end(),
                       std::find(calls.begin(), calls.end(), "WaitForSingleObject 30000"));
             EXPECT_TRUE(Exists(held) && entry());
         }},
        {"the record cannot be read",
         [] { memsys::fail(memsys::op::read_file, 1, u"install-record.txt"); },
         uninstall_exit::unusable, [&] { EXPECT_TRUE(Exists(held) && entry()); }},
        // The elevated copy does the work and its exit code is passed on.
        {"not elevated", [] { memsys::set_elevated(false); }, 7,
         [&] {
             EXPECT_EQ(std::vector<std::u16string>{u"/UAC /uninstall /quiet /caller 4242"},
                       m_relaunched);
             // Told on this copy's error output, which the script reads.
             EXPECT_EQ(std::vector<std::string>{"Nimbic Plug-in uninstall ended with 7: its "
                                                "elevated copy's code (its log is in "
                                                "C:\\ProgramData\\Vantrel)"},
                       m_printed);
         }},
        {"a plug-in folder that cannot be opened",
         [] { memsys::fail(memsys::op::open_folder, -1, u"CC 2018"); }, uninstall_exit::failed,
         [&] { EXPECT_TRUE(entry() && Exists(program)); }},
        {"a recorded file kept because a link stands where it was",
         [&] {
             const std::u16string maker = versions[1].plugin_folder + u"\\Vantrel";
             memsys::move(maker, u"C:\\Elsewhere");
             memsys::add_link(maker, u"C:\\Elsewhere");
         },
         uninstall_exit::failed,
         [&] {
             EXPECT_FALSE(Exists(PluginOf(versions[0])));
             EXPECT_TRUE(entry() && Exists(program));
             EXPECT_EQ(std::vector<std::string>{"CC2018 plug-in"}, RecordLines());
         }},
        // After Effects open with its plug-in loaded: the plug-in goes aside and at the
        // restart, and deployment tools are told one is due.
        {"a plug-in a host has loaded",
         [&] { memsys::hold_file(held, memsys::holding::mapped_image); },
         uninstall_exit::restart_needed,
         [&] {
             EXPECT_FALSE(Exists(held) || Exists(PanelOf(versions[1])));
             // Then its Vantrel folder, which Windows removes after it.
             const std::vector<std::u16string> left = memsys::restart_deletions();
             ASSERT_EQ(2u, left.size());
             EXPECT_TRUE(left[0].starts_with(held + u"."));
             EXPECT_EQ(held.substr(0, held.rfind(u'\\')), left[1]);
             EXPECT_FALSE(entry());
         }},
        // Held open so that it cannot even be renamed: never left for the restart by its own
        // name, which the next install would write; it stays recorded, with the entry.
        {"a file another program holds open",
         [&] { memsys::hold_file(held, memsys::holding::sharing_reads); }, uninstall_exit::failed,
         [&] {
             EXPECT_TRUE(Exists(held) && entry() && Exists(program));
             EXPECT_FALSE(Exists(PanelOf(versions[1])));
             EXPECT_TRUE(memsys::restart_deletions().empty());
             EXPECT_EQ(std::vector<std::string>{"CC2018 plug-in"}, RecordLines());
         }},
        // What is left of an entry whose record is gone, or which lacks its UninstallString (a
        // write cut short): the key goes, not to stand broken in Settings > Apps.
        {"the record is gone", [] { memsys::move(record_path, u"C:\\Work\\record.txt"); },
         uninstall_exit::done,
         [&] { EXPECT_TRUE(!entry() && !Exists(program) && !Exists(product_folder)); }},
        {"an entry without UninstallString, and no program folder",
         [&] {
             ASSERT_TRUE(WriteAppsEntry(apps_entry_key,
                                        {{u"DisplayName", std::u16string(u"Nimbic Plug-in")}}));
             memsys::move(product_folder, u"C:\\Work\\Nimbic Plug-in");
         },
         uninstall_exit::done, [&] { EXPECT_TRUE(!entry() && !Exists(product_folder)); }},
        // The Windows Installer package installed the product (into a folder of its own
        // choosing): no file is removed, only a wizard entry beside the package's.
        {"the MSI's product",
         [] {
             memsys::set_related_product(std::u16string(msi_upgrade_code),
                                         u"{11111111-2222-3333-4444-555555555555}", u"D:\\Nimbic");
             memsys::add_folder(u"D:\\Nimbic");
         },
         uninstall_exit::msi_product, [&] { EXPECT_TRUE(Exists(held) && !entry()); }},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        m_relaunched.clear();
        m_printed.clear();
        ASSERT_TRUE(InstallThroughWizard(versions));
        tested.arrange();
        EXPECT_EQ(tested.code, RunEntry(u"/uninstall /quiet", System()));
        tested.check();
    }
}

// A record that is damaged, or that a standard user could have written, stops the uninstall
// before anything is removed, the entry and the program included: the window opens on its result
// page with the reason, the quiet run prints it, and both log it.
TEST_F(UninstallTest, ARecordThatCannotBeTrustedStopsTheUninstallBeforeAnythingIsRemoved)
{
    const struct {
        const char* name;
        std::function<void()> spoil;
        std::string reason;
    } cases[] = {
        {"damaged",
         [] { memsys::add_file(record_path, FileContent(record_path) + "not an entry\n"); },
         "is damaged: some of its lines are not entries"},
        {"a standard user's", [] { memsys::set_administrator_owner(record_path, false); },
         "is not owned by Administrators, SYSTEM or TrustedInstaller (or its folder is not), so "
         "a standard user could have written it"},
    };
    // Everything but the logs.
    const auto machine = [] {
        std::vector<std::pair<std::u16string, std::string>> kept;
        for (const memsys::entry& entry : memsys::entries()) {
            if (!entry.path.starts_with(u"C:\\ProgramData"))
                kept.emplace_back(entry.path, entry.bytes);
        }
        return kept;
    };
    const std::u16string logs = u"C:\\ProgramData\\Vantrel\\NimbicSetup-uninstall-20260102-030405";
    for (const auto& tested : cases) {
        SCOPED_TRACE(tested.name);
        SetUp();
        m_printed.clear();
        m_reported.clear();
        ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[1]}));
        tested.spoil();
        const auto before = machine();
        const std::string result =
            "Nimbic Plug-in was not uninstalled: the install record "
            "C:\\Program Files\\Vantrel\\Nimbic Plug-in\\install-record.txt " +
            tested.reason + ". Nothing was removed, and its entry in Settings > Apps stays.";

        EXPECT_EQ(uninstall_exit::unusable, RunEntry(u"/uninstall /quiet", System()));
        EXPECT_EQ(std::vector<std::string>{"Nimbic Plug-in uninstall ended with 1: " + result +
                                           " (log: " + zksdk::ui::utf16_to_utf8(logs) + ".log)"},
                  m_printed);

        HandUninstall uninstall;
        uninstall.Load();
        UninstallUI window(uninstall);
        window.native().show();
        headless::set_focus_window(&window.native());
        EXPECT_TRUE(window.is_finished());
        EXPECT_EQ(result + " See the uninstall log in C:\\ProgramData\\Vantrel.",
                  window.status_label().text());
        EXPECT_TRUE(window.place_labels().empty());
        EXPECT_EQ(&window.uninstall_button(), window.focused_widget());
        EXPECT_EQ("FINISH", window.uninstall_button().caption());
        EXPECT_FALSE(window.cancel_button().is_enabled());
        headless::push_step([&window] { headless::send_key_down(window.native(), enter_key); });
        EXPECT_EQ(uninstall_exit::unusable, window.run_modal());
        // Opened by the Apps entry, it is the same page, and no message box.
        headless::push_step([] { headless::send_key_down(*headless::focus_window(), enter_key); });
        EXPECT_EQ(uninstall_exit::unusable, RunEntry(u"/UAC /uninstall", System()));
        EXPECT_TRUE(m_reported.empty());

        EXPECT_EQ(before, machine());
        EXPECT_TRUE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
        for (const std::u16string& log : {logs + u".log", logs + u"-2.log", logs + u"-3.log"}) {
            EXPECT_TRUE(FileContent(log).ends_with("\r\nended with 1: " + result + "\r\n"))
                << FileContent(log);
        }
    }
}

// The uninstall logs what became of each file, the entry and the program beside the wizard's
// logs, in a kind of its own: each kind keeps its newest ten, and pruning one never deletes the
// other.
TEST_F(UninstallTest, TheUninstallLogsBesideTheWizardAndEachKindIsPrunedApart)
{
    const std::u16string logs = u"C:\\ProgramData\\Vantrel";
    memsys::add_folder(logs);
    for (const char* kind : {"install", "uninstall"}) {
        for (int day = 11; day <= 21; ++day) {
            memsys::add_file(logs + zksdk::ui::utf8_to_utf16("\\NimbicSetup-" + std::string(kind) +
                                                             "-202501" + std::to_string(day) +
                                                             "-000000.log"),
                             "old");
        }
    }
    const auto count = [&](std::u16string_view kind) {
        const std::u16string prefix = logs + u"\\NimbicSetup-" + std::u16string(kind) + u"-";
        const std::vector<memsys::entry> all = memsys::entries();
        return std::count_if(all.begin(), all.end(),
                             [&](const memsys::entry& e) { return e.path.starts_with(prefix); });
    };
    const HostVersion version = ThreeVersions()[1];
    ASSERT_TRUE(InstallThroughWizard({version}));
    EXPECT_EQ(10, count(u"install"));
    EXPECT_EQ(11, count(u"uninstall")) << "the wizard prunes its own logs only";
    memsys::add_file(PanelOf(version), "// my own edit");

    EXPECT_EQ(uninstall_exit::done, RunEntry(u"/uninstall /quiet", System()));
    EXPECT_EQ(10, count(u"uninstall"));
    EXPECT_EQ(10, count(u"install")) << "the uninstall prunes its own logs only";
    EXPECT_FALSE(Exists(logs + u"\\NimbicSetup-uninstall-20250112-000000.log"));
    EXPECT_TRUE(Exists(logs + u"\\NimbicSetup-uninstall-20250113-000000.log"));
    const std::string plugin = zksdk::ui::utf16_to_utf8(PluginOf(version));
    EXPECT_EQ("2026-01-02 03:04:05 Nimbic Plug-in for After Effects 1.0.5, uninstalled by "
              "/uninstall /quiet\r\n"
              "removing 2 files listed in C:\\Program Files\\Vantrel\\Nimbic "
              "Plug-in\\install-record.txt\r\n"
              "removed\tCC2018\tplug-in\t" +
                  plugin +
                  "\r\n"
                  "kept (changed since it was installed)\tCC2018\tscript\t" +
                  zksdk::ui::utf16_to_utf8(PanelOf(version)) +
                  "\r\n"
                  "removed\tfolder\t" +
                  plugin.substr(0, plugin.rfind('\\')) +
                  "\r\n"
                  "Settings > Apps: removed "
                  "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel."
                  "NimbicPlugin\r\n"
                  "program folder: C:\\Program Files\\Vantrel\\Nimbic Plug-in, removed\r\n"
                  "ended with 0: removed\r\n",
              FileContent(logs + u"\\NimbicSetup-uninstall-20260102-030405.log"));
}

// The Windows Installer package installed the product (into a folder of its own choosing): the
// wizard records into the package's folder, and the uninstall window removes no file and says so.
TEST_F(UninstallTest, WithTheMsisProductTheHandUninstallRemovesNoFile)
{
    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[1]}));
    memsys::set_related_product(std::u16string(msi_upgrade_code),
                                u"{11111111-2222-3333-4444-555555555555}", u"D:\\Nimbic");
    memsys::add_folder(u"D:\\Nimbic");

    // A later wizard run records into the package's folder, not the default one, and leaves
    // no entry of its own.
    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[0]}));
    EXPECT_TRUE(Exists(u"D:\\Nimbic\\install-record.txt"));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));

    // The window says so, and UNINSTALL removes nothing.
    HandUninstall uninstall;
    ASSERT_EQ(record_status::ok, uninstall.Load());
    UninstallUI window(uninstall);
    window.native().show();
    headless::set_focus_window(&window.native());
    EXPECT_EQ(std::string(msi_product_note), window.status_label().text());
    headless::send_key_down(window.native(), enter_key);
    EXPECT_TRUE(window.is_finished());
    EXPECT_EQ(std::string(msi_product_note) + " Nothing was removed here.",
              window.status_label().text());
    // Only FINISH is left, and it has the focus: nothing is left to cancel, and Escape does not
    // end the window with 1602.
    EXPECT_EQ(&window.uninstall_button(), window.focused_widget());
    EXPECT_FALSE(window.cancel_button().is_enabled());
    headless::send_key_down(window.native(), escape_key);
    EXPECT_TRUE(window.native().is_visible());
    EXPECT_TRUE(Exists(PluginOf(ThreeVersions()[0])));
    EXPECT_TRUE(Exists(PluginOf(ThreeVersions()[1])));
}

// The program in the product folder cannot delete itself: a copy in a folder of its own below the
// Windows Temp folder does it once the uninstall has ended, and earlier copies' folders are swept.
// Only a copy that really cannot be deleted is left for the restart, and only under an aside
// name: a setup run before the restart keeps its program.
TEST_F(UninstallTest, TheRunningProgramLeavesItsFolderToACopyInTheTempFolder)
{
    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[1]}));
    memsys::add_folder(u"C:\\Windows\\Temp");
    // What earlier uninstalls left: a copy that has ended, one that still runs, a folder of that
    // name a standard user made, a link of that name, and a name StartRemover never makes.
    const std::u16string earlier = u"C:\\Windows\\Temp\\nimbic-uninstall-";
    const std::u16string ended = earlier + u"00000000000000a1";
    const std::u16string running = earlier + u"00000000000000b2";
    const std::u16string users = earlier + u"00000000000000c3";
    const std::u16string other = earlier + u"old";
    for (const std::u16string& folder : {ended, running, users, other}) {
        memsys::add_folder(folder);
        memsys::add_file(folder + u"\\NimbicSetup.exe", setup_bytes);
    }
    memsys::hold_file(running + u"\\NimbicSetup.exe", memsys::holding::mapped_image);
    memsys::set_administrator_owner(users, false);
    memsys::add_folder(u"C:\\Elsewhere");
    memsys::add_file(u"C:\\Elsewhere\\NimbicSetup.exe", "MZ elsewhere");
    memsys::add_link(earlier + u"00000000000000d4", u"C:\\Elsewhere");
    const std::u16string program = product_folder + u"\\NimbicSetup.exe";
    memsys::set_program_path(program);

    EXPECT_EQ(uninstall_exit::done, RunEntry(u"/UAC /uninstall /quiet /caller 77", System()));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    EXPECT_TRUE(Exists(program)) << "a running program cannot delete itself";
    const std::vector<std::u16string> started = memsys::started_programs();
    ASSERT_EQ(1u, started.size());
    const std::u16string copy = started[0].substr(0, started[0].find(u".exe ") + 4);
    EXPECT_TRUE(copy.starts_with(earlier));
    EXPECT_TRUE(copy.ends_with(u"\\NimbicSetup.exe"));
    EXPECT_EQ(copy + u" /finish-uninstall 77 4242", started[0]);
    EXPECT_EQ(setup_bytes, FileContent(copy));
    EXPECT_FALSE(Exists(ended));
    for (const std::u16string& kept : {running, users, other, std::u16string(u"C:\\Elsewhere")}) {
        EXPECT_TRUE(Exists(kept + u"\\NimbicSetup.exe")) << zksdk::ui::utf16_to_utf8(kept);
    }

    // A setup that started meanwhile and registered the product again, or one that writes
    // now: the program folder stays.
    memsys::set_program_path(copy);
    ASSERT_TRUE(WriteAppsEntry(apps_entry_key, {{u"DisplayName", std::u16string(u"Nimbic")}}));
    EXPECT_EQ(0, RunEntry(u"/finish-uninstall 77 4242", System()));
    EXPECT_TRUE(Exists(program));
    ASSERT_TRUE(DeleteAppsEntry(apps_entry_key));
    memsys::hold_mutex_elsewhere(std::u16string(setup_mutex_name));
    EXPECT_EQ(0, RunEntry(u"/finish-uninstall 77 4242", System()));
    EXPECT_TRUE(Exists(program));
    memsys::release_mutex_elsewhere(std::u16string(setup_mutex_name));
    EXPECT_TRUE(memsys::restart_deletions().empty());

    // The parent outlived the wait: its image will not go, so it goes aside, and only the aside
    // name is left for the restart, with the folders (which Windows removes only when empty).
    memsys::hold_file(program, memsys::holding::mapped_image);
    EXPECT_EQ(0, RunEntry(u"/finish-uninstall 77 4242", System()));
    EXPECT_FALSE(Exists(program)) << "its name is free for the next setup";
    const std::vector<std::u16string> pending = memsys::restart_deletions();
    ASSERT_EQ(3u, pending.size());
    EXPECT_EQ(product_folder, path_parent(pending[0]));
    EXPECT_TRUE(IsBackupNameOf(path_filename(pending[0]), u"NimbicSetup.exe"));
    EXPECT_EQ((std::vector<std::u16string>{product_folder, u"C:\\Program Files\\Vantrel"}),
              std::vector<std::u16string>(pending.begin() + 1, pending.end()));
    // A reinstall before the restart: its program, record and folders survive it.
    memsys::set_program_path(u"C:\\Work\\program.exe");
    ASSERT_TRUE(InstallThroughWizard({ThreeVersions()[1]}));
    memsys::restart();
    EXPECT_EQ(setup_bytes, FileContent(program));
    EXPECT_TRUE(Exists(record_path));
    EXPECT_FALSE(Exists(pending[0]));

    // Uninstalled again, and the copy this time finds both processes ended: the program folder
    // goes and nothing waits for a restart. It waits for both without a limit: they are ours,
    // and a user may read the result page for as long as they like.
    memsys::set_program_path(program);
    EXPECT_EQ(uninstall_exit::done, RunEntry(u"/UAC /uninstall /quiet /caller 77", System()));
    const std::u16string second = memsys::started_programs().back();
    const std::u16string second_copy = second.substr(0, second.find(u".exe ") + 4);
    EXPECT_FALSE(Exists(copy)) << "the earlier copy, ended, is swept";
    memsys::set_program_path(second_copy);
    const size_t before = memsys::calls().size();
    EXPECT_EQ(0, RunEntry(u"/finish-uninstall 77 4242", System()));
    const std::vector<std::string> calls = memsys::calls();
    std::vector<uint32_t> waits;
    for (size_t i = before; i < calls.size(); ++i) {
        const std::string& call = calls[i];
        for (const std::string process : {"WaitForProcess 77 ", "WaitForProcess 4242 "}) {
            if (call.starts_with(process)) {
                waits.push_back(static_cast<uint32_t>(std::stoul(call.substr(process.size()))));
            }
        }
    }
    EXPECT_EQ((std::vector<uint32_t>{0xFFFFFFFFu, 0xFFFFFFFFu}), waits);
    EXPECT_FALSE(Exists(product_folder));
    EXPECT_FALSE(Exists(u"C:\\Program Files\\Vantrel"));
    EXPECT_TRUE(memsys::restart_deletions().empty());
    EXPECT_TRUE(Exists(second_copy)) << "a running copy stays until the next uninstall";
}

// When the Temp copy cannot be started the uninstall still removes everything else, and the
// running program goes aside and at the restart with its folders: 3010, quietly or in the
// window, never 0 with the program silently left behind.
TEST_F(UninstallTest, WithoutItsTempCopyTheProgramFolderGoesAtTheRestart)
{
    const HostVersion version = ThreeVersions()[1];
    const std::u16string program = product_folder + u"\\NimbicSetup.exe";
    const std::string note = "Restart Windows to finish: its program folder, C:\\Program "
                             "Files\\Vantrel\\Nimbic Plug-in, is deleted then.";
    for (const bool windowed : {false, true}) {
        SCOPED_TRACE(windowed ? "the window" : "quiet");
        SetUp();
        m_printed.clear();
        ASSERT_TRUE(InstallThroughWizard({version}));
        memsys::add_folder(u"C:\\Windows\\Temp");
        memsys::set_program_path(program);
        memsys::hold_file(program, memsys::holding::mapped_image);
        memsys::fail(memsys::op::start_program);
        if (!windowed) {
            EXPECT_EQ(uninstall_exit::restart_needed,
                      RunEntry(u"/UAC /uninstall /quiet /caller 77", System()));
            const std::string log =
                "C:\\ProgramData\\Vantrel\\NimbicSetup-uninstall-20260102-030405.log";
            EXPECT_EQ(
                std::vector<std::string>{"Nimbic Plug-in uninstall ended with 3010: removed. " +
                                         note + " (log: " + log + ")"},
                m_printed);
            EXPECT_NE(std::string::npos,
                      FileContent(zksdk::ui::utf8_to_utf16(log))
                          .find("\r\nprogram folder: C:\\Program Files\\Vantrel\\Nimbic Plug-in, "
                                "deleted when Windows restarts: its copy in the Windows Temp "
                                "folder, which deletes it, could not be started\r\n"));
        } else {
            HandUninstall uninstall;
            ASSERT_EQ(record_status::ok, uninstall.Load());
            UninstallUI window(uninstall);
            window.native().show();
            headless::set_focus_window(&window.native());
            headless::send_key_down(window.native(), enter_key);
            FinishRemoval(window);
            EXPECT_EQ("Nimbic Plug-in was removed from these places. " + note,
                      window.status_label().text());
            headless::push_step([&window] { headless::send_key_down(window.native(), enter_key); });
            EXPECT_EQ(uninstall_exit::restart_needed, window.run_modal());
        }
        EXPECT_FALSE(Exists(PluginOf(version)) || Exists(PanelOf(version)));
        EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
        EXPECT_FALSE(Exists(program)) << "aside, its name is free for the next setup";
        const std::vector<std::u16string> pending = memsys::restart_deletions();
        ASSERT_EQ(3u, pending.size());
        EXPECT_TRUE(IsBackupNameOf(path_filename(pending[0]), u"NimbicSetup.exe"));
        memsys::restart();
        EXPECT_FALSE(Exists(u"C:\\Program Files\\Vantrel"));
    }
}

TEST_F(UninstallTest, TheWindowIsDrivenByKeysAndAHeldFileFailsOnlyItsItem)
{
    const std::vector<HostVersion> versions = {ThreeVersions()[0], ThreeVersions()[1]};
    ASSERT_TRUE(InstallThroughWizard(versions));
    // CC2018 runs and holds its plug-in, as After Effects does.
    memsys::hold_file(PluginOf(versions[1]), memsys::holding::sharing_reads);
    memsys::set_file_holders(PluginOf(versions[1]), {u"Adobe After Effects CC 2018"});

    HandUninstall uninstall;
    ASSERT_EQ(record_status::ok, uninstall.Load());
    UninstallUI window(uninstall);
    window.native().show();
    headless::set_focus_window(&window.native());
    headless::send_paint(window.native(), {0, 0, 1024, 610});
    EXPECT_EQ(&window.uninstall_button(), window.focused_widget());
    const std::string folders =
        zksdk::ui::utf16_to_utf8(versions[0].plugin_folder) + "\\Vantrel\n" +
        zksdk::ui::utf16_to_utf8(ScriptsFolder(versions[0])) + "\\ScriptUI Panels";
    const std::string tree = zksdk::ui::test::access_dump(window.access_tree());
    using zksdk::ui::test::quoted;
    const std::string intro = "Nimbic Plug-in is installed in these places. UNINSTALL removes it "
                              "from all of them; a file changed since it was installed is kept.";
    EXPECT_TRUE(tree.starts_with(
        "client \"Nimbic Plug-in for After Effects Uninstaller\"\n"
        "  grouping \"Nimbic Plug-in for After Effects Uninstaller\"\n"
        "    static text \"Nimbic Plug-in for After Effects Uninstaller\" [read-only]\n"
        "    static text " +
        quoted(intro) + " [read-only]\n    static text \"CC2017\" [read-only]\n    static text " +
        quoted(folders) + " [read-only]\n    static text \"CC2018\" [read-only]\n"))
        << tree;
    // Each folder on one line, shortened in the middle where it would wrap, and the places in
    // the record's order.
    ASSERT_EQ(4u, window.place_labels().size());
    for (size_t i = 1; i < 4; i += 2) {
        const zksdk::ui::text_label& listed = *window.place_labels()[i];
        EXPECT_EQ(2u, listed.line_geometry().size()) << listed.text();
        EXPECT_TRUE(listed.text().ends_with("\\Scripts\\ScriptUI Panels")) << listed.text();
    }
    std::vector<std::string> order;
    for (const UninstallPlace& place : uninstall.Places()) {
        order.push_back(place.target);
    }
    EXPECT_EQ(order, (std::vector<std::string>{window.place_labels()[0]->text(),
                                               window.place_labels()[2]->text()}));
    EXPECT_EQ((std::vector<std::string>{"CC2017 plug-in", "CC2017 script", "CC2018 plug-in",
                                        "CC2018 script"}),
              RecordLines());
    EXPECT_TRUE(tree.ends_with(R"T(  push button "CANCEL" [focusable] (Press)
  push button "UNINSTALL" ~ )T" +
                               quoted(intro) + R"T( [focusable,focused,default] (Press)
)T")) << tree;

    // Tab goes round the two buttons; Enter presses the focused one.
    const auto tab = [&] {
        headless::send_key_down(window.native(), tab_key);
        headless::send_char(window.native(), u'\t');
    };
    tab();
    EXPECT_EQ(&window.cancel_button(), window.focused_widget());
    tab();
    ASSERT_EQ(&window.uninstall_button(), window.focused_widget());

    // The held plug-in fails alone: everything else is gone by the time the popup asks.
    PopupSeen seen;
    bool only_held_left = false;
    AnswerPopup(enter_key, &seen, [&] {
        only_held_left = Exists(PluginOf(versions[1])) && !Exists(PanelOf(versions[1])) &&
                         !Exists(PluginOf(versions[0])) && !Exists(PanelOf(versions[0]));
    });
    // The retry, with After Effects closed meanwhile.
    AnswerPopup(enter_key, nullptr, [&] { memsys::release_file(PluginOf(versions[1])); });
    headless::clear_announcements(window.native());
    headless::send_key_down(window.native(), enter_key);
    // While files go the focus is on the progress bar, which a reader follows, never on a
    // disabled button.
    EXPECT_TRUE(window.is_running());
    EXPECT_EQ(&window.progress_bar(), window.focused_widget());
    EXPECT_TRUE(window.progress_bar().accepts_input());
    EXPECT_FALSE(window.uninstall_button().is_enabled());
    FinishRemoval(window);
    EXPECT_TRUE(only_held_left);
    EXPECT_EQ("Failed to uninstall", seen.title);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ("The removal of Nimbic Plug-in for After Effects CC2018 failed!\n\nCould not remove "
              "the plugin file (another program holds it).\n - Make sure that After Effects is "
              "closed\n - Make sure you have administrative privileges.\nIn use by: Adobe After "
              "Effects CC 2018\n\nPlease contact support if you continue to have trouble.\n\nDo "
              "you want to retry?",
              seen.texts.front());

    EXPECT_TRUE(window.is_finished());
    EXPECT_EQ("Nimbic Plug-in was removed from these places.", window.status_label().text());
    EXPECT_EQ("FINISH", window.uninstall_button().caption());
    EXPECT_FALSE(window.cancel_button().is_enabled());
    EXPECT_EQ("Removed 1 of 1 file", window.progress_label().text());
    EXPECT_FALSE(Exists(PluginOf(versions[1])));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    EXPECT_FALSE(Exists(product_folder));
    // A reader hears each progress line once, as the window's poll sees it change, and the result
    // once (a name change of text that has no focus is read by nobody), the result last.
    using zksdk::ui::access_event;
    int told = 0;
    std::vector<std::string> progress;
    const std::string result = window.status_label().text();
    for (const headless::announcement& said : headless::announcements(window.native())) {
        const bool spoken = said.event == access_event::live_region_changed ||
                            said.event == access_event::notification;
        told += spoken && said.text == result;
        if (spoken && said.text.starts_with("Removed ")) {
            EXPECT_TRUE(progress.empty() || progress.back() != said.text) << said.text;
            progress.push_back(said.text);
        }
    }
    EXPECT_EQ(1, told);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ("Removed 0 of 4 files", progress.front());
    EXPECT_EQ("Removed 1 of 1 file", progress.back());
    ASSERT_FALSE(headless::announcements(window.native()).empty());
    EXPECT_EQ(access_event::notification, headless::announcements(window.native()).back().event);
    EXPECT_EQ(result, headless::announcements(window.native()).back().text);
    // FINISH says the result too, as the wizard's does, once it has been told: when the focus
    // comes back to it.
    const auto finish_description = [&window] {
        for (const zksdk::ui::access_node& node : window.access_tree()) {
            if (node.name == "FINISH") {
                return node.description;
            }
        }
        return std::string("no FINISH");
    };
    EXPECT_EQ("", finish_description());
    headless::set_focus_window(nullptr);
    headless::set_focus_window(&window.native());
    EXPECT_EQ(result, finish_description());
    headless::send_key_down(window.native(), enter_key);
    EXPECT_FALSE(window.native().is_visible());
}

// However the window is closed, it ends with what it did, never with 0 as if uninstalled: 1602
// before UNINSTALL, the quiet uninstall's failure code after a failed one.
TEST_F(UninstallTest, EveryWayOfClosingTheWindowEndsWithWhatItDid)
{
    const HostVersion version = ThreeVersions()[1];
    ASSERT_TRUE(InstallThroughWizard({version}));
    using closing = std::function<void(zksdk::ui::native_window&)>;
    const closing escape = [](auto& shown) { headless::send_key_down(shown, escape_key); };
    const closing alt_f4 = [](auto& shown) { headless::send_key_down(shown, 0x73, 1 << 29); };
    const closing title_bar_x = [](auto& shown) { headless::request_close(shown); };
    const closing finish = [](auto& shown) { headless::send_key_down(shown, enter_key); };

    const std::vector<memsys::entry> before = memsys::entries();
    for (const closing& way : {escape, alt_f4, title_bar_x}) {
        headless::push_step([&way] { way(*headless::focus_window()); });
        EXPECT_EQ(uninstall_exit::cancelled, RunEntry(u"/UAC /uninstall", System()));
        EXPECT_EQ(before.size(), memsys::entries().size());
    }

    // After Effects holds the plug-in and the retry is declined: the result page says it
    // failed, and the window ends with that however it is closed.
    memsys::hold_file(PluginOf(version), memsys::holding::sharing_reads);
    for (const closing& way : {alt_f4, title_bar_x, finish}) {
        HandUninstall uninstall;
        ASSERT_EQ(record_status::ok, uninstall.Load());
        UninstallUI window(uninstall);
        window.native().show();
        headless::set_focus_window(&window.native());
        AnswerPopup(escape_key);
        headless::send_key_down(window.native(), enter_key);
        FinishRemoval(window);
        ASSERT_TRUE(window.is_finished());
        EXPECT_EQ("Some components of Nimbic Plug-in were not removed. See the uninstall log in "
                  "C:\\ProgramData\\Vantrel.",
                  window.status_label().text());
        headless::push_step([&] { way(window.native()); });
        EXPECT_EQ(uninstall_exit::failed, window.run_modal());
        EXPECT_FALSE(window.native().is_visible());
        EXPECT_TRUE(memsys::registry_key_exists(memsys::registry_view::native, entry_key));
    }
    memsys::release_file(PluginOf(version));
    // Each window's log, the last one's at the same second as the others ("-3"), says why.
    const std::string log =
        FileContent(u"C:\\ProgramData\\Vantrel\\NimbicSetup-uninstall-20260102-030405-3.log");
    for (const std::string& line : std::vector<std::string>{
             "uninstalled by its window (/uninstall)\r\n",
             "\nfailed\tCC2018\tplug-in\t" + zksdk::ui::utf16_to_utf8(PluginOf(version)) +
                 "\tanother program holds it\r\n",
             "\nSettings > Apps: kept, for another try at the files still listed\r\n"
             "ended with 2: Some components of Nimbic Plug-in were not removed.\r\n"}) {
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\nin\n" << log;
    }
}

TEST_F(UninstallTest, ASecondSetupBringsTheFirstForwardAndEnds)
{
    memsys::hold_mutex_elsewhere(std::u16string(setup_window_mutex_name));
    // The elevated copy finds the first setup: no window of its own. A second wizard has done
    // its part; an uninstall has removed nothing and must not pass for done.
    EXPECT_EQ(exit_success, RunEntry(u"/UAC", System()));
    EXPECT_EQ(uninstall_exit::window_open, RunEntry(u"/UAC /uninstall /caller 12", System()));
    // The first copy asks before the elevation prompt, and starts no copy at all.
    EXPECT_EQ(exit_success, RunEntry(u"", System()));
    EXPECT_EQ(uninstall_exit::window_open, RunEntry(u"/uninstall", System()));
    EXPECT_EQ(4, m_brought_to_front);
    EXPECT_TRUE(m_relaunched.empty());
    EXPECT_EQ(0u, headless::pending_steps());
    memsys::release_mutex_elsewhere(std::u16string(setup_window_mutex_name));

    // Alone, the first copy holds nothing when it hands over: its copy takes the lock. It waits
    // for that copy (and the folder's removal for it) and ends with its code, so that Settings >
    // Apps reads its list again only once the uninstall is over.
    EXPECT_EQ(7, RunEntry(u"/uninstall", System()));
    EXPECT_EQ(std::vector<std::u16string>{u"/UAC /uninstall /caller 4242"}, m_relaunched);
    EXPECT_FALSE(SetupLock::IsTaken());
    EXPECT_FALSE(SetupLock::IsTaken(setup_window_mutex_name));

    // nimbic-deploy writing (the writing lock held) does not keep the window from opening; nor
    // do names a standard user made first, which do not pass for a setup either.
    const auto window_opens = [] {
        bool opened = false;
        headless::push_step([&opened] {
            opened = headless::focus_window() != nullptr;
            headless::send_key_down(*headless::focus_window(), escape_key);
        });
        return RunEntry(u"/UAC /uninstall", EntrySystem{}) == uninstall_exit::cancelled && opened;
    };
    memsys::hold_mutex_elsewhere(std::u16string(setup_mutex_name));
    EXPECT_TRUE(window_opens());
    for (const std::u16string_view name : {setup_mutex_name, setup_window_mutex_name}) {
        memsys::squat_mutex(std::u16string(name));
        memsys::hold_mutex_elsewhere(std::u16string(name));
    }
    EXPECT_TRUE(window_opens());
    EXPECT_EQ(4, m_brought_to_front) << "no setup was brought forward";
    m_relaunched.clear();
    EXPECT_EQ(exit_success, RunEntry(u"", System()));
    EXPECT_EQ(std::vector<std::u16string>{u"/UAC"}, m_relaunched);
}

TEST(ParseEntry, SwitchesAndTheProcessesToWaitFor)
{
    const struct {
        const char16_t* line;
        bool elevated, uninstall, quiet, finish;
        std::vector<uint32_t> processes;
    } cases[] = {
        {u"", false, false, false, false, {}},
        {u"/UAC", true, false, false, false, {}},
        {u"/UNINSTALL", false, true, false, false, {}},
        {u"/quiet", false, false, false, false, {}},
        {u"/uninstall /Quiet", false, true, true, false, {}},
        {u"/UAC /uninstall /quiet /caller 12", true, true, true, false, {12}},
        {u"/finish-uninstall 12 4242", false, false, false, true, {12, 4242}},
        {u"/finish-uninstall 12 x 13", false, false, false, true, {12}},
        {u"/uninstaller", false, false, false, false, {}},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(zksdk::ui::utf16_to_utf8(tested.line));
        const EntryRequest request = ParseEntry(tested.line);
        EXPECT_EQ(tested.elevated, request.elevated_copy);
        EXPECT_EQ(tested.uninstall, request.uninstall);
        EXPECT_EQ(tested.quiet, request.quiet);
        EXPECT_EQ(tested.finish, request.finish_uninstall);
        EXPECT_EQ(tested.processes, request.processes);
    }
}

} // namespace
} // namespace nimbic::test
