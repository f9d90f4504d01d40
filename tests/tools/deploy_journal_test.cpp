// nimbic-deploy's journal, record and held-file check on the memory machine: an install over an
// older version stopped at every one of its steps and rolled back, commits, held files, and
// uninstalling from the record alone.
#include "tests/tools/deploy_journal_fixture.h"

#include <functional>

namespace nimbic {
namespace {

using namespace test;

TEST_F(DeployJournalTest, AnInstallStoppedAtAnyStepRollsBackToTheOlderFilesByteForByte)
{
    const std::vector<std::string> before = Tree();
    size_t start = memsys::file_calls();
    const Outcome whole = Deploy({u"install", u"--from", setup, u"--journal", journal});
    ASSERT_EQ(0, whole.code) << whole.err;
    const size_t steps = memsys::file_calls() - start;
    ASSERT_GT(steps, 40u);

    for (const memsys::call_fault how : {memsys::call_fault::once, memsys::call_fault::killed}) {
        for (size_t step = 1; step <= steps; ++step) {
            SCOPED_TRACE((how == memsys::call_fault::once ? "fails at step " : "killed at step ") +
                         std::to_string(step));
            SetUp();
            start = memsys::file_calls();
            memsys::fail_file_call(start + step, how);
            Deploy({u"install", u"--from", setup, u"--journal", journal});
            memsys::fail_file_call(0, memsys::call_fault::once);
            for (int run = 0; run < 2; ++run) {
                const Outcome undone = Deploy({u"rollback", u"--journal", journal});
                EXPECT_EQ(0, undone.code) << undone.out << undone.err;
                EXPECT_EQ(std::vector<std::string>{}, Changes(before));
            }
        }
    }
}

TEST_F(DeployJournalTest, ACommitKeepsTheNewFilesAndDropsOnlyTheBackups)
{
    const Outcome installed = Deploy({u"install", u"--from", setup, u"--journal", journal});
    ASSERT_EQ(0, installed.code) << installed.err;
    EXPECT_TRUE(Holds(installed.out, {"CC2018\tscripts\tremoved (no longer shipped)\t"}));
    EXPECT_TRUE(AnyNamed(u".nimbic-old"));

    const Outcome committed = Deploy({u"commit", u"--journal", journal});
    EXPECT_EQ(0, committed.code) << committed.err;
    EXPECT_TRUE(Holds(committed.out, {"removed backup\tC:\\AE\\Adobe After Effects CC 2018",
                                      "Committed: the backups and the journal are deleted"}));
    EXPECT_FALSE(AnyNamed(u".nimbic-old"));
    EXPECT_FALSE(AnyNamed(u".nimbic-new"));
    EXPECT_FALSE(Exists(journal));
    EXPECT_FALSE(Exists(Retired(cc2018)));
    for (const std::u16string& support : {cc2018, v2019}) {
        EXPECT_EQ(plugin_bytes, Content(Plugin(support)));
        EXPECT_EQ(panel_script, Content(Panel(support)));
    }
    EXPECT_EQ("the studio's own", Content(cc2018 + u"\\Plug-ins\\Vantrel\\settings.txt"));
    InstallRecord record;
    ASSERT_EQ(record_status::ok, record.Load(record_path));
    EXPECT_EQ(4u, record.entries().size());
    EXPECT_EQ(nullptr, record.Find(Retired(cc2018)));
    EXPECT_EQ(Sha256Of(plugin_bytes), record.Find(Plugin(v2019))->sha256);

    // Nothing is left to undo or to end.
    const std::vector<std::string> after = Tree();
    EXPECT_TRUE(Holds(Deploy({u"rollback", u"--journal", journal}).out, {"nothing to do"}));
    EXPECT_EQ(0, Deploy({u"commit", u"--journal", journal}).code);
    EXPECT_EQ(after, Tree());
}

// A rollback puts an earlier file back only over the bytes the run left at its name, or where
// nothing is now: a file someone changed or put there after the run is theirs, and stays, with
// the earlier file beside it under its backup name.
TEST_F(DeployJournalTest, ARollbackPutsBackOnlyOverWhatTheRunLeft)
{
    const std::string hotfix = "MZ a hotfix the studio dropped in";
    struct Case {
        const char* what;
        bool uninstall; // under an uninstall's journal (the panel), else an install's (the plug-in)
        std::function<void(const std::u16string&)> meanwhile;
        std::string after; // the file's bytes after the rollback
        bool backup_stays;
    };
    const std::vector<Case> cases = {
        {"untouched since the install", false, [](const std::u16string&) {}, old_plugin, false},
        {"deleted since the install", false,
         [](const std::u16string& path) {
             ASSERT_EQ(sys::remove_result::removed, sys::delete_file(path));
         },
         old_plugin, false},
        {"changed since the install", false,
         [&](const std::u16string& path) { memsys::add_file(path, hotfix); }, hotfix, true},
        {"put back as it was since the install", false,
         [](const std::u16string& path) { memsys::add_file(path, old_plugin); }, old_plugin, false},
        {"untouched since the uninstall", true, [](const std::u16string&) {}, panel_script, false},
        {"put there since the uninstall", true,
         [&](const std::u16string& path) { memsys::add_file(path, hotfix); }, hotfix, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        if (c.uninstall) {
            ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--record", record_path}).code);
        }
        const std::u16string path = c.uninstall ? Panel(cc2018) : Plugin(cc2018);
        const std::u16string folder = path.substr(0, path.rfind(u'\\'));
        const Outcome run = Deploy({c.uninstall ? u"uninstall" : u"install", u"--from", setup,
                                    u"--record", record_path, u"--journal", journal});
        ASSERT_EQ(0, run.code) << run.out << run.err;
        c.meanwhile(path);
        for (int again = 0; again < 2; ++again) {
            const Outcome undone = Deploy({u"rollback", u"--journal", journal});
            EXPECT_EQ(0, undone.code) << undone.out << undone.err;
            EXPECT_EQ(c.after, Content(path));
            std::vector<std::u16string> backups;
            for (const memsys::entry& entry : memsys::entries()) {
                if (entry.path.starts_with(folder + u"\\") && entry.path.ends_with(u".nimbic-old"))
                    backups.push_back(entry.path);
            }
            ASSERT_EQ(c.backup_stays ? 1u : 0u, backups.size());
            if (c.backup_stays) {
                EXPECT_EQ(c.uninstall ? panel_script : old_plugin, Content(backups[0]));
                if (again == 0) {
                    EXPECT_TRUE(Holds(undone.out, {"kept\t" + zksdk::ui::utf16_to_utf8(path),
                                                   "the earlier file stays beside it as "}))
                        << undone.out;
                }
            }
            // Everything else is back as it was.
            EXPECT_EQ(c.uninstall ? plugin_bytes : old_plugin, Content(Plugin(v2019)));
            EXPECT_FALSE(Exists(journal));
        }
    }
}

TEST_F(DeployJournalTest, AHeldFileStopsTheInstallBeforeAnythingChanges)
{
    // The second version's host has loaded the older plug-in: readable, not replaceable.
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    const std::vector<std::string> before = Tree();
    const Outcome held = Deploy({u"install", u"--from", setup});
    EXPECT_EQ(2, held.code);
    EXPECT_TRUE(Holds(held.out,
                      {"2019\tplug-in\theld by another program\tC:\\AE\\Adobe After "
                       "Effects 2019\\Support Files\\Plug-ins\\Vantrel\\Nimbic.aex\n"},
                      {"installed"}));
    EXPECT_TRUE(Holds(held.err, {"1 file is held by another program (is After Effects running?); "
                                 "nothing was changed"}));
    EXPECT_EQ(before, Tree());

    // A held file that already holds our bytes needs no replacing, and stops nothing.
    memsys::release_file(Plugin(v2019));
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    const std::vector<std::string> installed = Tree();
    const Outcome again = Deploy({u"install", u"--from", setup});
    EXPECT_EQ(0, again.code) << again.out << again.err;
    EXPECT_EQ(installed, Tree());
    memsys::release_file(Plugin(v2019));
}

// Uninstall needs only the record: no setup program, no log folder. A loaded plug-in of ours is
// left for the restart under an aside name; a changed one and foreign ones stay; under a journal everything can come back.
TEST_F(DeployJournalTest, UninstallWorksFromTheRecordAlone)
{
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::add_file(Panel(v2019), "// the user's own edit");
    ASSERT_EQ(sys::remove_result::removed, sys::delete_file(setup));

    const std::vector<std::string> installed = Tree();
    const Outcome journaled = Deploy({u"uninstall", u"--journal", journal});
    EXPECT_EQ(0, journaled.code) << journaled.err;
    EXPECT_TRUE(Holds(journaled.out, {"2019\tfolder\tremoved at commit when empty\t"}));
    EXPECT_TRUE(AnyNamed(u".nimbic-old"));
    ASSERT_EQ(0, Deploy({u"rollback", u"--journal", journal}).code);
    EXPECT_EQ(installed, Tree());

    // A deletion left for the restart is the system's to carry out: no rollback takes it back,
    // so it is shown here without a journal. The loaded plug-in goes aside, its name free.
    memsys::hold_file(Plugin(cc2018), memsys::holding::mapped_image);
    const Outcome removed = Deploy({u"uninstall", u"--log", u"C:\\Work\\uninstall.log"});
    EXPECT_EQ(3010, removed.code) << removed.err;
    EXPECT_TRUE(
        Holds(removed.out,
              {"CC2018\tplug-in\tscheduled for deletion at restart\t",
               "2019\tscripts\tkept (changed since it was installed)\t", "2019\tplug-in\tremoved\t",
               "2019\tfolder\tremoved\t", "CC2018\tscripts\tremoved\t",
               "1 file is held by another program and will be deleted when Windows "
               "restarts."}));
    // The aside file, then its folder (the studio's file keeps it after the restart).
    const std::vector<std::u16string> left = memsys::restart_deletions();
    ASSERT_EQ(2u, left.size());
    EXPECT_TRUE(left[0].starts_with(Plugin(cc2018) + u".")) << zksdk::ui::utf16_to_utf8(left[0]);
    EXPECT_EQ(cc2018 + u"\\Plug-ins\\Vantrel", left[1]);
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    EXPECT_EQ("// the user's own edit", Content(Panel(v2019)));
    EXPECT_EQ("the studio's own", Content(cc2018 + u"\\Plug-ins\\Vantrel\\settings.txt"));
    EXPECT_FALSE(Exists(v2019 + u"\\Plug-ins\\Vantrel"));
    // Nothing is left that is ours: the record goes too.
    EXPECT_FALSE(Exists(record_path));
    memsys::restart();
    EXPECT_FALSE(Exists(left[0]));
}

TEST_F(DeployJournalTest, AStaleRegistrationIsSkippedWhenNoVersionsAreAllowed)
{
    // After Effects 2020 was uninstalled, but its registration stayed.
    memsys::set_registry_string(memsys::registry_view::native,
                                u"SOFTWARE\\Adobe\\After Effects\\17.0", u"PluginInstallPath",
                                u"C:\\AE\\Adobe After Effects 2020\\Support Files\\Plug-ins");
    const Outcome strict = Deploy({u"install", u"--from", setup});
    EXPECT_EQ(2, strict.code);
    EXPECT_TRUE(Holds(strict.out, {"2020\tplug-in\tfailed (error 40)\t"}));

    const Outcome fleet = Deploy(
        {u"install", u"--from", setup, u"--allow-no-versions", u"--log", u"C:\\Work\\install.log"});
    EXPECT_EQ(0, fleet.code) << fleet.err;
    EXPECT_TRUE(Holds(fleet.out, {"2020\tplug-in\tskipped (the plug-in folder does not exist)\t",
                                  "Nimbic Plug-in installed into 2 targets."}));
    EXPECT_TRUE(Holds(Content(u"C:\\Work\\install.log"), {"skipped"}));
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
}

} // namespace
} // namespace nimbic
