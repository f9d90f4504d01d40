// Deleting now, or renaming aside and deleting at the restart.
#include "engine/file_removal.h"

#include "engine/journal.h"
#include "engine/own_names.h"

namespace nimbic {

namespace {

// A fresh name is taken by chance (or by someone who guessed it) about never; a few tries do.
constexpr int name_attempts = 4;

} // namespace

removal DeleteOrLeaveForRestart(const OpenedFolder& folder, sys::file_handle file,
                                std::u16string_view name, std::u16string* left,
                                own_name by_own_name)
{
    if (sys::delete_opened(file))
        return removal::deleted;
    std::u16string aside(name);
    bool renamed = false;
    for (int attempt = 0; !IsAsideName(name) && !renamed && attempt < name_attempts; ++attempt) {
        aside = BackupName(name);
        const sys::open_result moved =
            sys::rename_opened(file, folder.handle(), aside, sys::rename_mode::keep_existing);
        renamed = moved == sys::open_result::opened;
        if (!renamed && moved != sys::open_result::exists)
            break;
    }
    // A file that cannot even be renamed goes by its own name: the only way left.
    if (!renamed) {
        if (by_own_name == own_name::never && !IsAsideName(name))
            return removal::failed;
        aside = std::u16string(name);
    }
    if (sys::delete_at_restart(folder.ChildPath(aside))) {
        if (left)
            *left = folder.ChildPath(aside);
        return removal::at_restart;
    }
    if (renamed)
        sys::rename_opened(file, folder.handle(), name, sys::rename_mode::keep_existing);
    return removal::failed;
}

} // namespace nimbic
