// A headless wizard on an in-memory machine with registered host versions, driven by real input.
#pragma once

#include "installer/installer_ui.h"
#include "tests/installer/worker_gate.h"

#include "engine/install_worker.h"
#include "engine/system/memory/memory_system.h"
#include "toolkit/core/event_type.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/headless/recording.h"
#include "tools/nimbic_pack/package_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace nimbic::test {

namespace headless = zksdk::ui::headless;

// A registered host version: registry sub-key, plug-in folder (as registered) and the name shown.
struct HostVersion {
    std::u16string sub_key;
    std::u16string plugin_folder;
    std::string name;
};

// As large as the shipped module (1,819,136 bytes), so that the lines read 1.7 MB per version.
inline const std::string plugin_module = "MZ" + std::string(1819136 - 8, '\x90') + "Nimbic";
inline const std::string panel_script = "// Nimbic panel\n" + std::string(4068, 'x');

class InstallerTest : public ::testing::Test {
protected:
    // Listed CC 2017 and CC 2018, and an unlisted later version the list does not know.
    static std::vector<HostVersion> ThreeVersions()
    {
        return {
            {u"14.0",
             u"C:\\Program Files\\Adobe\\Adobe After Effects CC 2017\\Support Files\\Plug-ins",
             "CC2017"},
            {u"15.0",
             u"C:\\Program Files\\Adobe\\Adobe After Effects CC 2018\\Support Files\\Plug-ins",
             "CC2018"},
            {u"16.0",
             u"C:\\Program Files\\Adobe\\Adobe After Effects 2019\\Support Files\\Plug-ins",
             "2019"},
        };
    }

    // An older plug-in in the version's folder, kept open by a running host as After Effects
    // keeps its plug-ins: writing over it fails until the test releases it.
    static std::u16string HoldOldPlugin(const HostVersion& version)
    {
        const std::u16string held = version.plugin_folder + u"\\Vantrel\\Nimbic.aex";
        memsys::add_folder(version.plugin_folder + u"\\Vantrel");
        memsys::add_file(held, "old");
        memsys::hold_file(held);
        return held;
    }

    void SetUp() override
    {
        ReleaseWorker();
        headless::reset();
        headless::set_calendar_year(2026);
        memsys::reset();
        // The running program's own file, which a run copies into the product folder for its
        // Apps entry.
        memsys::add_file(u"C:\\Work\\program.exe", "MZ setup program");
        const std::vector<unsigned char> package = pack::EncodePackage(
            {"ScriptUI Panels"},
            {{"ScriptUI Panels\\Nimbic.jsx", panel_script, 1647261376, 1584976883}});
        memsys::set_resource(plugin_resource_id, plugin_module);
        memsys::set_resource(scripts_resource_id, std::string(package.begin(), package.end()));
    }

    void TearDown() override
    {
        ReleaseWorker();
        m_ui.reset();
        zksdk::ui::captured_widget = nullptr;
        EXPECT_EQ(0u, memsys::open_handles());
    }

    static void Register(const std::vector<HostVersion>& versions)
    {
        for (const HostVersion& version : versions) {
            const std::u16string key = u"SOFTWARE\\Adobe\\After Effects\\" + version.sub_key;
            memsys::add_registry_key(memsys::registry_view::native, key);
            memsys::set_registry_string(memsys::registry_view::native, key, u"PluginInstallPath",
                                        version.plugin_folder);
            memsys::add_folder(version.plugin_folder);
            memsys::add_folder(ScriptsFolder(version));
        }
    }

    static std::u16string ScriptsFolder(const HostVersion& version)
    {
        const std::u16string& plugin = version.plugin_folder;
        return plugin.substr(0, plugin.rfind(u'\\')) + u"\\Scripts";
    }

    InstallerUI& Start(const std::vector<HostVersion>& versions)
    {
        Register(versions);
        m_ui = std::make_unique<InstallerUI>();
        m_ui->native().show();
        headless::set_focus_window(&m_ui->native());
        Paint();
        return *m_ui;
    }

    InstallerUI& ui() { return *m_ui; }
    zksdk::ui::native_window& native() { return m_ui->native(); }

    void Paint() { headless::send_paint(native(), {0, 0, 1024, 610}); }

    // Releases the button over the middle of the widget, as a user's click does.
    static bool ClickOn(zksdk::ui::widget& target,
                        headless::mouse_button button = headless::mouse_button::left)
    {
        const zksdk::ui::rect area = target.window_rect();
        return headless::click(target.window()->native(),
                               {area.x + area.width / 2, area.y + area.height / 2}, button);
    }
    // Releases the button at a point of the widget (its own coordinates).
    static bool ClickAt(zksdk::ui::widget& target, zksdk::ui::point at,
                        headless::mouse_button button = headless::mouse_button::left)
    {
        const zksdk::ui::rect area = target.window_rect();
        return headless::click(target.window()->native(), {area.x + at.x, area.y + at.y}, button);
    }

    // Waits for the worker, then lets the page's 200 ms poll see it finish.
    void FinishRun()
    {
        for (int i = 0; i < 20000 && !ui().install_state().done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(ui().install_state().done());
        headless::advance_clock(200);
    }

    // Queues one answer for the next popup: read its texts, then press a key on it.
    struct PopupSeen {
        std::string title;
        std::vector<std::string> texts;
        zksdk::ui::point message_at; // where the message is drawn, in the popup
        zksdk::ui::color back;       // the popup's background
    };
    // `before` runs while the popup is up, as a user fixing the cause before answering would.
    void AnswerPopup(uint32_t key, PopupSeen* seen = nullptr, std::function<void()> before = {})
    {
        headless::push_step([key, seen, before] {
            zksdk::ui::native_window* popup = headless::focus_window();
            ASSERT_NE(nullptr, popup);
            if (seen != nullptr) {
                seen->title = popup->title();
                for (const headless::draw_call& call : headless::recorded_calls(*popup)) {
                    if (call.op == headless::draw_op::draw_text) {
                        if (seen->texts.empty()) {
                            seen->message_at = call.origin;
                        }
                        seen->texts.push_back(call.text);
                    } else if (call.op == headless::draw_op::fill_rect && call.area.x == 0 &&
                               call.area.y == 0 && call.area.width == 400) {
                        seen->back = call.state.fill;
                    }
                }
            }
            if (before) {
                before();
            }
            headless::send_key_down(*popup, key);
        });
    }

    static std::string FileContent(const std::u16string& path)
    {
        const auto entry = memsys::find(path);
        return entry ? entry->bytes : std::string("<missing>");
    }

    std::unique_ptr<InstallerUI> m_ui;
};

// The keys the scripted input presses, as the toolkit names them (Tab is the window's own).
inline constexpr uint32_t tab_key = 9;
inline constexpr uint32_t enter_key = zksdk::ui::key_code::enter;
inline constexpr uint32_t escape_key = zksdk::ui::key_code::escape;
inline constexpr uint32_t space_key = zksdk::ui::key_code::space;

} // namespace nimbic::test
