// nimbic-deploy's logs on the memory machine: a log of each run's own with the newest ten kept,
// and a log folder that cannot be trusted skipped with a warning while the run goes on. Also
// what the MSI's actions lean on: their data split into arguments, the product's folders removed
// at commit, and an uninstall that knows no file of ours.
#include "tests/tools/deploy_fixture.h"

#include "tools/nimbic_deploy/action_arguments.h"

namespace nimbic {
namespace {

using namespace test;

const std::u16string logs = u"C:\\ProgramData\\Vantrel";

std::vector<std::u16string> Names(const std::u16string& folder)
{
    std::vector<std::u16string> names;
    for (const memsys::entry& entry : memsys::entries()) {
        if (entry.path.starts_with(folder + u"\\"))
            names.push_back(entry.path.substr(folder.size() + 1));
    }
    return names;
}

TEST_F(DeployTest, EachRunLogsToItsOwnFileAndTheNewestTenAreKept)
{
    memsys::add_folder(logs);
    // Not ours to prune: another command's log, and names that only look like ours.
    memsys::add_file(logs + u"\\nimbic-deploy-uninstall-20250101-000000.log", "uninstall");
    memsys::add_file(logs + u"\\nimbic-deploy-install-notes.log", "notes");
    memsys::add_file(logs + u"\\nimbic-deploy-install-20250101-000000.txt", "text");
    // The machine's clock stands still, so every run falls in the same second.
    for (int run = 1; run <= 12; ++run) {
        const Outcome outcome =
            Deploy({u"install", u"--from", setup, u"--log-folder", logs + u"\\"});
        ASSERT_EQ(0, outcome.code) << outcome.err;
        EXPECT_EQ("", outcome.err);
    }
    std::vector<std::u16string> expected = {u"nimbic-deploy-install-20250101-000000.txt",
                                            u"nimbic-deploy-install-20260102-030405-10.log",
                                            u"nimbic-deploy-install-20260102-030405-11.log",
                                            u"nimbic-deploy-install-20260102-030405-12.log"};
    for (int run = 3; run <= 9; ++run)
        expected.push_back(u"nimbic-deploy-install-20260102-030405-" +
                           std::u16string(1, static_cast<char16_t>(u'0' + run)) + u".log");
    expected.push_back(u"nimbic-deploy-install-notes.log");
    expected.push_back(u"nimbic-deploy-uninstall-20250101-000000.log");
    std::vector<std::u16string> names = Names(logs);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, names);
    EXPECT_TRUE(Holds(Content(logs + u"\\nimbic-deploy-install-20260102-030405-12.log"),
                      {"2026-01-02 03:04:05  Nimbic Plug-in installed into 2 targets."}));

    const Outcome committed =
        Deploy({u"commit", u"--journal", u"C:\\Work\\none.journal", u"--log-folder", logs});
    EXPECT_EQ(0, committed.code);
    EXPECT_TRUE(
        Holds(Content(logs + u"\\nimbic-deploy-commit-20260102-030405.log"), {"nothing to do"}));
}

// A run as SYSTEM must not be steered into writing elsewhere through its log, and must not fail
// for want of one: each case still installs, with a warning and no log.
TEST_F(DeployTest, ALogThatCannotBeWrittenSafelyIsSkippedAndTheRunGoesOn)
{
    const std::u16string elsewhere = u"C:\\Windows\\System32";
    auto linked = [&] {
        memsys::add_folder(elsewhere);
        memsys::add_link(logs, elsewhere);
    };
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::u16string> log;
        const char* warning;      // nullptr: the log is written
        bool made_locked = false; // the log folder is made, with the locked access list
    } cases[] = {
        {"a log folder that is a link",
         linked,
         {u"--log-folder", logs},
         "the log folder \"C:\\ProgramData\\Vantrel\" is reached through a link or mount point"},
        {"a log file in a linked folder",
         linked,
         {u"--log", logs + u"\\deploy.log"},
         "is reached through a link or mount point"},
        {"a log folder a standard user owns, elevated",
         [&] {
             memsys::add_folder(logs);
             memsys::set_administrator_owner(logs, false);
         },
         {u"--log-folder", logs},
         "the log folder \"C:\\ProgramData\\Vantrel\" is not owned by Administrators or SYSTEM"},
        {"the same folder, not elevated",
         [&] {
             memsys::add_folder(logs);
             memsys::set_administrator_owner(logs, false);
             memsys::set_elevated(false);
         },
         {u"--log-folder", logs},
         nullptr},
        // Made again through ProgramData's handle, locked from the start.
        {"a log folder someone deleted", [] {}, {u"--log-folder", logs}, nullptr, true},
        // No log; the install itself then makes the maker's folder in ProgramData, locked too.
        {"a log folder whose parent is gone",
         [] {},
         {u"--log-folder", u"C:\\Gone\\Vantrel"},
         "the log folder \"C:\\Gone\\Vantrel\" does not exist",
         true},
        {"a log the system refuses to make",
         [&] {
             memsys::add_folder(logs);
             memsys::fail(memsys::op::open_file, -1, u"locked.log");
         },
         {u"--log", logs + u"\\locked.log"},
         "the log \"C:\\ProgramData\\Vantrel\\locked.log\" cannot be made"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.arrange();
        const std::vector<std::u16string> outside = Names(elsewhere);
        std::vector<std::u16string> arguments = {u"install", u"--from", setup};
        arguments.insert(arguments.end(), c.log.begin(), c.log.end());
        const Outcome outcome = Deploy(arguments);
        EXPECT_EQ(0, outcome.code) << outcome.err;
        EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
        EXPECT_EQ(outside, Names(elsewhere));
        if (c.warning) {
            EXPECT_TRUE(Holds(outcome.err,
                              {"nimbic-deploy: warning: ", c.warning, "; no log is written\n"}));
            EXPECT_TRUE(Names(logs).empty());
        } else {
            EXPECT_EQ("", outcome.err);
            EXPECT_EQ(1u, Names(logs).size());
        }
        EXPECT_EQ(c.made_locked, memsys::find(logs) && memsys::find(logs)->locked);
    }
}

TEST(ActionArguments, SpacesSeparateAndQuotesKeepAStretchWhole)
{
    const struct {
        std::u16string data;
        std::vector<std::u16string> arguments;
    } cases[] = {
        {u"", {}},
        {u"  commit  ", {u"commit"}},
        // A folder property ends with "\": no escaped quote here.
        {u"rollback --journal \"C:\\Program Files\\Vantrel\\j.journal\" --log-folder "
         u"\"C:\\ProgramData\\Vantrel\\\"",
         {u"rollback", u"--journal", u"C:\\Program Files\\Vantrel\\j.journal", u"--log-folder",
          u"C:\\ProgramData\\Vantrel\\"}},
        {u"install --from=\"C:\\A B\\NimbicSetup.exe\"\t\"\"",
         {u"install", u"--from=C:\\A B\\NimbicSetup.exe", u""}},
        {u"uninstall \"C:\\unterminated", {u"uninstall", u"C:\\unterminated"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.arguments, deploy::ActionArguments(c.data));
}

// The MSI's uninstall: its journal sits in the product's folder, which Windows Installer cannot
// remove while the journal is there, so the commit removes it, and the maker's folder above.
TEST_F(DeployTest, AnUninstallUnderAJournalRemovesTheProductFoldersAtCommit)
{
    const std::u16string maker = u"C:\\Program Files\\Vantrel";
    const std::u16string product = maker + u"\\Nimbic Plug-in";
    const std::u16string record = product + u"\\install-record.txt";
    const std::u16string journal = product + u"\\nimbic-deploy.journal";
    memsys::add_program(product + u"\\NimbicSetup.exe", SetupResources());
    const std::vector<std::u16string> common = {
        u"--from", product + u"\\NimbicSetup.exe", u"--record", record, u"--journal", journal};
    auto run = [&](std::vector<std::u16string> arguments) {
        arguments.insert(arguments.begin() + 1, common.begin(), common.end());
        return Deploy(arguments);
    };
    ASSERT_EQ(0, run({u"install"}).code);
    ASSERT_EQ(0, Deploy({u"commit", u"--journal", journal}).code);

    const std::vector<std::u16string> removal = {u"uninstall", u"--remove-empty-folder",
                                                 product + u"\\", u"--remove-empty-folder", maker};
    // With the programs still there (a repair's rollback, another product's files) both stay.
    ASSERT_EQ(0, run(removal).code);
    const Outcome kept = Deploy({u"commit", u"--journal", journal});
    EXPECT_EQ(0, kept.code) << kept.err;
    EXPECT_TRUE(Holds(kept.out, {"kept\tC:\\Program Files\\Vantrel\\Nimbic Plug-in\n"}));
    EXPECT_TRUE(IsFolder(product));

    ASSERT_EQ(0, run({u"install"}).code);
    ASSERT_EQ(0, Deploy({u"commit", u"--journal", journal}).code);
    const Outcome removed = run(removal);
    EXPECT_EQ(0, removed.code) << removed.err;
    EXPECT_TRUE(Holds(removed.out, {"The folder \"C:\\Program Files\\Vantrel\\Nimbic Plug-in\" is "
                                    "removed at commit when it is empty then."}));
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    // Windows Installer's RemoveFiles, between the uninstall and the commit.
    ASSERT_EQ(sys::remove_result::removed, sys::delete_file(product + u"\\NimbicSetup.exe"));
    const Outcome committed = Deploy({u"commit", u"--journal", journal});
    EXPECT_EQ(0, committed.code) << committed.err;
    EXPECT_TRUE(
        Holds(committed.out, {"removed folder\tC:\\Program Files\\Vantrel\\Nimbic Plug-in\n",
                              "removed folder\tC:\\Program Files\\Vantrel\n"}));
    EXPECT_FALSE(Exists(maker));
    EXPECT_TRUE(Names(v2019 + u"\\Plug-ins").empty());
}

// A package installed where no host was (no record), whose setup program has gone since: the
// fleet's uninstall must still succeed, removing nothing.
TEST_F(DeployTest, AnUninstallThatKnowsNoFileOfOursRemovesNothing)
{
    memsys::add_file(Plugin(v2019), plugin_bytes);
    const std::vector<std::u16string> before = Paths();
    const Outcome strict = Deploy({u"uninstall", u"--from", u"C:\\Gone\\NimbicSetup.exe"});
    EXPECT_EQ(1, strict.code);
    const Outcome fleet =
        Deploy({u"uninstall", u"--from", u"C:\\Gone\\NimbicSetup.exe", u"--allow-no-versions"});
    EXPECT_EQ(0, fleet.code) << fleet.err;
    EXPECT_TRUE(Holds(fleet.err, {"warning: the setup program \"C:\\Gone\\NimbicSetup.exe\" does "
                                  "not exist"}));
    EXPECT_TRUE(Holds(fleet.out, {"no file is known to be ours, so none is removed"}));
    EXPECT_EQ(before, Paths());
}

} // namespace
} // namespace nimbic
