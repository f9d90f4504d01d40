// The install worker. It never touches widgets and never throws: every outcome is a status
// cell, and the done flag is stored after all of them.
#include "engine/install_worker.h"

#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/system/system.h"

namespace nimbic {

namespace {

int32_t CopyPlugin(const std::u16string& plugin_folder, sys::module payloads)
{
    // No check for a trailing "\": a doubled separator lands in the same place.
    const std::u16string folder = plugin_folder + u"\\Vantrel";
    sys::create_directory(folder);
    const std::u16string path = folder + u"\\Nimbic.aex";

    const sys::resource found = sys::find_resource(plugin_resource_id, payloads);
    if (!found)
        return install_status::plugin_resource_missing;
    const uintptr_t loaded = sys::load_resource(found, payloads);
    if (!loaded)
        return install_status::plugin_resource_not_loaded;
    const sys::file_handle file = sys::create_file(path, sys::share_mode::none);
    if (file == sys::invalid_file)
        return install_status::plugin_file_not_created;

    const void* bytes = sys::lock_resource(loaded);
    const uint32_t size = sys::resource_size(found, payloads);
    uint32_t written = 0;
    // A short write leaves a truncated module the host cannot load: that is a failure too.
    const bool complete = bytes && sys::write_file(file, bytes, size, &written) && written == size;
    sys::close_file(file);
    return complete ? install_status::done : install_status::plugin_file_not_written;
}

// Returns false when the run must end here.
bool ExtractScripts(const std::u16string& scripts_folder, StatusCells& cells, size_t index,
                    sys::module payloads)
{
    sys::create_directory(scripts_folder);
    const sys::resource found = sys::find_resource(scripts_resource_id, payloads);
    const uintptr_t loaded = found ? sys::load_resource(found, payloads) : 0;
    const void* bytes = loaded ? sys::lock_resource(loaded) : nullptr;
    if (!bytes) {
        cells.set(index, install_status::scripts_resource_failed);
        return false;
    }
    const int32_t result =
        ExtractScriptPackage(bytes, sys::resource_size(found, payloads), scripts_folder);
    if (result != package_status::ok) {
        cells.set(index, install_status::scripts_extraction_base + result);
        return false;
    }
    cells.set(index, install_status::done);
    return true;
}

void CreateMakerFolder()
{
    std::u16string app_data;
    if (sys::common_app_data_folder(&app_data))
        app_data = to_backslashes(std::move(app_data));
    else
        app_data.clear();
    create_directories(path_join(app_data, u"Vantrel"));
}

} // namespace

void PrepareInstallRun(InstallState& state, size_t plugin_count, size_t scripts_count)
{
    state.set_done(false);
    state.plugin_cells().resize(plugin_count);
    state.scripts_cells().resize(scripts_count);
}

void RunInstall(InstallState& state, std::vector<std::u16string> plugin_folders,
                std::vector<std::u16string> scripts_folders, sys::module payloads)
{
    // A no-op when the starter has already prepared the run.
    PrepareInstallRun(state, plugin_folders.size(), scripts_folders.size());

    for (size_t i = 0; i < plugin_folders.size(); ++i) {
        if (plugin_folders[i].empty())
            continue;
        state.plugin_cells().set(i, install_status::started);
        state.plugin_cells().set(i, CopyPlugin(plugin_folders[i], payloads));
    }
    for (size_t i = 0; i < scripts_folders.size(); ++i) {
        if (scripts_folders[i].empty())
            continue;
        state.scripts_cells().set(i, install_status::started);
        if (!ExtractScripts(scripts_folders[i], state.scripts_cells(), i, payloads)) {
            state.set_done(true);
            return;
        }
    }
    CreateMakerFolder();
    state.set_done(true);
}

std::thread StartInstallWorker(InstallState& state,
                               const std::vector<std::u16string>& plugin_folders,
                               const std::vector<std::u16string>& scripts_folders)
{
    PrepareInstallRun(state, plugin_folders.size(), scripts_folders.size());
    return std::thread(RunInstall, std::ref(state), plugin_folders, scripts_folders,
                       sys::own_program);
}

} // namespace nimbic
