// The install worker. It never touches widgets and never throws: every outcome is a status
// cell, and the done flag is stored after all of them.
#include "engine/install_worker.h"

#include "engine/install_files.h"
#include "engine/install_record.h"
#include "engine/paths.h"
#include "engine/script_package.h"
#include "engine/system/system.h"

namespace nimbic {

namespace {

int32_t PluginStatus(install_file_status status)
{
    switch (status) {
    case install_file_status::done:
        return install_status::done;
    case install_file_status::not_written:
        return install_status::plugin_file_not_written;
    case install_file_status::redirected:
        return install_status::plugin_folder_redirected;
    case install_file_status::not_created:
    case install_file_status::held:
        break;
    }
    // A host holding the module open refuses the move, just as it refuses a create.
    return install_status::plugin_file_not_created;
}

int32_t CopyPlugin(const std::u16string& plugin_folder, size_t index, const InstallRun& run,
                   std::vector<InstalledFile>& installed)
{
    // The host's own folder must be there; the maker's folder below it is made when missing.
    OpenedFolder host;
    OpenedFolder maker;
    sys::open_result opened =
        OpenedFolder::Open(plugin_folder, sys::folder_creation::open_existing, nullptr, &host);
    if (opened == sys::open_result::opened)
        opened = host.OpenChild(maker_folder_name, sys::folder_creation::create_if_missing,
                                run.journal, &maker);
    if (opened == sys::open_result::redirected)
        return install_status::plugin_folder_redirected;
    // A maker's folder someone else made: its owner could change what is in it between our
    // steps, so an elevated run writes nothing there.
    if (maker.is_open() && !maker.created() && sys::is_elevated() &&
        !sys::has_administrator_owner(maker.handle()))
        return install_status::plugin_folder_not_trusted;

    const sys::resource found = sys::find_resource(plugin_resource_id, run.payloads);
    if (!found)
        return install_status::plugin_resource_missing;
    const uintptr_t loaded = sys::load_resource(found, run.payloads);
    if (!loaded)
        return install_status::plugin_resource_not_loaded;
    if (!maker.is_open())
        return install_status::plugin_file_not_created;
    const void* bytes = sys::lock_resource(loaded);
    if (!bytes)
        return install_status::plugin_file_not_written;
    const std::string_view module(static_cast<const char*>(bytes),
                                  sys::resource_size(found, run.payloads));
    file_change change = file_change::created;
    const int32_t status = PluginStatus(
        InstallFile(maker, plugin_file_name, module, std::nullopt, run.journal, &change));
    if (status == install_status::done)
        installed.push_back({index, record_component::plugin, maker.ChildPath(plugin_file_name),
                             module.size(), Sha256Of(module), change});
    return status;
}

int32_t ScriptsStatus(install_file_status status)
{
    switch (status) {
    case install_file_status::done:
        return install_status::done;
    case install_file_status::not_written:
        return install_status::scripts_extraction_base + package_status::write_failed;
    case install_file_status::redirected:
        return install_status::scripts_extraction_base + package_status::redirected;
    case install_file_status::not_created:
    case install_file_status::held:
        break;
    }
    return install_status::scripts_extraction_base + package_status::file_not_opened;
}

int32_t FolderStatus(sys::open_result result, int32_t otherwise)
{
    if (result == sys::open_result::redirected)
        return install_status::scripts_extraction_base + package_status::redirected;
    return install_status::scripts_extraction_base + otherwise;
}

// The package is read whole first, so a damaged one writes nothing; then each of its folders
// is made and each file put in place below the scripts folder.
int32_t ExtractScripts(const std::u16string& scripts_folder, size_t index, const InstallRun& run,
                       std::vector<InstalledFile>& installed)
{
    const sys::resource found = sys::find_resource(scripts_resource_id, run.payloads);
    const uintptr_t loaded = found ? sys::load_resource(found, run.payloads) : 0;
    const void* bytes = loaded ? sys::lock_resource(loaded) : nullptr;
    if (!bytes)
        return install_status::scripts_resource_failed;
    std::vector<PackageFile> files;
    std::vector<std::u16string> folders;
    const int32_t read =
        ReadScriptPackage(bytes, sys::resource_size(found, run.payloads), &files, &folders);
    if (read != package_status::ok)
        return install_status::scripts_extraction_base + read;

    OpenedFolder root;
    const sys::open_result opened = OpenedFolder::Open(
        scripts_folder, sys::folder_creation::create_if_missing, run.journal, &root);
    if (opened != sys::open_result::opened)
        return FolderStatus(opened, package_status::folder_not_created);
    for (const std::u16string& name : folders) {
        OpenedFolder made;
        const sys::open_result result =
            IsHere(name)
                ? sys::open_result::opened
                : root.OpenBelow(name, sys::folder_creation::create_if_missing, run.journal, &made);
        if (result != sys::open_result::opened)
            return FolderStatus(result, package_status::folder_not_created);
    }
    for (const PackageFile& file : files) {
        const std::u16string parent = path_parent(file.name);
        OpenedFolder below;
        const sys::open_result result =
            IsHere(parent)
                ? sys::open_result::opened
                : root.OpenBelow(parent, sys::folder_creation::open_existing, nullptr, &below);
        if (result != sys::open_result::opened)
            return FolderStatus(result, package_status::file_not_opened);
        const OpenedFolder& folder = below.is_open() ? below : root;
        file_change change = file_change::created;
        const std::u16string name = path_filename(file.name);
        const int32_t status =
            ScriptsStatus(InstallFile(folder, name, file.bytes, file.times, run.journal, &change));
        if (status != install_status::done)
            return status;
        installed.push_back({index, record_component::script, folder.ChildPath(name),
                             file.bytes.size(), Sha256Of(file.bytes), change});
    }
    return install_status::done;
}

void CreateMakerFolder(Journal* journal)
{
    std::u16string app_data;
    // Without the shared folder nothing is made: the current folder is no place for it.
    if (!sys::common_app_data_folder(&app_data) || app_data.empty())
        return;
    // The logs' folder, which every elevated run writes into: ProgramData's own list would let
    // any user add to it.
    OpenedFolder made;
    OpenedFolder::Open(path_join(to_backslashes(std::move(app_data)), u"Vantrel"),
                       sys::folder_creation::create_locked_if_missing, journal, &made);
}

} // namespace

bool IsHere(std::u16string_view relative)
{
    for (const char16_t c : relative) {
        if (c != u'\\' && c != u'.')
            return false;
    }
    return true;
}

void PrepareInstallRun(InstallState& state, size_t plugin_count, size_t scripts_count)
{
    state.set_done(false);
    state.plugin_cells().resize(plugin_count);
    state.scripts_cells().resize(scripts_count);
}

void RunInstall(InstallState& state, std::vector<std::u16string> plugin_folders,
                std::vector<std::u16string> scripts_folders, const InstallRun& run)
{
    // A no-op when the starter has already prepared the run.
    PrepareInstallRun(state, plugin_folders.size(), scripts_folders.size());
    std::vector<InstalledFile>& installed = state.installed_files();
    installed.clear();

    for (size_t i = 0; i < plugin_folders.size(); ++i) {
        if (plugin_folders[i].empty())
            continue;
        state.plugin_cells().set(i, install_status::started);
        state.plugin_cells().set(i, CopyPlugin(plugin_folders[i], i, run, installed));
    }
    bool scripts_failed = false;
    for (size_t i = 0; i < scripts_folders.size() && !scripts_failed; ++i) {
        if (scripts_folders[i].empty())
            continue;
        state.scripts_cells().set(i, install_status::started);
        const int32_t status = ExtractScripts(scripts_folders[i], i, run, installed);
        state.scripts_cells().set(i, status);
        scripts_failed = status != install_status::done;
    }
    if (!scripts_failed)
        CreateMakerFolder(run.journal);
    // What was put in place stays recorded whatever failed after it, so an uninstall finds it.
    if (!run.record.empty() && !installed.empty())
        AddToRecord(run.record, installed, run.target_names);
    if (run.finished)
        run.finished(state);
    state.set_done(true);
}

std::thread StartInstallWorker(InstallState& state,
                               const std::vector<std::u16string>& plugin_folders,
                               const std::vector<std::u16string>& scripts_folders, InstallRun run)
{
    PrepareInstallRun(state, plugin_folders.size(), scripts_folders.size());
    return std::thread(RunInstall, std::ref(state), plugin_folders, scripts_folders,
                       std::move(run));
}

bool AddToRecord(const std::u16string& record_path, const std::vector<InstalledFile>& installed,
                 const std::vector<std::string>& target_names)
{
    InstallRecord record;
    if (record.Load(record_path) == record_status::unreadable)
        return false;
    for (const InstalledFile& file : installed) {
        const std::string name =
            file.target < target_names.size() ? target_names[file.target] : std::string();
        record.Add({file.component, name, file.path, file.size, file.sha256});
    }
    return record.Save(record_path) == record_status::ok;
}

bool IsSetupProgram(const std::u16string& path)
{
    sys::module module = sys::own_program;
    if (sys::open_data_module(path, &module) != sys::module_result::opened)
        return false;
    const bool payloads = sys::find_resource(plugin_resource_id, module) != 0 &&
                          sys::find_resource(scripts_resource_id, module) != 0;
    sys::close_module(module);
    return payloads;
}

} // namespace nimbic
