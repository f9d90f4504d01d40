// The installation proper: plug-in copies, script extraction and the maker's shared folder.
#pragma once

#include "engine/install_state.h"
#include "engine/system/system.h"

#include <functional>
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

// A setup program is a few megabytes; anything far beyond is not one of ours.
constexpr size_t setup_program_size_limit = 512u << 20;

// A setup program of this product, whichever version: a Windows program carrying both payloads.
// What a program copy of our name must be before we delete or replace it.
bool IsSetupProgram(const std::u16string& path);

class Journal;

// How a run works beyond its folders: where its payloads come from (resources 400 and 500 of
// `payloads`: the running program unless another is given), and the journal that notes every
// change (nimbic-deploy's; the wizard keeps none).
struct InstallRun {
    sys::module payloads = sys::own_program;
    Journal* journal = nullptr;
    // The install record this run adds its files to (the wizard's; nimbic-deploy keeps its own
    // and leaves it empty), with the name the record gives each target, in target order.
    std::u16string record{};
    std::vector<std::string> target_names{};
    // Runs on the worker thread once the files are in place and recorded, before the done flag,
    // whether the run succeeded or not: what the run's owner does with them (the wizard's Apps
    // entry). It must not touch widgets.
    std::function<void(const InstallState&)> finished{};
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
                               const std::vector<std::u16string>& scripts_folders,
                               InstallRun run = {});

// Adds the run's files to the record at `record_path` (made when missing), naming each file's
// target from `target_names`. An unreadable record is left alone (and false returned), so that
// nothing it lists is forgotten; a damaged one keeps its readable entries.
bool AddToRecord(const std::u16string& record_path, const std::vector<InstalledFile>& installed,
                 const std::vector<std::string>& target_names);

} // namespace nimbic
