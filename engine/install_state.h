// What the installer window and the install worker share: version names and status cells.
#pragma once

#include "engine/install_files.h"
#include "engine/install_target.h"
#include "engine/status_cells.h"

#include <atomic>
#include <string>
#include <vector>

namespace nimbic {

// Owned by the installer window for its whole life; the worker writes the cells and the done
// flag, the interface thread reads them on its timer.
class InstallState {
public:
    InstallState();

    // Reads the registered host versions; one plug-in folder per version name (empty when not
    // found). Appends a display name for every unlisted version it returns a folder for.
    std::vector<std::u16string> ScanHostVersions();

    // The worker stores the flag last, after every cell, so a reader that sees it set also
    // sees the final cells.
    bool done() const { return m_done.load(std::memory_order_acquire); }
    void set_done(bool done) { m_done.store(done, std::memory_order_release); }

    StatusCells& plugin_cells() { return m_plugin_cells; }
    const StatusCells& plugin_cells() const { return m_plugin_cells; }
    StatusCells& scripts_cells() { return m_scripts_cells; }
    const StatusCells& scripts_cells() const { return m_scripts_cells; }

    const std::vector<std::string>& version_names() const { return m_version_names; }

    // Every file the last run put in place or found in place already, for the install record.
    // The worker fills it; read it only once the done flag is set.
    std::vector<InstalledFile>& installed_files() { return m_installed; }
    const std::vector<InstalledFile>& installed_files() const { return m_installed; }

private:
    void ScanRegistryView(uint32_t access, std::vector<std::u16string>& folders);

    std::atomic<bool> m_done{false};
    StatusCells m_plugin_cells{12};
    StatusCells m_scripts_cells;
    std::vector<std::string> m_version_names;
    std::vector<InstalledFile> m_installed;
};

// The display name of an unlisted version: the folder two levels above its plug-in folder,
// without any "After Effects" prefix and without white space.
std::string DisplayNameFromPluginFolder(std::u16string_view plugin_folder);

// Scans the host versions and appends one target per found version, then the Custom target.
void BuildInstallTargets(InstallState& state, std::vector<InstallTarget>& targets);

} // namespace nimbic
