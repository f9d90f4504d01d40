// The registry scan and the target list, on the in-memory registry with both of its views.
#include "engine/install_state.h"

#include "tests/engine/memory_fixture.h"

namespace nimbic {
namespace {

const std::u16string host_key = u"SOFTWARE\\Adobe\\After Effects";

class HostVersionsTest : public test::MemoryMachineTest {
protected:
    static void Register(const std::u16string& version, const std::u16string& folder,
                         memsys::registry_view view = memsys::registry_view::native)
    {
        memsys::set_registry_string(view, host_key + u"\\" + version, u"PluginInstallPath", folder);
    }

    std::vector<InstallTarget> Targets()
    {
        std::vector<InstallTarget> targets;
        BuildInstallTargets(m_state, targets);
        return targets;
    }

    static std::vector<int32_t> Indexes(const std::vector<InstallTarget>& targets)
    {
        std::vector<int32_t> indexes;
        for (const InstallTarget& target : targets)
            indexes.push_back(target.index);
        return indexes;
    }

    InstallState m_state;
};

TEST_F(HostVersionsTest, WithoutTheHostKeyOnlyTheUntickedCustomTargetRemains)
{
    const std::vector<std::u16string> folders = m_state.ScanHostVersions();
    EXPECT_EQ(std::vector<std::u16string>(12), folders);
    EXPECT_EQ(12u, m_state.version_names().size());
    EXPECT_EQ("CC2015.3", m_state.version_names()[8]);

    InstallState fresh;
    std::vector<InstallTarget> targets;
    BuildInstallTargets(fresh, targets);
    ASSERT_EQ(1u, targets.size());
    EXPECT_EQ(11, targets[0].index);
    EXPECT_FALSE(targets[0].ticked);
    EXPECT_TRUE(targets[0].plugin_folder.empty());
    EXPECT_TRUE(targets[0].scripts_folder.empty());
    EXPECT_EQ("Custom", fresh.version_names()[11]);
}

// Windows enumerates sub-keys sorted, ignoring case, whatever order they were made in.
TEST_F(HostVersionsTest, ListedVersionsTakeTheirSlotsAndOthersAreAppendedInEnumerationOrder)
{
    Register(u"16.0",
             u"C:\\Program Files\\Adobe\\Adobe After Effects 2019\\Support Files\\Plug-ins");
    Register(u"13.5", u"C:\\AE\\CC2015\\Support Files\\Plug-ins\\");
    Register(u"8.0", u"C:\\AE\\7\\Support Files\\Plug-ins");
    Register(u"11", u"C:\\AE\\CS55\\Support Files\\Plug-ins");
    Register(u"beta", u"C:\\AE\\Beta\\Support Files\\Plug-ins");
    Register(u"11.0", u"C:\\AE\\Eleven\\Support Files\\Plug-ins");
    Register(u"Alpha", u"C:\\AE\\Alpha\\Support Files\\Plug-ins");
    Register(u"15.0", u"C:/AE/CC2018/Support Files/Plug-ins");

    const std::vector<InstallTarget> targets = Targets();
    EXPECT_EQ((std::vector<int32_t>{7, 10, 12, 13, 14, 15, 11}), Indexes(targets));
    const std::vector<std::string> appended(m_state.version_names().begin() + 12,
                                            m_state.version_names().end());
    EXPECT_EQ((std::vector<std::string>{"Eleven", "2019", "Alpha", "Beta"}), appended);

    EXPECT_EQ(u"C:\\AE\\CC2015\\Support Files\\Plug-ins\\", targets[0].plugin_folder);
    EXPECT_EQ(u"C:\\AE\\CC2015\\Support Files\\Scripts", targets[0].scripts_folder);
    // Forward slashes come out as backslashes in both folders.
    EXPECT_EQ(u"C:\\AE\\CC2018\\Support Files\\Plug-ins", targets[1].plugin_folder);
    EXPECT_EQ(u"C:\\AE\\CC2018\\Support Files\\Scripts", targets[1].scripts_folder);
    for (const InstallTarget& target : targets) {
        EXPECT_EQ(target.index != 11, target.ticked);
        EXPECT_EQ(0, target.plugin_status);
        EXPECT_EQ(0, target.scripts_status);
    }
}

TEST_F(HostVersionsTest, EverySubKeyRowMatchesExactly)
{
    const struct {
        std::u16string name;
        int slot; // -1: skipped, 12: appended
    } rows[] = {{u"8.0", -1},  {u"9.0", -1}, {u"10.0", -1}, {u"10.5", -1},  {u"11", -1},
                {u"12", 5},    {u"13", 6},   {u"13.5", 7},  {u"13.8", 8},   {u"14.0", 9},
                {u"15.0", 10}, {u"14", 12},  {u"12.0", 12}, {u"13.50", 12}, {u"15.0 ", 12}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.name.begin(), row.name.end())));
        memsys::reset();
        Register(row.name, u"C:\\Host\\Name\\Support Files\\Plug-ins");
        InstallState state;
        std::vector<InstallTarget> targets;
        BuildInstallTargets(state, targets);
        if (row.slot < 0) {
            EXPECT_EQ(1u, targets.size());
            EXPECT_EQ(12u, state.version_names().size());
        } else {
            ASSERT_EQ(2u, targets.size());
            EXPECT_EQ(row.slot, targets[0].index);
        }
    }
}

TEST_F(HostVersionsTest, EmptyOrUnreadableValuesLeaveNoTarget)
{
    Register(u"12", u"");
    Register(u"17.0", u"");
    memsys::set_registry_dword(memsys::registry_view::native, host_key + u"\\13",
                               u"PluginInstallPath", 7);
    memsys::add_registry_key(memsys::registry_view::native, host_key + u"\\13.8");
    Register(u"14.0", std::u16string(255, u'x'));
    Register(u"18.0", std::u16string(256, u'y'));
    Register(std::u16string(255, u'9'), u"C:\\Long\\Name\\Plug-ins");
    Register(std::u16string(254, u'8'), u"C:\\Long\\Name\\Plug-ins");

    const std::vector<std::u16string> folders = m_state.ScanHostVersions();
    EXPECT_TRUE(folders[5].empty());
    EXPECT_TRUE(folders[6].empty());
    EXPECT_TRUE(folders[8].empty());
    EXPECT_EQ(std::u16string(255, u'x'), folders[9]); // the longest value that fits is read
    // The 256-character value and the 255-character key name are dropped; the 254 one is not.
    ASSERT_EQ(13u, folders.size());
    EXPECT_EQ(13u, m_state.version_names().size());
    EXPECT_EQ("Long", m_state.version_names()[12]);
}

TEST_F(HostVersionsTest, AFailingRegistryCallDropsOnlyWhatItWasReading)
{
    Register(u"12", u"C:\\A\\CC\\Plug-ins");
    Register(u"13", u"C:\\A\\CC2014\\Plug-ins");
    Register(u"14.0", u"C:\\A\\CC2017\\Plug-ins");

    memsys::fail(memsys::op::reg_enum, 1, u"13");
    memsys::fail(memsys::op::reg_value, 1, u"14.0");
    EXPECT_EQ((std::vector<int32_t>{5, 11}), Indexes(Targets()));

    for (memsys::op operation : {memsys::op::reg_open, memsys::op::reg_query_info}) {
        memsys::fail(operation, 1);
        InstallState state;
        std::vector<InstallTarget> targets;
        BuildInstallTargets(state, targets);
        EXPECT_EQ((std::vector<int32_t>{11}), Indexes(targets));
    }
}

TEST_F(HostVersionsTest, AThirtyTwoBitProcessReadsBothViewsAndTheLastMeetingWins)
{
    using memsys::registry_view;
    Register(u"12", u"C:\\View32\\CC\\Plug-ins", registry_view::wow32);
    Register(u"16.0", u"C:\\View32\\Adobe After Effects 2019\\Support Files\\Plug-ins",
             registry_view::wow32);
    Register(u"12", u"C:\\View64\\CC\\Plug-ins", registry_view::native);
    Register(u"16.0", u"C:\\View64\\Adobe After Effects 2019\\Support Files\\Plug-ins",
             registry_view::native);
    Register(u"13", u"C:\\View32\\CC2014\\Plug-ins", registry_view::wow32);
    Register(u"13", u"", registry_view::native);

    InstallState native;
    EXPECT_EQ(13u, native.ScanHostVersions().size()); // a 64-bit process makes one pass

    memsys::set_wow64(true);
    const std::vector<std::u16string> folders = m_state.ScanHostVersions();
    EXPECT_EQ(u"C:\\View64\\CC\\Plug-ins", folders[5]);
    EXPECT_TRUE(folders[6].empty()); // an empty value met last still replaces the slot
    ASSERT_EQ(14u, folders.size());  // the unlisted version once per view
    EXPECT_EQ(u"C:\\View32\\Adobe After Effects 2019\\Support Files\\Plug-ins", folders[12]);
    EXPECT_EQ(u"C:\\View64\\Adobe After Effects 2019\\Support Files\\Plug-ins", folders[13]);
    EXPECT_EQ("2019", m_state.version_names()[13]);
}

// The process is asked first, since its answer decides the passes; a 32-bit process then reads
// its own view and the 64-bit one, and a key is closed only when it was opened.
TEST_F(HostVersionsTest, TheScanAsksTheProcessFirstThenOpensEachViewWithItsMask)
{
    const auto pass = [](const char* access) {
        return std::vector<std::string>{
            std::string("RegOpenKeyExW SOFTWARE\\Adobe\\After Effects ") + access,
            "RegQueryInfoKeyW", "RegEnumKeyExW 0", "SHRegGetValueW 12 PluginInstallPath",
            "RegCloseKey"};
    };
    for (const bool wow64 : {false, true}) {
        SCOPED_TRACE(wow64);
        memsys::reset();
        memsys::set_wow64(wow64);
        for (const auto view : {memsys::registry_view::native, memsys::registry_view::wow32})
            Register(u"12", u"C:\\A\\CC\\Plug-ins", view);
        InstallState state;
        state.ScanHostVersions();
        std::vector<std::string> expected{"IsWow64Process"};
        for (const char* access :
             wow64 ? std::vector{"0x20019", "0x20119"} : std::vector{"0x20019"})
            for (const std::string& call : pass(access))
                expected.push_back(call);
        EXPECT_EQ(expected, memsys::calls());
    }

    memsys::reset();
    memsys::set_wow64(true);
    InstallState without_key;
    without_key.ScanHostVersions();
    EXPECT_EQ((std::vector<std::string>{"IsWow64Process",
                                        "RegOpenKeyExW SOFTWARE\\Adobe\\After Effects 0x20019",
                                        "RegOpenKeyExW SOFTWARE\\Adobe\\After Effects 0x20119"}),
              memsys::calls());
}

TEST(DisplayName, IsTheFolderTwoLevelsUpWithoutTheHostNameOrWhiteSpace)
{
    const struct {
        std::u16string folder;
        std::string name;
    } cases[] = {
        {u"C:\\Program Files\\Adobe\\Adobe After Effects 2020\\Support Files\\Plug-ins\\", "2020"},
        {u"C:\\Program Files\\Adobe\\Adobe After Effects 2020\\Support Files\\Plug-ins", "2020"},
        {u"C:\\Adobe\\Adobe After Effects CC 2019\\Support Files\\Plug-ins", "CC2019"},
        {u"C:\\Support Files\\x\\Plug-ins", "SupportFiles"},
        {u"D:\\Plug-ins", ""},
        {u"", ""},
        {u"C:\\Adobe After Effects\\a\\b", "AdobeAfterEffects"}, // nothing follows the name
        {u"C:\\After Effects After Effects\t7\\a\\b", "7"},      // the last occurrence counts
        {u"C:\\Adobe After Effects 2021 \u03b2\\a\\b", "2021\xce\xb2"}, // UTF-8 out
        {u"C:\\adobe after effects 22\\a\\b", "adobeaftereffects22"},   // case-sensitive
    };
    for (const auto& test : cases)
        EXPECT_EQ(test.name, DisplayNameFromPluginFolder(test.folder));
}

} // namespace
} // namespace nimbic
