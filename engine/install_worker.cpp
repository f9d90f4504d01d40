// The install worker. It never touches widgets and never throws: every outcome is a status
// cell, and the done flag is stored after all of them.
#include "engine/install_worker.h"

#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/system/system.h"
#include "engine/whole_file.h"

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
    // The old module stays in place until the new one is whole: a host that cannot load a
    // truncated one would leave the user with nothing.
    WholeFileWriter file(path);
    if (!file.Open())
        return install_status::plugin_file_not_created;

    const void* bytes = sys::lock_resource(loaded);
    const uint32_t size = sys::resource_size(found, payloads);
    if (!bytes || !file.Write(bytes, size))
        return install_status::plugin_file_not_written;
    switch (file.Finish()) {
    case replace_status::done:
        return install_status::done;
    case replace_status::not_written:
        return install_status::plugin_file_not_written;
    case replace_status::not_created:
    case replace_status::not_replaced:
        break;
    }
    // A host holding the module open refuses the move, just as it refuses a create.
    return install_status::plugin_file_not_created;
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
