// nimbic-deploy on the memory machine: every command and exit code, picking versions, the custom
// target, changed and foreign files, failures, bad command lines and bad setup programs.
#include "tests/tools/deploy_fixture.h"

namespace nimbic {
namespace {

using namespace test;

TEST_F(DeployTest, ListInstallVerifyChangeAndUninstallKeepWhatIsNotOurs)
{
    Outcome list = Deploy({u"list", u"--from", setup});
    EXPECT_EQ(0, list.code) << list.err;
    EXPECT_EQ("CC2018\tC:\\AE\\Adobe After Effects CC 2018\\Support Files\\Plug-ins\t"
              "C:\\AE\\Adobe After Effects CC 2018\\Support Files\\Scripts\tnot installed\n"
              "2019\tC:\\AE\\Adobe After Effects 2019\\Support Files\\Plug-ins\t"
              "C:\\AE\\Adobe After Effects 2019\\Support Files\\Scripts\tnot installed\n",
              list.out);

    const Outcome install = Deploy({u"install", u"--from=" + setup});
    EXPECT_EQ(0, install.code) << install.err;
    EXPECT_TRUE(Holds(install.out,
                      {"CC2018\tplug-in\tinstalled\tC:\\AE\\Adobe After Effects CC 2018"
                       "\\Support Files\\Plug-ins\\Vantrel\\Nimbic.aex\n",
                       "2019\tscripts\tinstalled\t", "Nimbic Plug-in installed into 2 targets."}));
    for (const std::u16string& support : {cc2018, v2019}) {
        EXPECT_EQ(plugin_bytes, Content(Plugin(support)));
        EXPECT_EQ(panel_script, Content(Panel(support)));
    }
    EXPECT_TRUE(IsFolder(u"C:\\ProgramData\\Vantrel"));
    EXPECT_TRUE(Holds(Deploy({u"list", u"--from", setup}).out, {"Scripts\tinstalled\n"}));
    const Outcome verified = Deploy({u"verify", u"--from", setup});
    EXPECT_EQ(0, verified.code);
    EXPECT_TRUE(Holds(verified.out, {"2019\tscripts\tmatches (1 file)\t"}));

    // The user edits one panel script and keeps files of their own beside ours.
    memsys::add_file(Panel(v2019), "// my own panel");
    memsys::add_file(v2019 + u"\\Plug-ins\\Vantrel\\license.txt", "mine");
    memsys::add_file(cc2018 + u"\\Scripts\\ScriptUI Panels\\Other.jsx", "someone else's");
    // A run killed before its moves left half-written temporaries beside ours.
    memsys::add_file(Plugin(cc2018) + u".nimbic-new", "MZ half");
    memsys::add_file(Panel(cc2018) + u".nimbic-new", "// half");
    const Outcome changed = Deploy({u"verify", u"--from", setup});
    EXPECT_EQ(2, changed.code);
    EXPECT_TRUE(Holds(changed.out, {"2019\tscripts\tdifferent\tC:\\AE\\Adobe After Effects 2019"
                                    "\\Support Files\\Scripts\\ScriptUI Panels\\Nimbic.jsx\n"}));
    EXPECT_TRUE(Holds(changed.err, {"1 file is missing or different"}));
    EXPECT_TRUE(Holds(Deploy({u"list", u"--from", setup}).out,
                      {"installed, changed\n", "Scripts\tinstalled\n"}));

    const Outcome removed = Deploy({u"uninstall", u"--from", setup});
    EXPECT_EQ(0, removed.code) << removed.err;
    EXPECT_TRUE(Holds(removed.out, {"2019\tscripts\tkept (changed since it was installed)\t",
                                    "2019\tfolder\tkept (not empty)\t", "CC2018\tfolder\tremoved\t",
                                    "CC2018\tplug-in\tremoved (left by an interrupted install)\t",
                                    "Removed 3 files; kept 1 changed file."}));
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    EXPECT_FALSE(Exists(Plugin(v2019)));
    EXPECT_FALSE(Exists(Panel(cc2018)));
    EXPECT_FALSE(Exists(Panel(cc2018) + u".nimbic-new"));
    EXPECT_FALSE(Exists(cc2018 + u"\\Plug-ins\\Vantrel"));
    EXPECT_EQ("// my own panel", Content(Panel(v2019)));
    EXPECT_EQ("mine", Content(v2019 + u"\\Plug-ins\\Vantrel\\license.txt"));
    EXPECT_EQ("someone else's", Content(cc2018 + u"\\Scripts\\ScriptUI Panels\\Other.jsx"));
    // The package's folder is the host's as much as ours.
    EXPECT_TRUE(IsFolder(cc2018 + u"\\Scripts\\ScriptUI Panels"));

    const std::vector<std::u16string> before = Paths();
    const Outcome again = Deploy({u"uninstall", u"--from", setup});
    EXPECT_EQ(0, again.code);
    EXPECT_TRUE(Holds(
        again.out, {"CC2018\tplug-in\tnot installed\t", "Removed 0 files; kept 1 changed file."}));
    EXPECT_EQ(before, Paths());
}

// OneDrive placeholders and deduplicated files are reparse points but no links: ours are removed
// like any other; a file reached through a junction is kept.
TEST_F(DeployTest, UninstallTellsLinksFromOtherReparsePoints)
{
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::set_reparse_tag(cc2018 + u"\\Scripts\\ScriptUI Panels", sys::reparse_tag_cloud);
    memsys::set_reparse_tag(Panel(cc2018), sys::reparse_tag_cloud);
    memsys::set_reparse_tag(Plugin(cc2018), sys::reparse_tag_dedup);
    memsys::set_reparse_tag(v2019 + u"\\Plug-ins\\Vantrel", sys::reparse_tag_mount_point);
    memsys::set_reparse_tag(v2019 + u"\\Scripts\\ScriptUI Panels", sys::reparse_tag_symlink);

    const Outcome removed = Deploy({u"uninstall", u"--from", setup});
    EXPECT_EQ(0, removed.code) << removed.err;
    EXPECT_TRUE(Holds(removed.out, {"CC2018\tplug-in\tremoved\t", "CC2018\tscripts\tremoved\t",
                                    "2019\tplug-in\tkept (reached through a link)\t",
                                    "2019\tscripts\tkept (reached through a link)\t"}));
    EXPECT_FALSE(Exists(Plugin(cc2018)));
    EXPECT_FALSE(Exists(Panel(cc2018)));
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
    EXPECT_EQ(panel_script, Content(Panel(v2019)));
}

TEST_F(DeployTest, OnlyPicksVersionsByNameAndCustomFoldersAddATarget)
{
    // The Custom folder is deeper than MAX_PATH and named beyond ASCII.
    std::u16string studio = u"D:\\Studio";
    while (studio.size() < 300)
        studio += u"\\Vorlagen f\u00FCr \u00C4hnliches";
    std::u16string studio_slashes = studio + u"\\Plug-ins";
    std::replace(studio_slashes.begin(), studio_slashes.end(), u'\\', u'/');
    const Outcome install =
        Deploy({u"install", u"--from", setup, u"--only", u"cc2018", u"--plugin-folder",
                studio_slashes, u"--scripts-folder", studio + u"\\Scripts", u"--only", u"CC2018"});
    EXPECT_EQ(0, install.code) << install.err;
    EXPECT_EQ(plugin_bytes, Content(Plugin(cc2018)));
    EXPECT_EQ(plugin_bytes, Content(studio + u"\\Plug-ins\\Vantrel\\Nimbic.aex"));
    EXPECT_EQ(panel_script, Content(studio + u"\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_FALSE(Exists(Plugin(v2019)));
    EXPECT_TRUE(Holds(install.out,
                      {"Custom\tplug-in\tinstalled\tD:\\Studio\\Vorlagen f\u00fcr \u00c4hnliches",
                       "into 2 targets"},
                      {"2019"}));

    const Outcome verify = Deploy({u"verify", u"--from", setup, u"--only", u"2019"});
    EXPECT_EQ(2, verify.code);
    EXPECT_TRUE(Holds(verify.out, {"2019\tplug-in\tmissing\t"}, {"CC2018"}));

    const Outcome unknown = Deploy({u"verify", u"--from", setup, u"--only", u"2020"});
    EXPECT_EQ(1, unknown.code);
    EXPECT_TRUE(Holds(unknown.err, {"no version named \"2020\" was found on this machine "
                                    "(found: CC2018, 2019)"}));
    // Uninstalling picks from what the install record names.
    const Outcome unrecorded = Deploy({u"uninstall", u"--only", u"2019"});
    EXPECT_EQ(1, unrecorded.code);
    EXPECT_TRUE(Holds(unrecorded.err,
                      {"the install record names no version \"2019\" (it names: CC2018, Custom)"}));
    EXPECT_TRUE(Exists(Plugin(cc2018)));
}

TEST_F(DeployTest, BadCommandLinesAndSetupProgramsWriteNothing)
{
    memsys::add_folder(u"C:\\Downloads");
    memsys::add_file(u"C:\\Downloads\\readme.txt", "hello");
    memsys::add_program(u"C:\\Windows\\notepad.exe", {{1, "icon"}});
    std::map<int, std::string> damaged = SetupResources();
    damaged[scripts_resource_id].resize(10);
    memsys::add_program(u"C:\\Downloads\\Damaged.exe", damaged);
    memsys::add_folder(u"C:\\Downloads\\Logs");

    const struct {
        std::vector<std::u16string> arguments;
        const char* message;
    } cases[] = {
        {{}, "no command given"},
        {{u"deploy"}, "unknown command \"deploy\""},
        {{u"install", u"--from", setup, u"--quiet"}, "unknown option \"--quiet\" for install"},
        {{u"list", u"--only", u"CC2018"}, "unknown option \"--only\" for list"},
        {{u"verify", u"--from", setup, u"--allow-no-versions"},
         "unknown option \"--allow-no-versions\" for verify"},
        {{u"install", u"--allow-no-versions=yes"}, "\"--allow-no-versions\" takes no value"},
        {{u"install", u"--from"}, "\"--from\" needs a value"},
        {{u"install", u"--from", setup, u"--from", setup}, "\"--from\" is given twice"},
        {{u"install", u"--from", setup, u"--plugin-folder", u"D:\\P"}, "go together"},
        {{u"install", u"--from", setup, u"--scripts-folder", u"D:\\S"}, "go together"},
        {{u"install", u"--from", setup, u"--plugin-folder", u"C:\\Downloads\\readme.txt",
          u"--scripts-folder", u"D:\\S"},
         "\"C:\\Downloads\\readme.txt\" is a file, not a folder"},
        {{u"install", u"--from", u"C:\\Downloads\\Missing.exe"},
         "the setup program \"C:\\Downloads\\Missing.exe\" does not exist"},
        {{u"install", u"--from", u"C:\\Downloads"}, "\"C:\\Downloads\" is a folder"},
        {{u"verify", u"--from", u"C:\\Downloads\\readme.txt"}, "is not a Windows program"},
        {{u"install", u"--from", u"C:\\Windows\\notepad.exe"},
         "\"C:\\Windows\\notepad.exe\" is not a Nimbic Plug-in setup program"},
        {{u"uninstall", u"--from", u"C:\\Downloads\\Damaged.exe"}, "damaged script package"},
        // Without --from, the setup program beside nimbic-deploy.exe (C:\Work) is wanted.
        {{u"install"}, "\"C:\\Work\\NimbicSetup.exe\" does not exist"},
        {{u"install", u"--from", setup, u"--log", u"C:\\Downloads\\x.log", u"--log-folder",
          u"C:\\Downloads"},
         "give --log or --log-folder, not both"},
        {{u"install", u"--from", setup, u"--remove-empty-folder", u"C:\\Downloads"},
         "unknown option \"--remove-empty-folder\" for install"},
        {{u"install", u"--from", setup, u"--log", u"C:\\Downloads\\Logs"}, "is a folder"},
    };
    const std::vector<std::u16string> before = Paths();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome outcome = Deploy(c.arguments);
        EXPECT_EQ(1, outcome.code);
        EXPECT_TRUE(Holds(outcome.err, {c.message}));
        EXPECT_EQ("", outcome.out);
        EXPECT_EQ(before, Paths());
    }
    EXPECT_TRUE(Holds(Deploy({u"verify", u"--help"}).out,
                      {"Usage: nimbic-deploy COMMAND", "3  Nothing to do"}));
}

TEST_F(DeployTest, NothingRegisteredIsNothingToDoUnlessCustomFoldersAreGiven)
{
    memsys::reset();
    memsys::add_program(setup, SetupResources());
    memsys::add_folder(u"C:\\ProgramData\\Vantrel");
    for (const char16_t* command : {u"list", u"install", u"verify", u"uninstall"}) {
        const Outcome outcome = Deploy({command, u"--from", setup});
        EXPECT_EQ(3, outcome.code) << outcome.err;
        EXPECT_TRUE(Holds(outcome.err, {"no After Effects version is registered"}));
    }
    // A package sent to a machine without hosts: the run succeeds, says so, logs it and writes
    // nothing else.
    const size_t entries_before = Paths().size();
    for (const char16_t* command : {u"install", u"uninstall"}) {
        const std::u16string log =
            u"C:\\ProgramData\\Vantrel\\" + std::u16string(command) + u".log";
        const Outcome outcome =
            Deploy({command, u"--allow-no-versions", u"--from", setup, u"--log", log});
        EXPECT_EQ(0, outcome.code) << outcome.err;
        EXPECT_EQ("No After Effects version is registered on this machine; nothing to do.\n",
                  outcome.out);
        EXPECT_TRUE(Holds(Content(log), {"nothing to do"}));
    }
    EXPECT_EQ(entries_before + 2, Paths().size());
    const Outcome custom = Deploy({u"install", u"--from", setup, u"--plugin-folder", u"D:\\P",
                                   u"--scripts-folder", u"D:\\S"});
    EXPECT_EQ(0, custom.code) << custom.err;
    EXPECT_EQ(plugin_bytes, Content(u"D:\\P\\Vantrel\\Nimbic.aex"));
}

TEST_F(DeployTest, FailuresAreListedWithTheWizardsWordsAndLoggedWithTimes)
{
    memsys::set_elevated(false);
    memsys::hold_file(Plugin(cc2018)); // a running host
    memsys::fail(memsys::op::open_file, -1, u"2019\\Support Files\\Scripts");
    memsys::set_program_path(u"C:\\Downloads\\nimbic-deploy.exe");

    const Outcome install = Deploy({u"install", u"--log", u"C:\\Work\\deploy.log"});
    EXPECT_EQ(2, install.code);
    // The held plug-in fails; the other target's plug-in still lands.
    EXPECT_TRUE(Holds(install.out, {"CC2018\tplug-in\tfailed (error 40)\t",
                                    "    Could not create the plugin file (Error code: 40).\n"
                                    "     - Make sure that After Effects is closed\n",
                                    "2019\tplug-in\tinstalled\t", "CC2018\tscripts\tinstalled\t",
                                    "2019\tscripts\tfailed (error 120)\t"}));
    EXPECT_EQ(plugin_bytes, Content(Plugin(v2019)));
    EXPECT_TRUE(
        Holds(install.err, {"2 of 2 targets failed", "run nimbic-deploy as an administrator"}));
    const std::string log = Content(u"C:\\Work\\deploy.log");
    EXPECT_TRUE(Holds(log, {"2026-01-02 03:04:05  CC2018\tplug-in\tfailed (error 40)\t",
                            "2026-01-02 03:04:05      Could not create the plugin file",
                            "2026-01-02 03:04:05  error: 2 of 2 targets failed\r\n"}));

    // A scripts failure ends the run, as in the wizard: later targets' scripts wait.
    memsys::release_file(Plugin(cc2018));
    memsys::reset();
    memsys::add_program(setup, SetupResources());
    Register(u"15.0", cc2018);
    Register(u"16.0", v2019);
    memsys::fail(memsys::op::create_directory, -1, u"2018\\Support Files\\Scripts\\ScriptUI");
    const Outcome ended = Deploy({u"install", u"--from", setup});
    EXPECT_EQ(2, ended.code);
    EXPECT_TRUE(Holds(ended.out, {"CC2018\tscripts\tfailed (error 131)\t",
                                  "2019\tscripts\tnot attempted\t", "2019\tplug-in\tinstalled\t"}));
    EXPECT_TRUE(Holds(ended.err, {}, {"administrator"}));

    // A file that cannot be deleted fails the uninstall, and the others still go.
    memsys::hold_file(Plugin(v2019));
    const Outcome removal = Deploy({u"uninstall", u"--from", setup});
    EXPECT_EQ(2, removal.code);
    EXPECT_TRUE(Holds(removal.out, {"2019\tplug-in\tfailed (another program holds it, so its "
                                    "bytes cannot be compared)\t",
                                    "CC2018\tplug-in\tremoved\t"}));
    memsys::release_file(Plugin(v2019));
}

TEST_F(DeployTest, ListWithoutASetupProgramOnlySaysWhatIsPresent)
{
    memsys::add_file(Plugin(cc2018), "any");
    const Outcome list = Deploy({u"list"});
    EXPECT_EQ(0, list.code) << list.err;
    EXPECT_TRUE(
        Holds(list.out, {"\tplug-in present (not compared: no setup program)\n", "2019\t"}));
}

} // namespace
} // namespace nimbic
