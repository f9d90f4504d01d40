// The entry logic: the run a command line starts, what a failed relaunch tells the user, and an
// exception that stops the wizard in the middle of a run.
#include "installer/entry.h"
#include "tests/installer/installer_fixture.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/core/zk_exception.h"

namespace nimbic::test {
namespace {

struct Reported {
    std::string title;
    std::string text;
};

class EntryTest : public InstallerTest {
protected:
    EntrySystem System(uint32_t relaunch_result)
    {
        return {[this, relaunch_result](const std::u16string& program,
                                        const std::u16string& arguments, int* exit_code) {
                    m_relaunched.push_back(program);
                    m_arguments.push_back(arguments);
                    if (exit_code) {
                        *exit_code = m_relaunched_exit_code;
                    }
                    return relaunch_result;
                },
                [](uint32_t code) { return "The system's reason " + std::to_string(code) + "."; },
                [this](const std::string& title, const std::string& text) {
                    m_reported.push_back({title, text});
                    if (m_on_report) {
                        m_on_report();
                    }
                },
                [this] {
                    ++m_brought_to_front;
                    return false;
                },
                {}};
    }

    std::vector<std::u16string> m_relaunched;
    std::vector<std::u16string> m_arguments;
    int m_relaunched_exit_code = 0;
    int m_brought_to_front = 0;
    std::vector<Reported> m_reported;
    std::function<void()> m_on_report;
};

TEST_F(EntryTest, CommandLineChoosesTheRunAndOnlyARealFailureIsReported)
{
    // Deeper than MAX_PATH: the relaunch must name the whole path.
    std::u16string program = u"C:\\Tools";
    for (int i = 0; i < 30; ++i) {
        program += u"\\Folder " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
    }
    program += u"\\NimbicSetup.exe";
    ASSERT_GT(program.size(), 260u);
    const struct {
        const char16_t* command_line;
        uint32_t relaunch_result;
        int exit_code;
        bool relaunched;
        std::string reported; // empty: nothing shown
    } cases[] = {
        {u"", 0, 0, true, ""},
        {u"/uac --quiet", 0, 0, true, ""},
        {u"x/UACy", 0, 0, false, ""},
        {u"", relaunch_declined, 1, true, ""},
        {u"", 5, 1, true,
         "The installer could not start with administrator rights.\n\nThe system's reason 5."},
    };
    for (const auto& tested : cases) {
        SCOPED_TRACE(testing::Message() << zksdk::ui::utf16_to_utf8(tested.command_line) << " / "
                                        << tested.relaunch_result);
        SetUp();
        memsys::set_program_path(program);
        m_relaunched.clear();
        m_arguments.clear();
        m_reported.clear();
        // The wizard, when it shows, is closed by its title bar button.
        headless::push_step([] { headless::request_close(*headless::focus_window()); });
        EXPECT_EQ(tested.exit_code, RunEntry(tested.command_line, System(tested.relaunch_result)));
        EXPECT_EQ(tested.relaunched ? std::vector<std::u16string>{program}
                                    : std::vector<std::u16string>{},
                  m_relaunched);
        // Nothing of the first copy's command line goes on: the elevated copy sees "/UAC" alone.
        EXPECT_EQ(tested.relaunched ? std::vector<std::u16string>{u"/UAC"}
                                    : std::vector<std::u16string>{},
                  m_arguments);
        EXPECT_EQ(tested.relaunched ? 1u : 0u, headless::pending_steps());
        ASSERT_EQ(tested.reported.empty() ? 0u : 1u, m_reported.size());
        if (!tested.reported.empty()) {
            EXPECT_EQ("Nimbic Plug-in", m_reported[0].title);
            EXPECT_EQ(tested.reported, m_reported[0].text);
        }
    }
}

// A declined elevation prompt is no success, and says nothing: the window's relaunch ends with 1,
// the quiet uninstall with its own code, 5.
TEST_F(EntryTest, ADeclinedElevationPromptEndsWithADocumentedCode)
{
    memsys::set_elevated(false);
    EXPECT_EQ(exit_failure, RunEntry(u"", System(relaunch_declined)));
    EXPECT_EQ(exit_failure, RunEntry(u"/uninstall", System(relaunch_declined)));
    EXPECT_EQ(uninstall_exit::not_elevated,
              RunEntry(u"/uninstall /quiet", System(relaunch_declined)));
    EXPECT_EQ(uninstall_exit::not_elevated, RunEntry(u"/uninstall /quiet", System(5)));
    EXPECT_EQ(4u, m_relaunched.size());
    EXPECT_EQ(u"/UAC /uninstall /quiet /caller 4242", m_arguments.back());
    EXPECT_TRUE(m_reported.empty()) << "a quiet run shows nothing, a declined prompt neither";
}

// A failure in a timer callback while the worker writes: the wizard unwinds, its destructor
// waits for the worker, and only then is the user told, with the toolkit's own words.
TEST_F(EntryTest, ExceptionIsReportedAfterTheWorkerFinishedItsFiles)
{
    const std::vector<HostVersion> versions = ThreeVersions();
    Register(versions);
    HoldWorkerAtWrite(1);
    const auto files_whole = [&] {
        bool whole = true;
        for (const HostVersion& version : versions) {
            whole = whole &&
                    plugin_module == FileContent(version.plugin_folder + u"\\Vantrel\\Nimbic.aex");
        }
        return whole;
    };
    bool whole_when_reported = false;
    m_on_report = [&] { whole_when_reported = files_whole(); };

    // Another window of the thread whose timer fails, as a renderer that cannot draw would.
    zksdk::ui::window failing;
    failing.create("", {0, 0, 10, 10}, 0);
    zksdk::ui::event_dispatcher::instance().connect(
        &failing, &failing, zksdk::ui::event_type::timer, [](const zksdk::ui::event_info&) {
            throw zksdk::ui::zk_exception("unable to draw the test frame");
        });

    const zksdk::ui::point next{1024 - 210 + 20, 610 - 25};
    headless::push_step([&] { headless::click(*headless::focus_window(), next); });
    headless::push_step([&] { headless::click(*headless::focus_window(), next); });
    std::thread release;
    headless::push_step([&] {
        if (!WorkerHeld()) {
            ADD_FAILURE() << "the worker never reached its first write";
            ReleaseWorker();
            return;
        }
        release = std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ReleaseWorker();
        });
        failing.set_timer(&failing, 1, 50, true);
        headless::advance_clock(50);
    });
    EXPECT_EQ(exit_failure, RunEntry(u"/UAC", System(0)));
    if (release.joinable()) {
        release.join();
    }

    ASSERT_EQ(1u, m_reported.size());
    EXPECT_EQ("Nimbic Plug-in", m_reported[0].title);
    EXPECT_NE(std::string::npos, m_reported[0].text.find("unable to draw the test frame"));
    EXPECT_TRUE(whole_when_reported);
    EXPECT_TRUE(m_relaunched.empty());
}

} // namespace
} // namespace nimbic::test
