// The wizard as a user installs with it, with the program's own file on disk (its copy goes into
// the product folder), and the places its entry and record land.
#pragma once

#include "tests/installer/installer_fixture.h"

#include "engine/install_record.h"

#include <string>
#include <vector>

namespace nimbic::test {

inline const std::u16string product_folder = u"C:\\Program Files\\Vantrel\\Nimbic Plug-in";
inline const std::u16string record_path = product_folder + u"\\install-record.txt";
inline const std::u16string entry_key =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel.NimbicPlugin";
inline const std::string setup_bytes = "MZ" + std::string(70000, 's') + "NimbicSetup";

struct CustomFolders {
    std::u16string plugin;
    std::u16string scripts;
};
enum version_boxes { keep_versions, untick_versions };

class HandInstallTest : public InstallerTest {
protected:
    void SetUp() override
    {
        InstallerTest::SetUp();
        memsys::add_file(u"C:\\Work\\program.exe", setup_bytes);
    }

    // Welcome, Versions (Custom ticked and its folders picked when given), INSTALL, FINISH.
    // True when the run ended in success.
    bool InstallThroughWizard(const std::vector<HostVersion>& versions,
                              const CustomFolders& custom = {}, version_boxes boxes = keep_versions)
    {
        m_ui.reset();
        InstallerUI& wizard = Start(versions);
        ClickOn(wizard.next_button());
        if (boxes == untick_versions) {
            for (size_t i = 1; i < wizard.version_checks().size(); ++i) {
                ClickOn(*wizard.version_checks()[i]);
            }
        }
        if (!custom.plugin.empty() || !custom.scripts.empty()) {
            ClickOn(*wizard.version_checks()[0]);
            for (const auto& [folder, button] :
                 {std::pair{custom.plugin, &wizard.plugin_folder_button()},
                  std::pair{custom.scripts, &wizard.script_folder_button()}}) {
                if (!folder.empty()) {
                    headless::answer_folder_picker(folder);
                    ClickOn(*button);
                }
            }
        }
        ClickOn(wizard.next_button());
        FinishRun();
        const bool succeeded =
            wizard.is_finished() && wizard.installing_title().text() == "Mission Success!";
        ClickOn(wizard.next_button());
        m_ui.reset();
        return succeeded;
    }

    // "<target> <component>" per recorded file, in the record's order.
    static std::vector<std::string> RecordLines()
    {
        InstallRecord record;
        record.Load(record_path);
        std::vector<std::string> lines;
        for (const RecordEntry& entry : record.entries()) {
            lines.push_back(entry.target + " " + std::string(ComponentName(entry.component)));
        }
        return lines;
    }
};

} // namespace nimbic::test
