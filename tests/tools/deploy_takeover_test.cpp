// The package's install taking over a wizard install that came first, in the wizard's product
// folder while the package lives in another: one record, no program copy left for an entry the
// package removed, a rollback that puts back exactly what was there, and an uninstall from the
// package's record that removes everything the wizard installed.
#include "tests/tools/deploy_journal_fixture.h"

#include "engine/apps_entry.h"

namespace nimbic {
namespace {

using namespace test;

const std::u16string wizard_folder = u"C:\\Program Files\\Vantrel\\Nimbic Plug-in";
const std::u16string wizard_record = wizard_folder + u"\\install-record.txt";
const std::u16string wizard_copy = wizard_folder + u"\\NimbicSetup.exe";
const std::u16string custom_plugin = u"D:\\Custom\\Vantrel\\Nimbic.aex";
const std::u16string custom_panel = u"D:\\Panels\\ScriptUI Panels\\Nimbic.jsx";
const std::u16string readme = u"C:\\Program Files\\Vantrel\\readme.txt";

class DeployTakeoverTest : public DeployJournalTest {
protected:
    // The wizard installed into a Custom folder and keeps its record and program copy in its
    // product folder; someone's own file sits in Vantrel beside it.
    void SetUp() override
    {
        DeployJournalTest::SetUp();
        InstallRecord wizard;
        memsys::add_folder(u"D:\\Custom\\Vantrel");
        memsys::add_folder(u"D:\\Panels\\ScriptUI Panels");
        memsys::add_file(custom_plugin, plugin_bytes);
        memsys::add_file(custom_panel, panel_script);
        wizard.Add({record_component::plugin, "Custom", custom_plugin, plugin_bytes.size(),
                    Sha256Of(plugin_bytes), record_origin::created});
        wizard.Add({record_component::script, "Custom", custom_panel, panel_script.size(),
                    Sha256Of(panel_script), record_origin::created});
        // An entry the package's record already has stays the package's.
        wizard.Add({record_component::plugin, "2019", Plugin(v2019), 3, Sha256Of("MZ!")});
        ASSERT_EQ(record_status::ok, wizard.Save(wizard_record));
        memsys::add_program(wizard_copy, SetupResources());
        memsys::add_file(readme, "notes");
    }

    static Outcome Install(std::vector<std::u16string> more = {})
    {
        std::vector<std::u16string> arguments = {u"install", u"--from", setup, u"--record",
                                                 record_path, u"--take-over-wizard-install"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return Deploy(arguments);
    }
};

TEST_F(DeployTakeoverTest, ThePackagesInstallTakesOverTheWizardsAndItsUninstallRemovesEverything)
{
    const std::vector<std::string> before = Tree();

    // Under the package's journal: the wizard's record and copy become backups, and a rollback
    // (the package's install failing later) puts back exactly what was there.
    const Outcome journaled = Install({u"--journal", journal});
    ASSERT_EQ(0, journaled.code) << journaled.out << journaled.err;
    EXPECT_TRUE(Holds(journaled.out,
                      {"The wizard's install in \"C:\\Program Files\\Vantrel\\Nimbic Plug-in\" "
                       "joins this record: 2 files more.",
                       "Removed the wizard's program copy"}));
    EXPECT_FALSE(Exists(wizard_record) || Exists(wizard_copy));
    ASSERT_EQ(0, Deploy({u"rollback", u"--journal", journal}).code);
    EXPECT_EQ(before, Tree());

    // Committed: one record lists everything, the wizard's folder is gone, Vantrel and its
    // foreign file stay.
    ASSERT_EQ(0, Install({u"--journal", journal}).code);
    const Outcome committed = Deploy({u"commit", u"--journal", journal});
    ASSERT_EQ(0, committed.code) << committed.out << committed.err;
    EXPECT_FALSE(Exists(wizard_folder));
    EXPECT_EQ("notes", Content(readme));
    const std::string listed = Content(record_path);
    EXPECT_TRUE(Holds(listed, {"Custom\tcreated\t", zksdk::ui::utf16_to_utf8(custom_plugin),
                               zksdk::ui::utf16_to_utf8(custom_panel)},
                      {"\t3\t"}));
    EXPECT_FALSE(AnyNamed(u".nimbic-old"));

    // A repair finds nothing more to take over.
    const Outcome repair = Install({u"--journal", journal});
    ASSERT_EQ(0, repair.code) << repair.err;
    EXPECT_TRUE(Holds(repair.out, {}, {"wizard"}));
    ASSERT_EQ(0, Deploy({u"commit", u"--journal", journal}).code);

    // The package's uninstall removes the wizard's files with its own.
    const Outcome removed = Deploy({u"uninstall", u"--record", record_path});
    EXPECT_EQ(0, removed.code) << removed.out << removed.err;
    for (const std::u16string& gone :
         {custom_plugin, custom_panel, Plugin(cc2018), Plugin(v2019), Panel(v2019)})
        EXPECT_FALSE(Exists(gone)) << zksdk::ui::utf16_to_utf8(gone);
    EXPECT_EQ("notes", Content(readme));
}

// What stays: a copy the wizard's standing entry still runs, a file of that name that is no
// setup program, and a wizard record that cannot be read whole, which keeps everything it lists.
TEST_F(DeployTakeoverTest, WhatIsNotOursOrStillInUseStays)
{
    ASSERT_TRUE(WriteAppsEntry(apps_entry_key, {{u"DisplayName", std::u16string(u"Nimbic")}}));
    const Outcome entry = Install();
    ASSERT_EQ(0, entry.code) << entry.err;
    EXPECT_TRUE(Holds(entry.out, {"its program copy stays"}));
    EXPECT_TRUE(Exists(wizard_copy));
    EXPECT_FALSE(Exists(wizard_record));
    ASSERT_TRUE(DeleteAppsEntry(apps_entry_key));

    // Some other program under that name: it carries none of our payloads.
    memsys::add_program(wizard_copy, {{plugin_resource_id, plugin_bytes}});
    const Outcome foreign = Install();
    ASSERT_EQ(0, foreign.code) << foreign.err;
    EXPECT_TRUE(Holds(foreign.out, {"it is not a setup program of this product"}));
    EXPECT_TRUE(Exists(wizard_copy));
    EXPECT_TRUE(Exists(wizard_folder));

    memsys::add_file(wizard_record, "Nimbic install record 1\r\nnot an entry\r\n");
    const Outcome damaged = Install();
    ASSERT_EQ(0, damaged.code) << damaged.err;
    EXPECT_TRUE(Holds(damaged.err, {"it is left as it is, and so is its folder"}));
    EXPECT_TRUE(Exists(wizard_record));
}

} // namespace
} // namespace nimbic
