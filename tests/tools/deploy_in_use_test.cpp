// Files a host has in use, on the memory machine: a plug-in mapped as a module (readable and
// renamable, not writable, deletable or replaceable, as Windows keeps an image) and one held
// open. Without a journal an install changes nothing; under one the module is renamed aside,
// and whatever cannot go now is left for the restart by an aside name, at commit, never before.
#include "tests/tools/deploy_journal_fixture.h"

namespace nimbic {
namespace {

using namespace test;

class DeployInUseTest : public DeployJournalTest {
protected:
    // The paths below the versions' folders holding `piece` in their names.
    static std::vector<std::u16string> Named(std::u16string_view piece)
    {
        std::vector<std::u16string> found;
        for (const memsys::entry& entry : memsys::entries()) {
            if (entry.path.find(piece) != std::u16string::npos)
                found.push_back(entry.path);
        }
        return found;
    }
};

TEST_F(DeployInUseTest, ALoadedPluginStopsAnInstallWithoutAJournalAndIsRenamedAsideUnderOne)
{
    // After Effects 2019 runs with the older plug-in loaded.
    memsys::hold_file(Plugin(v2019), memsys::holding::mapped_image);
    const std::vector<std::string> before = Tree();
    const Outcome plain = Deploy({u"install", u"--from", setup});
    EXPECT_EQ(2, plain.code);
    EXPECT_TRUE(Holds(plain.out, {"2019\tplug-in\theld by another program\t"}, {"installed"}));
    EXPECT_EQ(before, Tree());

    const Outcome journaled = Deploy({u"install", u"--from", setup, u"--journal", journal});
    ASSERT_EQ(0, journaled.code) << journaled.out << journaled.err;
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
    const std::vector<std::u16string> aside = Named(u"Nimbic.aex.");
    ASSERT_EQ(2u, aside.size());

    // The commit cannot delete the backup the host still maps: it goes at the restart, by its
    // own aside name, and the transaction ends all the same.
    const Outcome committed = Deploy({u"commit", u"--journal", journal});
    EXPECT_EQ(3010, committed.code) << committed.out << committed.err;
    EXPECT_TRUE(
        Holds(committed.out, {"scheduled for deletion at restart\tC:\\AE\\Adobe After "
                              "Effects 2019\\Support Files\\Plug-ins\\Vantrel\\Nimbic.aex.",
                              "1 file is in use and left for the restart. Restart Windows"}));
    EXPECT_FALSE(Exists(journal));
    const std::vector<std::u16string> left = memsys::restart_deletions();
    ASSERT_EQ(1u, left.size());
    EXPECT_TRUE(left[0].starts_with(Plugin(v2019) + u".")) << zksdk::ui::utf16_to_utf8(left[0]);
    memsys::restart();
    EXPECT_TRUE(Named(u".nimbic-").empty());
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
}

// Whatever stops a commit's step, the commit ends the transaction: the next run starts a journal
// of its own, and its rollback goes back to the committed files, never further.
TEST_F(DeployInUseTest, ACommitEndsTheTransactionWhateverItsStepsMeet)
{
    const struct {
        const char* name;
        std::function<void()> arrange;
        int code;
    } cases[] = {
        {"a backup a host has loaded",
         [] {
             for (const std::u16string& path : Named(u".nimbic-old"))
                 memsys::hold_file(path, memsys::holding::mapped_image);
         },
         3010},
        {"a backup held open", [] { memsys::hold_file(Named(u".nimbic-old")[0]); }, 3010},
        {"a backup that cannot be deleted nor left for the restart",
         [] {
             memsys::fail(memsys::op::delete_file, 1, u".nimbic-old");
             memsys::fail(memsys::op::delete_at_restart);
         },
         2},
        {"the journal itself cannot be deleted",
         [] { memsys::fail(memsys::op::delete_file, 1, u"journal.txt"); }, 3010},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--journal", journal}).code);
        c.arrange();
        const Outcome committed = Deploy({u"commit", u"--journal", journal});
        EXPECT_EQ(c.code, committed.code) << committed.out << committed.err;
        EXPECT_FALSE(Exists(journal));
        memsys::restart();
        const std::vector<std::string> committed_tree = Tree();

        // A repair of the same package, rolled back.
        const Outcome again = Deploy({u"install", u"--from", setup, u"--journal", journal});
        EXPECT_EQ(0, again.code) << again.err;
        const Outcome undone = Deploy({u"rollback", u"--journal", journal});
        EXPECT_EQ(0, undone.code) << undone.out << undone.err;
        EXPECT_EQ(std::vector<std::string>{}, Changes(committed_tree));
        for (const std::u16string& support : {cc2018, v2019})
            EXPECT_EQ(plugin_bytes, Content(Plugin(support)));
    }
}

// A commit killed at any step is either not begun (a rollback undoes the whole run) or begun (a
// rollback refuses, and the next run finishes it first): never half of each.
TEST_F(DeployInUseTest, ACommitKilledAtAnyStepIsNeverHalfUndone)
{
    const std::vector<std::string> before = Tree();
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--journal", journal}).code);
    size_t start = memsys::file_calls();
    ASSERT_EQ(0, Deploy({u"commit", u"--journal", journal}).code);
    const size_t steps = memsys::file_calls() - start;
    const std::vector<std::string> committed = Tree();
    for (size_t step = 1; step <= steps; ++step) {
        SCOPED_TRACE("killed at step " + std::to_string(step));
        SetUp();
        ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--journal", journal}).code);
        start = memsys::file_calls();
        memsys::fail_file_call(start + step, memsys::call_fault::killed);
        Deploy({u"commit", u"--journal", journal});
        memsys::fail_file_call(0, memsys::call_fault::once);
        const Outcome rollback = Deploy({u"rollback", u"--journal", journal});
        if (rollback.code == 2) {
            EXPECT_TRUE(Holds(rollback.err, {"whose commit has begun: nothing is undone"}));
            const Outcome next = Deploy({u"install", u"--from", setup, u"--journal", journal});
            EXPECT_TRUE(Holds(next.out, {"it is finished first"}));
            EXPECT_EQ(0, Deploy({u"rollback", u"--journal", journal}).code);
            EXPECT_EQ(std::vector<std::string>{}, Changes(committed));
        } else {
            EXPECT_EQ(0, rollback.code) << rollback.out << rollback.err;
            const std::vector<std::string> changes = Changes(before);
            // A commit killed before it began may still have deleted nothing but the journal's
            // own leftovers.
            EXPECT_EQ(std::vector<std::string>{}, changes);
        }
    }
}

// A loaded plug-in goes aside and at the restart; one held open so that it cannot even be renamed
// fails its item, its holder named, and is never left for the restart by its own name: the
// setup run again before the restart would write that name, and the restart delete it.
TEST_F(DeployInUseTest, AnUninstallLeavesOnlyAsideNamesForTheRestartAndFailsAFileItCannotRename)
{
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    // CC2018 has the plug-in loaded; 2019's host holds its copy open, sharing reads only.
    memsys::hold_file(Plugin(cc2018), memsys::holding::mapped_image);
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    memsys::set_file_holders(Plugin(v2019), {u"Adobe After Effects 2019"});
    const std::vector<std::string> installed = Tree();
    const std::string held_row = "2019\tplug-in\tfailed (another program holds it)\t" +
                                 zksdk::ui::utf16_to_utf8(Plugin(v2019)) +
                                 "\n    In use by: Adobe After Effects 2019\n";
    const std::string retry = "1 file is held by another program (is After Effects running?): "
                              "close it and run the uninstall again";

    // Under a journal the loaded one becomes a backup, and nothing is left for the restart
    // before the commit; the held one fails, so the run fails and is rolled back whole.
    const Outcome journaled = Deploy({u"uninstall", u"--journal", journal});
    EXPECT_EQ(2, journaled.code) << journaled.out << journaled.err;
    EXPECT_TRUE(Holds(journaled.out, {"CC2018\tplug-in\tremoved\t", held_row},
                      {"scheduled for deletion at restart"}));
    EXPECT_TRUE(Holds(journaled.err, {retry}));
    EXPECT_TRUE(memsys::restart_deletions().empty());
    ASSERT_EQ(0, Deploy({u"rollback", u"--journal", journal}).code);
    EXPECT_EQ(installed, Tree());
    EXPECT_TRUE(memsys::restart_deletions().empty());

    // Without a journal the same at once: the loaded one aside for the restart, the held one in
    // place and still recorded, for the run after its host let go.
    const Outcome removed = Deploy({u"uninstall"});
    EXPECT_EQ(2, removed.code) << removed.out << removed.err;
    EXPECT_TRUE(Holds(removed.out, {"CC2018\tplug-in\tscheduled for deletion at restart\t",
                                    held_row, "2019\tscripts\tremoved\t"}));
    EXPECT_TRUE(Holds(removed.err, {retry}));
    // The aside file first, then its maker's folder, which the restart removes only when empty.
    const std::u16string maker = Plugin(cc2018).substr(0, Plugin(cc2018).rfind(u'\\'));
    EXPECT_TRUE(Holds(removed.out, {"CC2018\tfolder\tremoved at restart when empty\t" +
                                    zksdk::ui::utf16_to_utf8(maker)}));
    std::vector<std::u16string> left = memsys::restart_deletions();
    ASSERT_EQ(2u, left.size());
    EXPECT_TRUE(left[0].starts_with(Plugin(cc2018) + u".")) << zksdk::ui::utf16_to_utf8(left[0]);
    EXPECT_EQ(maker, left[1]);
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
    EXPECT_TRUE(Holds(Content(record_path), {zksdk::ui::utf16_to_utf8(Plugin(v2019))},
                      {zksdk::ui::utf16_to_utf8(Plugin(cc2018))}));

    // Both installed again before the restart: the restart takes only the aside name, and the
    // record's last entry goes once its host let go.
    memsys::release_file(Plugin(v2019));
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::restart();
    EXPECT_EQ(plugin_bytes, Content(Plugin(cc2018)));
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
    EXPECT_TRUE(Named(u".nimbic-").empty());
    const Outcome again = Deploy({u"uninstall"});
    EXPECT_EQ(0, again.code) << again.out << again.err;
    EXPECT_FALSE(Exists(Plugin(v2019)));
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    EXPECT_TRUE(memsys::restart_deletions().empty());
    // The studio's file keeps CC2018's folder; 2019's, with only its loaded plug-in aside in it
    // when uninstalled, is gone after the restart.
    EXPECT_TRUE(Exists(maker));
    const std::u16string maker2019 = Plugin(v2019).substr(0, Plugin(v2019).rfind(u'\\'));
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::hold_file(Plugin(v2019), memsys::holding::mapped_image);
    ASSERT_EQ(3010, Deploy({u"uninstall", u"--only", u"2019"}).code);
    ASSERT_TRUE(Exists(maker2019));
    memsys::restart();
    EXPECT_FALSE(Exists(maker2019));
}

// After Effects loaded the new plug-in after the install: the rollback still puts the older one
// back, renaming the loaded one aside for the restart; a file the run created goes the same way.
TEST_F(DeployInUseTest, ARollbackPutsTheEarlierFileBackOverOneAHostLoadedSince)
{
    ASSERT_EQ(sys::remove_result::removed, sys::delete_file(Plugin(cc2018)));
    const std::vector<std::string> before = Tree();
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--journal", journal}).code);
    memsys::hold_file(Plugin(v2019), memsys::holding::mapped_image);
    memsys::hold_file(Plugin(cc2018), memsys::holding::mapped_image);

    const Outcome undone = Deploy({u"rollback", u"--journal", journal});
    EXPECT_EQ(3010, undone.code) << undone.out << undone.err;
    EXPECT_TRUE(Holds(undone.out, {"restored\tC:\\AE\\Adobe After Effects 2019\\Support "
                                   "Files\\Plug-ins\\Vantrel\\Nimbic.aex\n",
                                   "2 files are in use and left for the restart."}));
    EXPECT_EQ(old_plugin, Content(Plugin(v2019)));
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    EXPECT_EQ(2u, memsys::restart_deletions().size());
    memsys::restart();
    EXPECT_EQ(std::vector<std::string>{}, Changes(before));
}

} // namespace
} // namespace nimbic
