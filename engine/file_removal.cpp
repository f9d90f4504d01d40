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
                                std::u16string_view name, std::u16string* left)
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
    // Its own name stays ours to write again before the restart: what cannot be renamed stays.
    if (!renamed && !IsAsideName(name))
        return removal::failed;
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
