// The installation proper: plug-in copies, script extraction and the maker's shared folder.
#pragma once

#include "engine/install_state.h"
#include "engine/system/system.h"

#include <string>
#include <thread>
#include <vector>

namespace nimbic {

namespace install_status {
constexpr int32_t not_attempted = 0;
constexpr int32_t started = 1;
constexpr int32_t done = 2;
constexpr int32_t plugin_resource_missing = 20;
constexpr int32_t plugin_resource_not_loaded = 30;
constexpr int32_t plugin_file_not_created = 40;
constexpr int32_t plugin_folder_redirected = 45;  // a link or mount point on the way
constexpr int32_t plugin_folder_not_trusted = 46; // "Vantrel" owned by a standard user
constexpr int32_t plugin_file_not_written = 50;
constexpr int32_t scripts_resource_failed = 60;
constexpr int32_t scripts_extraction_base = 100; // + the extractor's code
} // namespace install_status

constexpr int plugin_resource_id = 400;
constexpr int scripts_resource_id = 500;

class Journal;

// How a run works beyond its folders: where its payloads come from (resources 400 and 500 of
// `payloads`: the running program unless another is given), and the journal that notes every
// change (nimbic-deploy's; the wizard keeps none).
struct InstallRun {
    sys::module payloads = sys::own_program;
    Journal* journal = nullptr;
};

// The thread function. Entry i of both lists belongs to target i; an empty entry is skipped and
// its cell keeps its value. Reports through the cells, the installed files and, last, the done
// flag.
void RunInstall(InstallState& state, std::vector<std::u16string> plugin_folders,
                std::vector<std::u16string> scripts_folders, const InstallRun& run = {});

// True for a relative folder name that stays where it is ("", ".", "\").
bool IsHere(std::u16string_view relative);

// Clears the done flag and sizes the cells for a run, so the interface thread can read them from
// the moment the worker starts. Call with no worker running.
void PrepareInstallRun(InstallState& state, size_t plugin_count, size_t scripts_count);

// Prepares the run and starts RunInstall on a new thread with its own copies of the lists.
std::thread StartInstallWorker(InstallState& state,
                               const std::vector<std::u16string>& plugin_folders,
                               const std::vector<std::u16string>& scripts_folders);

} // namespace nimbic
