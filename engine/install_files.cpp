// Comparing before writing, and the held-file check that runs before an install starts.
#include "engine/install_files.h"

#include "engine/paths.h"

namespace nimbic {

namespace {

install_file_status FromOpen(sys::open_result result)
{
    switch (result) {
    case sys::open_result::redirected:
        return install_file_status::redirected;
    case sys::open_result::held:
        return install_file_status::held;
    default:
        return install_file_status::not_created;
    }
}

// What the file `name` in `folder` holds compared with `bytes`.
sys::open_result Compare(const OpenedFolder& folder, std::u16string_view name,
                         std::string_view bytes, bool* same)
{
    *same = false;
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::read, &file);
    if (opened != sys::open_result::opened)
        return opened;
    std::string found;
    const bool read = sys::read_opened(file, bytes.size() + 1, &found);
    sys::close_file(file);
    if (!read)
        return sys::open_result::failed;
    *same = found == bytes;
    return opened;
}

// True when the open file cannot be taken away now: another program holds it without sharing
// deletion or writes, or (unless it is to be renamed aside) a host has loaded it.
bool BlocksRemoving(const OpenedFolder& folder, std::u16string_view name, loaded_files loaded)
{
    sys::file_handle file = sys::invalid_file;
    sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::opened)
        sys::close_file(file);
    // A loaded module refuses only writers, whatever they share: one opened for writing (and
    // never written) tells.
    if (opened == sys::open_result::opened && loaded == loaded_files::held) {
        opened = sys::open_child_file(folder.handle(), name, sys::child_access::overwrite, &file);
        if (opened == sys::open_result::opened)
            sys::close_file(file);
    }
    return opened == sys::open_result::held;
}

// True when the file would have to be replaced and cannot be now.
bool BlocksReplacing(const std::u16string& path, std::string_view bytes, loaded_files loaded)
{
    OpenedFolder folder;
    if (OpenedFolder::Open(path_parent(path), sys::folder_creation::open_existing, nullptr,
                           &folder) != sys::open_result::opened)
        return false;
    const std::u16string name = path_filename(path);
    bool same = false;
    const sys::open_result compared = Compare(folder, name, bytes, &same);
    if (compared == sys::open_result::held)
        return true;
    if (compared != sys::open_result::opened || same)
        return false;
    return BlocksRemoving(folder, name, loaded);
}

} // namespace

install_file_status InstallFile(const OpenedFolder& folder, std::u16string_view name,
                                std::string_view bytes, const std::optional<FileTimes>& times,
                                Journal* journal, file_change* change)
{
    bool same = false;
    const sys::open_result compared = Compare(folder, name, bytes, &same);
    if (compared == sys::open_result::redirected || compared == sys::open_result::held)
        return FromOpen(compared);
    if (same) {
        *change = file_change::unchanged;
        return install_file_status::done;
    }
    WholeFileWriter file(folder, std::u16string(name), journal);
    if (!file.Open())
        return FromOpen(file.failure());
    if (!file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())))
        return install_file_status::not_written;
    switch (file.Finish(times)) {
    case replace_status::done:
        *change = file.change();
        return install_file_status::done;
    case replace_status::not_written:
        return install_file_status::not_written;
    case replace_status::not_created:
    case replace_status::not_replaced:
        break;
    }
    return FromOpen(file.failure());
}

std::vector<std::u16string> FindHeldFiles(const std::vector<std::u16string>& plugin_folders,
                                          const std::vector<std::u16string>& scripts_folders,
                                          std::string_view plugin,
                                          const std::vector<PackageFile>& scripts,
                                          loaded_files loaded)
{
    std::vector<std::u16string> held;
    for (const std::u16string& folder : plugin_folders) {
        if (folder.empty())
            continue;
        const std::u16string path =
            path_join(path_join(CleanPath(folder), maker_folder_name), plugin_file_name);
        if (BlocksReplacing(path, plugin, loaded))
            held.push_back(path);
    }
    for (const std::u16string& folder : scripts_folders) {
        if (folder.empty())
            continue;
        for (const PackageFile& file : scripts) {
            const std::u16string path = path_join(CleanPath(folder), file.name);
            if (BlocksReplacing(path, file.bytes, loaded))
                held.push_back(path);
        }
    }
    return held;
}

bool IsHeld(const std::u16string& path, loaded_files loaded)
{
    OpenedFolder folder;
    if (OpenedFolder::Open(path_parent(path), sys::folder_creation::open_existing, nullptr,
                           &folder) != sys::open_result::opened)
        return false;
    return BlocksRemoving(folder, path_filename(path), loaded);
}

void AddToRecord(InstallRecord& record, const InstalledFile& file, std::string target)
{
    record_origin origin = record_origin::found;
    if (file.change == file_change::created)
        origin = record_origin::created;
    else if (file.change == file_change::replaced)
        origin = record_origin::replaced;
    else if (const RecordEntry* earlier = record.Find(file.path))
        origin = earlier->origin;
    record.Add({file.component, std::move(target), file.path, file.size, file.sha256, origin});
}

} // namespace nimbic
