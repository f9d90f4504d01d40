// The engine's machine-wide services on the memory machine: one setup at a time, free space per
// volume, payload sizes, the Restart Manager's names and the Apps entry.
#include "engine/apps_entry.h"
#include "engine/disk_space.h"
#include "engine/install_messages.h"
#include "engine/install_worker.h"
#include "engine/paths.h"
#include "engine/payload_sizes.h"
#include "engine/setup_lock.h"

#include "tests/engine/memory_fixture.h"
#include "tools/nimbic_pack/package_writer.h"

#include <algorithm>

namespace nimbic {
namespace {

class MachineServicesTest : public test::MemoryMachineTest {};

TEST_F(MachineServicesTest, ASecondSetupFindsTheFirstAndWaitsOnlyAsLongAsItIsTold)
{
    EXPECT_FALSE(SetupLock::IsTaken());
    {
        SetupLock first;
        ASSERT_EQ(sys::lock_result::acquired, first.Acquire(0));
        EXPECT_TRUE(SetupLock::IsTaken());
        SetupLock second;
        EXPECT_EQ(sys::lock_result::timed_out, second.Acquire(0));
        EXPECT_FALSE(second.held());
    }
    // Released with its owner: the next one gets it.
    EXPECT_FALSE(SetupLock::IsTaken());
    {
        SetupLock next;
        EXPECT_EQ(sys::lock_result::acquired, next.Acquire(0));
    }

    // Held by another process: a waiting setup waits its whole bound, then gives up.
    memsys::hold_mutex_elsewhere(std::u16string(setup_mutex_name));
    SetupLock waiting;
    EXPECT_EQ(sys::lock_result::timed_out, waiting.Acquire(deploy_lock_wait_ms));
    const std::vector<std::string> calls = memsys::calls();
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "WaitForSingleObject 30000"));
    memsys::release_mutex_elsewhere(std::u16string(setup_mutex_name));
    EXPECT_EQ(sys::lock_result::acquired, waiting.Acquire(deploy_lock_wait_ms));
}

TEST_F(MachineServicesTest, ANameAStandardUserMadeFirstBlocksNobodyAndFakesNoSetup)
{
    for (const std::u16string_view name : {setup_mutex_name, setup_window_mutex_name}) {
        memsys::squat_mutex(std::u16string(name));
        memsys::hold_mutex_elsewhere(std::u16string(name));
        EXPECT_FALSE(SetupLock::IsTaken(name));
        SetupLock lock(name);
        EXPECT_EQ(sys::lock_result::acquired, lock.Acquire(deploy_lock_wait_ms));
        EXPECT_TRUE(lock.held());
        lock.Release();
        EXPECT_FALSE(lock.held());
    }
    const std::vector<std::string> calls = memsys::calls();
    EXPECT_EQ(calls.end(), std::find(calls.begin(), calls.end(), "WaitForSingleObject 30000"))
        << "nobody waited";
    // The two locks are apart: the window's does not stand for the writing one.
    memsys::reset();
    SetupLock window(setup_window_mutex_name);
    ASSERT_EQ(sys::lock_result::acquired, window.Acquire(0));
    SetupLock writing;
    EXPECT_EQ(sys::lock_result::acquired, writing.Acquire(0));
    EXPECT_TRUE(SetupLock::IsTaken(setup_window_mutex_name));
}

TEST_F(MachineServicesTest, FreeSpaceIsAddedUpPerVolumeAndOnlyAShortVolumeIsNamed)
{
    memsys::add_folder(u"C:\\Hosts\\Plug-ins");
    memsys::add_folder(u"D:\\Custom");
    memsys::set_free_space(u"C:", 10'000'000);
    memsys::set_free_space(u"D:", 1'500'000);
    // Folders not made yet are traced to the nearest one there is; case does not split a volume.
    const std::vector<SpaceNeed> needs = {
        {u"C:\\Hosts\\Plug-ins\\Vantrel", 6'000'000},
        {u"d:\\Custom\\Plug-ins\\Vantrel", 1'000'000},
        {u"D:\\Custom\\Scripts", 700'000},
        {u"C:\\Hosts\\Scripts", 3'000'000},
        {u"", 5'000'000},
    };
    const std::vector<SpaceShortage> shortages = FindSpaceShortages(needs);
    ASSERT_EQ(1u, shortages.size());
    EXPECT_TRUE(same_path(u"D:\\", shortages[0].volume));
    EXPECT_EQ(1'700'000u, shortages[0].needed);
    EXPECT_EQ(1'500'000u, shortages[0].available);
    EXPECT_EQ(200'000u, shortages[0].missing());
    EXPECT_EQ(u"drive D:", VolumeName(shortages[0].volume));
    EXPECT_EQ(u"drive C:", VolumeName(u"c:\\"));
    EXPECT_EQ(u"\\\\server\\share", VolumeName(u"\\\\server\\share\\"));

    // A volume that cannot be asked is left to the write itself.
    memsys::fail(memsys::op::disk_space);
    EXPECT_TRUE(FindSpaceShortages(needs).empty());
}

TEST_F(MachineServicesTest, PayloadSizesAreTheModuleAndThePackageInflated)
{
    const std::string panel(4084, 'x');
    const std::vector<unsigned char> package =
        pack::EncodePackage({"ScriptUI Panels"}, {{"ScriptUI Panels\\Nimbic.jsx", panel, 0, 0},
                                                  {"ScriptUI Panels\\Readme.txt", "hi", 0, 0}});
    memsys::set_resource(plugin_resource_id, std::string(12 * 1024, 'M'));
    memsys::set_resource(scripts_resource_id, std::string(package.begin(), package.end()));
    const PayloadSizes sizes = ReadPayloadSizes();
    EXPECT_EQ(12u * 1024, sizes.plugin);
    EXPECT_EQ(4086u, sizes.scripts);

    // A damaged package and a missing module count nothing.
    memsys::reset();
    memsys::set_resource(scripts_resource_id, "not a package");
    EXPECT_EQ(0u, ReadPayloadSizes().plugin);
    EXPECT_EQ(0u, ReadPayloadSizes().scripts);
}

TEST_F(MachineServicesTest, InUseLineNamesEachHolderOnceAndNothingWithoutOne)
{
    const std::u16string plugin = u"C:\\AE\\Plug-ins\\Vantrel\\Nimbic.aex";
    const std::u16string panel = u"C:\\AE\\Scripts\\ScriptUI Panels\\Nimbic.jsx";
    EXPECT_EQ("", InUseLine({plugin, panel}));
    memsys::set_file_holders(plugin, {u"Adobe After Effects 2019"});
    EXPECT_EQ("In use by: Adobe After Effects 2019", InUseLine({plugin}));
    memsys::set_file_holders(panel, {u"Adobe After Effects 2019", u"Adobe Bridge"});
    EXPECT_EQ("In use by: Adobe After Effects 2019, Adobe Bridge", InUseLine({plugin, panel}));
}

TEST_F(MachineServicesTest, AnAppsEntryIsWrittenWholeInTheNativeViewAndDeletedWhole)
{
    const std::u16string key = std::u16string(uninstall_keys) + u"\\Test.Product";
    memsys::set_wow64(true);
    ASSERT_TRUE(WriteAppsEntry(u"Test.Product", {{u"DisplayName", std::u16string(u"Old")},
                                                 {u"HelpLink", std::u16string(u"https://x")},
                                                 {u"EstimatedSize", uint32_t{70000}}}));
    ASSERT_TRUE(WriteAppsEntry(u"Test.Product", {{u"DisplayName", std::u16string(u"New")},
                                                 {u"EstimatedSize", uint32_t{123456}}}));
    EXPECT_TRUE(AppsEntryExists(u"Test.Product"));
    EXPECT_FALSE(memsys::registry_key_exists(memsys::registry_view::wow32, key));
    // A value the older entry had and the newer has not is gone; numbers keep all 32 bits.
    EXPECT_EQ((std::vector<std::u16string>{u"displayname", u"estimatedsize"}),
              memsys::registry_value_names(memsys::registry_view::native, key));
    EXPECT_EQ(u"New", memsys::registry_string(memsys::registry_view::native, key, u"DisplayName"));
    EXPECT_EQ(123456u,
              memsys::registry_dword(memsys::registry_view::native, key, u"EstimatedSize"));

    EXPECT_TRUE(DeleteAppsEntry(u"Test.Product"));
    EXPECT_FALSE(AppsEntryExists(u"Test.Product"));
    EXPECT_TRUE(DeleteAppsEntry(u"Test.Product")) << "an entry that is gone is no failure";
    memsys::fail(memsys::op::reg_write);
    EXPECT_FALSE(WriteAppsEntry(u"Test.Product", {{u"DisplayName", std::u16string(u"X")}}));
}

} // namespace
} // namespace nimbic
