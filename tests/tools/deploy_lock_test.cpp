// nimbic-deploy beside other setups: it waits a bounded time for one that runs, and names the
// program that holds a file, in the report and in the log.
#include "tests/tools/deploy_fixture.h"

#include "engine/setup_lock.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic::test {
namespace {

class DeployLockTest : public DeployTest {};

TEST_F(DeployLockTest, ChangingCommandsWaitForAnotherSetupThenEndWith4)
{
    const std::u16string mutex(setup_mutex_name);
    memsys::hold_mutex_elsewhere(mutex);
    const std::vector<std::u16string> before = Paths();
    for (const std::vector<std::u16string>& line :
         {std::vector<std::u16string>{u"install", u"--from", setup},
          std::vector<std::u16string>{u"uninstall", u"--from", setup}}) {
        SCOPED_TRACE(zksdk::ui::utf16_to_utf8(line[0]));
        const Outcome busy = Deploy(line);
        EXPECT_EQ(4, busy.code);
        EXPECT_TRUE(Holds(busy.err, {"another setup of Nimbic Plug-in (the wizard, its uninstaller "
                                     "or nimbic-deploy) did not end within 30 seconds; nothing "
                                     "was changed"}));
        EXPECT_EQ(before, Paths());
    }
    const std::vector<std::string> calls = memsys::calls();
    EXPECT_EQ(2, std::count(calls.begin(), calls.end(), "WaitForSingleObject 30000"));
    // Reading commands change nothing and never wait; a commit or a rollback finishes a run
    // that may itself still hold the lock, and never waits either.
    EXPECT_EQ(0, Deploy({u"list", u"--from", setup}).code);
    EXPECT_EQ(2, Deploy({u"verify", u"--from", setup}).code);
    EXPECT_EQ(0, Deploy({u"rollback", u"--journal", u"C:\\Work\\journal.txt"}).code);
    EXPECT_EQ(0, Deploy({u"commit", u"--journal", u"C:\\Work\\journal.txt"}).code);
    const std::vector<std::string> later = memsys::calls();
    EXPECT_EQ(2, std::count(later.begin(), later.end(), "WaitForSingleObject 30000"));
    memsys::release_mutex_elsewhere(mutex);
    EXPECT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    EXPECT_FALSE(SetupLock::IsTaken()) << "released when the command ended";

    // A name a standard user made first and holds keeps nobody waiting.
    memsys::squat_mutex(mutex);
    memsys::hold_mutex_elsewhere(mutex);
    EXPECT_EQ(0, Deploy({u"uninstall", u"--from", setup}).code);
}

TEST_F(DeployLockTest, AHeldFileNamesItsHolderInTheReportAndTheLog)
{
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::add_file(Plugin(v2019), "MZ older");
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    memsys::set_file_holders(Plugin(v2019), {u"Adobe After Effects 2019"});
    const Outcome held = Deploy({u"install", u"--from", setup, u"--log", u"C:\\Work\\deploy.log"});
    EXPECT_EQ(2, held.code);
    EXPECT_TRUE(Holds(held.out, {"2019\tplug-in\theld by another program\t" +
                                 zksdk::ui::utf16_to_utf8(Plugin(v2019)) +
                                 "\n    In use by: Adobe After Effects 2019\n"}));
    const auto log = memsys::find(u"C:\\Work\\deploy.log");
    ASSERT_TRUE(log.has_value());
    EXPECT_TRUE(Holds(log->bytes, {"  In use by: Adobe After Effects 2019\r\n"}));

    // Our own plug-in held open while it is uninstalled: it fails, its holder named, and is not
    // left for the restart by its own name.
    memsys::release_file(Plugin(v2019));
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::hold_file(Plugin(v2019), memsys::holding::sharing_reads);
    memsys::set_file_holders(Plugin(v2019), {u"Adobe After Effects 2019"});
    const Outcome removed = Deploy({u"uninstall", u"--log", u"C:\\Work\\uninstall.log"});
    EXPECT_EQ(2, removed.code);
    EXPECT_TRUE(Holds(removed.out, {"2019\tplug-in\tfailed (another program holds it)\t" +
                                    zksdk::ui::utf16_to_utf8(Plugin(v2019)) +
                                    "\n    In use by: Adobe After Effects 2019\n"}));
    const auto uninstall_log = memsys::find(u"C:\\Work\\uninstall.log");
    ASSERT_TRUE(uninstall_log.has_value());
    EXPECT_TRUE(Holds(uninstall_log->bytes, {"  In use by: Adobe After Effects 2019\r\n"}));
    EXPECT_TRUE(memsys::restart_deletions().empty());
    memsys::release_file(Plugin(v2019));

    // Loaded as a module: renamed aside for the restart, and still named, where it is now.
    ASSERT_EQ(0, Deploy({u"install", u"--from", setup}).code);
    memsys::hold_file(Plugin(v2019), memsys::holding::mapped_image);
    memsys::set_file_holders(Plugin(v2019), {u"Adobe After Effects 2019"});
    const Outcome aside = Deploy({u"uninstall"});
    EXPECT_EQ(3010, aside.code);
    EXPECT_FALSE(memsys::find(Plugin(v2019)).has_value()) << "its own name is free at once";
    EXPECT_TRUE(Holds(aside.out, {"2019\tplug-in\tscheduled for deletion at restart\t" +
                                  zksdk::ui::utf16_to_utf8(Plugin(v2019)) +
                                  "\n    In use by: Adobe After Effects 2019\n"}));
    memsys::release_file(Plugin(v2019));
}

} // namespace
} // namespace nimbic::test
