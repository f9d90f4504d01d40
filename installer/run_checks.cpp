// What the wizard finds out around a run: whether the chosen volumes have the space it needs
// (before anything is written), and which program holds a file it could not replace.
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/product.h"
#include "installer/registration.h"
#include "installer/widgets/notification_popup.h"

#include "engine/disk_space.h"
#include "engine/install_files.h"
#include "engine/install_messages.h"
#include "engine/install_record.h"
#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "toolkit/core/text_conversion.h"

#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

std::string ShortageText(const std::vector<SpaceShortage>& shortages)
{
    std::string text;
    for (const SpaceShortage& shortage : shortages) {
        text += "The installation needs " + SizeText(shortage.needed) + " on " +
                utf16_to_utf8(VolumeName(shortage.volume)) + ", which has " +
                SizeText(shortage.available) + " free: " + SizeText(shortage.missing()) +
                " more is needed.\n";
    }
    return text + "\nFree some disk space there, or choose other folders. Nothing has been "
                  "written yet.\n\nDo you want to check again?";
}

// The script files the package puts below a scripts folder.
std::vector<std::u16string> ScriptPaths(const std::u16string& scripts_folder)
{
    std::vector<std::u16string> paths;
    const sys::resource found = sys::find_resource(scripts_resource_id);
    const uintptr_t loaded = found ? sys::load_resource(found) : 0;
    const void* bytes = loaded ? sys::lock_resource(loaded) : nullptr;
    std::vector<PackageFile> files;
    if (!bytes || ReadScriptPackage(bytes, sys::resource_size(found), &files) != package_status::ok)
        return paths;
    for (const PackageFile& file : files)
        paths.push_back(path_join(CleanPath(scripts_folder), file.name));
    return paths;
}

} // namespace

bool InstallerUI::EnoughSpaceToInstall()
{
    for (;;) {
        std::vector<SpaceNeed> needs;
        for (const InstallTarget& target : m_targets) {
            if (PluginScheduled(target) && target.plugin_status != install_status::done) {
                needs.push_back(
                    {path_join(target.plugin_folder, maker_folder_name), m_payload_sizes.plugin});
            }
            if (ScriptsScheduled(target) && target.scripts_status != install_status::done) {
                needs.push_back({target.scripts_folder, m_payload_sizes.scripts});
            }
        }
        // A run that installs anything also puts the program copy the Apps entry runs into
        // Program Files, unless the Windows Installer package's product owns the program.
        std::u16string product_folder;
        std::u16string program;
        std::string program_bytes;
        if (!needs.empty() && !MsiProductInstalled() && ProductFolder(&product_folder) &&
            OwnProgramBytes(&program, &program_bytes)) {
            needs.push_back({product_folder, program_bytes.size()});
        }
        const std::vector<SpaceShortage> shortages = FindSpaceShortages(needs);
        if (shortages.empty()) {
            return true;
        }
        NotificationPopup popup;
        SetupFailurePopup(popup, this, "Not enough disk space", ShortageText(shortages));
        if (RunPopup(popup) != 1) {
            return false;
        }
    }
}

// The writing lock is taken only now, and given back when the run ends: nimbic-deploy and the
// Windows Installer package, which wait a bounded time for it, are never held up by a wizard that
// waits for its user.
bool InstallerUI::NoOtherSetupWrites()
{
    while (m_write_lock.Acquire(0) != sys::lock_result::acquired) {
        NotificationPopup popup;
        SetupFailurePopup(popup, this, "Another setup is running",
                          "Another setup of " + std::string(product::name) +
                              " (nimbic-deploy, or its Windows Installer package) is installing "
                              "or removing files right now.\n\nNothing has been written yet. "
                              "Wait until it has finished.\n\nDo you want to check again?");
        if (RunPopup(popup) != 1) {
            return false;
        }
    }
    return true;
}

// Under Wine, and whenever the Restart Manager names nobody, the line is empty and the popup
// keeps its usual words.
std::string InstallerUI::HeldFilesLine(int32_t failure_index, bool plugin) const
{
    for (const InstallTarget& target : m_targets) {
        if (target.index != failure_index) {
            continue;
        }
        if (plugin) {
            return InUseLine({path_join(
                path_join(CleanPath(target.plugin_folder), maker_folder_name), plugin_file_name)});
        }
        return InUseLine(ScriptPaths(target.scripts_folder));
    }
    return {};
}

} // namespace nimbic
