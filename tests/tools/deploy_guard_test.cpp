// What nimbic-deploy will not be steered by, on the memory machine: a record or journal a
// standard user could have written (elevated runs refuse them), one that names someone else's
// files (never touched), paths that depend on the current folder (made whole first), and the
// journal's own leftovers.
#include "tests/tools/deploy_journal_fixture.h"

#include "engine/opened_folder.h"
#include "engine/paths.h"

namespace nimbic {
namespace {

using namespace test;

const std::u16string system_file = u"C:\\Windows\\System32\\important.dll";
const std::string system_bytes = "a system library whose size and hash anyone can know";

class DeployGuardTest : public DeployJournalTest {
protected:
    void SetUp() override
    {
        DeployJournalTest::SetUp();
        memsys::add_folder(u"C:\\Windows");
        memsys::add_folder(u"C:\\Windows\\System32");
        memsys::add_file(system_file, system_bytes);
    }

    static std::string JournalLine(const std::string& fields) { return fields + "\t;\r\n"; }
};

TEST_F(DeployGuardTest, AnElevatedRunRefusesARecordOrJournalAStandardUserCouldHaveWritten)
{
    const std::u16string planted = u"C:\\Users\\Public\\plant";
    const struct {
        const char* name;
        std::u16string owned_by_a_user; // the file or folder made a standard user's
        bool elevated;
    } cases[] = {
        {"a record in a user's folder", u"C:\\Users\\Public\\plant", true},
        {"a record a user owns in an administrators' folder",
         u"C:\\Users\\Public\\plant\\install-record.txt", true},
        {"a journal a user owns", u"C:\\Users\\Public\\plant\\journal.txt", true},
        {"the same, not elevated", u"C:\\Users\\Public\\plant", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        memsys::add_folder(u"C:\\Users");
        memsys::add_folder(u"C:\\Users\\Public");
        memsys::add_folder(planted);
        // Both name the system file, whose bytes they know: a record as ours, a journal as made.
        InstallRecord record;
        record.Add({record_component::plugin, "2019", system_file, system_bytes.size(),
                    Sha256Of(system_bytes)});
        ASSERT_EQ(record_status::ok, record.Save(planted + u"\\install-record.txt"));
        memsys::add_file(planted + u"\\journal.txt",
                         "Nimbic journal 1\r\n" +
                             JournalLine("created\t" + std::to_string(system_bytes.size()) + "\t" +
                                         HexDigest(Sha256Of(system_bytes)) +
                                         "\tC:\\Windows\\System32\\important.dll"));
        memsys::set_administrator_owner(c.owned_by_a_user, false);
        memsys::set_elevated(c.elevated);
        const std::vector<std::string> before = Tree();

        const Outcome uninstall = Deploy(
            {u"uninstall", u"--from", setup, u"--record", planted + u"\\install-record.txt"});
        const Outcome rollback = Deploy({u"rollback", u"--journal", planted + u"\\journal.txt"});
        const Outcome install =
            Deploy({u"install", u"--from", setup, u"--record", planted + u"\\install-record.txt"});
        // Whoever owns them, neither may touch the system file: it is no file of ours.
        EXPECT_EQ(system_bytes, Content(system_file));
        const bool record_refused = c.elevated && !c.owned_by_a_user.ends_with(u"journal.txt");
        const bool journal_refused =
            c.elevated && !c.owned_by_a_user.ends_with(u"install-record.txt");
        if (record_refused) {
            EXPECT_TRUE(Holds(uninstall.err, {"warning: the install record", "is not used"}));
            // Without the record, SETUP says which bytes are ours: the older files are not.
            EXPECT_TRUE(Holds(uninstall.out, {"Removed 0 files"}));
            EXPECT_EQ(1, install.code);
            EXPECT_TRUE(Holds(install.err, {"give --record FILE in a folder only administrators "
                                            "can write; nothing was changed"}));
        } else {
            EXPECT_TRUE(
                Holds(uninstall.out, {"2019\tplug-in\tkept (not a file of this product)\t"}));
            EXPECT_EQ(0, install.code) << install.err;
        }
        if (journal_refused) {
            EXPECT_EQ(1, rollback.code);
            EXPECT_TRUE(Holds(rollback.err, {"is not owned by Administrators, SYSTEM or "
                                             "TrustedInstaller (or its folder is not)"}));
        } else {
            EXPECT_EQ(2, rollback.code);
            EXPECT_TRUE(Holds(rollback.out, {"not done: it is not a file of this product"}));
        }
        if (record_refused) {
            EXPECT_EQ(before, Tree());
        }
    }
}

// A journal from the administrators' own folder that names other files still moves only ours:
// a backup renamed over a system file, a temporary or backup that is no name of ours.
TEST_F(DeployGuardTest, AJournalNamingOtherFilesLeavesThemAlone)
{
    memsys::add_file(u"C:\\Windows\\System32\\important.dll.0123456789abcdef.nimbic-old",
                     "an attacker's library");
    memsys::add_file(u"C:\\Windows\\System32\\settings.ini", "the system's settings");
    const std::string hash = HexDigest(Sha256Of("an attacker's library"));
    memsys::add_file(journal, "Nimbic journal 1\r\n" +
                                  JournalLine("backup\t21\t" + hash + "\t" +
                                              "C:\\Windows\\System32\\important.dll\t"
                                              "important.dll.0123456789abcdef.nimbic-old") +
                                  JournalLine("temporary\tC:\\Windows\\System32\\settings.ini") +
                                  JournalLine("backup\t21\t" + hash +
                                              "\tC:\\Windows\\System32\\x.dll\tsettings.ini"));
    const std::vector<std::string> before = Tree();
    const Outcome rollback = Deploy({u"rollback", u"--journal", journal});
    EXPECT_EQ(2, rollback.code);
    EXPECT_EQ(before, Tree());
    const Outcome commit = Deploy({u"commit", u"--journal", journal});
    EXPECT_EQ(2, commit.code);
    EXPECT_EQ("the system's settings", Content(u"C:\\Windows\\System32\\settings.ini"));
    EXPECT_EQ(system_bytes, Content(system_file));
}

// A rollback or uninstall run from another folder finds what a run with relative paths did.
TEST_F(DeployGuardTest, RelativePathsAreMadeWholeBeforeTheyAreKept)
{
    memsys::add_folder(u"C:\\Work\\Rel");
    const std::vector<std::string> before = Tree();
    const Outcome installed =
        Deploy({u"install", u"--from", setup, u"--only", u"2019", u"--plugin-folder",
                u"Rel\\Plug-ins", u"--scripts-folder", u"Rel\\.\\Scripts.", u"--journal",
                u"journal.txt", u"--record", u"records\\..\\install-record.txt"});
    ASSERT_EQ(0, installed.code) << installed.err;
    EXPECT_TRUE(
        Holds(Content(record_path), {"plug-in\tCustom\tcreated\t5019\t",
                                     "\tC:\\Work\\Rel\\Plug-ins\\Vantrel\\Nimbic.aex\r\n",
                                     "\tC:\\Work\\Rel\\Scripts\\ScriptUI Panels\\Nimbic.jsx\r\n",
                                     "plug-in\t2019\treplaced\t5019\t"}));
    EXPECT_TRUE(Holds(Content(journal), {"\tC:\\Work\\Rel\\Plug-ins\\Vantrel\\Nimbic.aex\t;"}));
    sys::enter_system_folder();
    const Outcome undone = Deploy({u"rollback", u"--journal", journal});
    EXPECT_EQ(0, undone.code) << undone.err;
    EXPECT_EQ(std::vector<std::string>{}, Changes(before));

    // Bare names, missing: made below the current folder.
    const Outcome bare = Deploy({u"install", u"--from", setup, u"--only", u"2019",
                                 u"--plugin-folder", u"P", u"--scripts-folder", u"S"});
    EXPECT_EQ(0, bare.code) << bare.out << bare.err;
    EXPECT_EQ(plugin_bytes, Content(u"C:\\Windows\\System32\\P\\Vantrel\\Nimbic.aex"));
    SetUp();
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--plugin-folder", u"Rel\\Plug-ins",
                         u"--scripts-folder", u"Rel\\Scripts"})
                     .code);
    sys::enter_system_folder();
    const Outcome removed = Deploy({u"uninstall", u"--record", record_path});
    EXPECT_EQ(0, removed.code) << removed.err;
    EXPECT_FALSE(Exists(u"C:\\Work\\Rel\\Plug-ins\\Vantrel\\Nimbic.aex"));
}

TEST_F(DeployGuardTest, TheJournalLeavesNothingOfItsOwnAndIsNeverSomethingElse)
{
    // Its own folders go with it, on rollback as on commit.
    const std::u16string deep = u"C:\\State\\Deploy\\journal.txt";
    for (const char16_t* end : {u"rollback", u"commit"}) {
        SetUp();
        ASSERT_EQ(0, Deploy({u"install", u"--from", setup, u"--journal", deep}).code);
        EXPECT_TRUE(Holds(Content(deep), {"journal-folder\tC:\\State\t;\r\njournal-folder\t"
                                          "C:\\State\\Deploy\t;\r\n"}));
        EXPECT_EQ(0, Deploy({end, u"--journal", deep}).code);
        EXPECT_FALSE(Exists(u"C:\\State"));
    }

    // A run that changes nothing (a held file) starts no journal.
    SetUp();
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    EXPECT_EQ(2, Deploy({u"install", u"--from", setup, u"--journal", deep}).code);
    EXPECT_FALSE(Exists(u"C:\\State"));
    memsys::release_file(Plugin(v2019));

    // An empty file is nobody's journal: never added to, never deleted.
    memsys::add_file(u"C:\\Work\\empty.flag", "");
    const std::vector<std::string> before = Tree();
    const Outcome install =
        Deploy({u"install", u"--from", setup, u"--journal", u"C:\\Work\\empty.flag"});
    EXPECT_EQ(1, install.code);
    EXPECT_TRUE(Holds(install.err, {"is not a journal of nimbic-deploy; it is left alone"}));
    EXPECT_EQ(1, Deploy({u"commit", u"--journal", u"C:\\Work\\empty.flag"}).code);
    EXPECT_EQ(1, Deploy({u"rollback", u"--journal", u"C:\\Work\\empty.flag"}).code);
    EXPECT_EQ(before, Tree());
}

// What a record says of its files, in records old and new; and entries behind a link stay in it.
TEST_F(DeployGuardTest, TheRecordSaysHowEachFileCameAndKeepsWhatALinkHid)
{
    // The fixture's record was written by this version; an earlier one had no origin field.
    memsys::add_file(record_path, "Nimbic install record 1\r\nplug-in\t2019\t" +
                                      std::to_string(old_plugin.size()) + "\t" +
                                      HexDigest(Sha256Of(old_plugin)) + "\t" +
                                      zksdk::ui::utf16_to_utf8(Plugin(v2019)) + "\r\n");
    InstallRecord earlier;
    ASSERT_EQ(record_status::ok, earlier.Load(record_path));
    ASSERT_EQ(1u, earlier.entries().size());
    EXPECT_EQ(record_origin::unknown, earlier.entries()[0].origin);

    ASSERT_EQ(sys::remove_result::removed, sys::delete_file(Plugin(cc2018)));
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    InstallRecord record;
    ASSERT_EQ(record_status::ok, record.Load(record_path));
    EXPECT_EQ(record_origin::created, record.Find(Plugin(cc2018))->origin);
    EXPECT_EQ(record_origin::replaced, record.Find(Plugin(v2019))->origin);
    EXPECT_EQ(record_origin::replaced, record.Find(Panel(cc2018))->origin);
    EXPECT_EQ(record_origin::created, record.Find(Panel(v2019))->origin);

    // 2019's Vantrel is swapped for a link: its plug-in is left alone, and stays recorded.
    memsys::move(v2019 + u"\\Plug-ins\\Vantrel", v2019 + u"\\Plug-ins\\Vantrel (moved)");
    memsys::add_link(v2019 + u"\\Plug-ins\\Vantrel", v2019 + u"\\Plug-ins\\Vantrel (moved)");
    const Outcome linked = Deploy({u"uninstall"});
    EXPECT_EQ(0, linked.code) << linked.err;
    EXPECT_TRUE(Holds(linked.out, {"2019\tplug-in\tkept (reached through a link)\t"}));
    memsys::move(v2019 + u"\\Plug-ins\\Vantrel", v2019 + u"\\Plug-ins\\link");
    memsys::move(v2019 + u"\\Plug-ins\\Vantrel (moved)", v2019 + u"\\Plug-ins\\Vantrel");
    const Outcome later = Deploy({u"uninstall"});
    EXPECT_EQ(0, later.code) << later.err;
    EXPECT_TRUE(Holds(later.out, {"2019\tplug-in\tremoved\t"}));
    EXPECT_FALSE(Exists(Plugin(v2019)));
}

// The uninstall compares and deletes through one handle that lets nobody write meanwhile: a
// file another program has open for writing is not deleted under it.
TEST_F(DeployGuardTest, AFileOpenForWritingIsNotDeletedUnderItsWriter)
{
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    OpenedFolder folder;
    ASSERT_EQ(sys::open_result::opened,
              OpenedFolder::Open(path_parent(Panel(v2019)), sys::folder_creation::open_existing,
                                 nullptr, &folder));
    sys::file_handle writer = sys::invalid_file;
    ASSERT_EQ(sys::open_result::opened,
              sys::open_child_file(folder.handle(), u"Nimbic.jsx", sys::child_access::overwrite,
                                   &writer));
    const Outcome removed = Deploy({u"uninstall", u"--only", u"2019"});
    EXPECT_EQ(2, removed.code);
    EXPECT_TRUE(Holds(removed.out, {"2019\tscripts\tfailed (another program holds it)\t"}));
    EXPECT_EQ(panel_script, Content(Panel(v2019)));
    EXPECT_TRUE(memsys::restart_deletions().empty()) << "never left by its own name";
    sys::close_file(writer);
}

} // namespace
} // namespace nimbic
