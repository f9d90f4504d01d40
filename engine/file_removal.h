// Removing a file of ours that Windows may not let go of yet. A module a host has loaded can be
// renamed but not deleted: as Windows Installer does with files in use, it is renamed aside and
// left for the restart, so that its own name is free at once (for a new file, or an earlier one
// put back) and the restart deletes only the aside name, never whatever has the name by then.
// A file that cannot even be renamed is never left for the restart by its own name: a setup run
// before the restart would write that name, and the restart would delete what it wrote.
#pragma once

#include "engine/opened_folder.h"
#include "engine/system/system.h"

#include <string>
#include <string_view>

namespace nimbic {

enum class removal {
    deleted,
    at_restart, // aside (renamed there unless its name was one already) until Windows restarts
    failed,     // neither deleted nor left for the restart; the file is as it was
};

// Deletes the file `name` in `folder`, open through `file` (child_access::remove), or else
// renames it aside and leaves it for the restart; a file already under an aside name is left so
// under that name. `left` gets the path the restart deletes.
removal DeleteOrLeaveForRestart(const OpenedFolder& folder, sys::file_handle file,
                                std::u16string_view name, std::u16string* left = nullptr);

} // namespace nimbic
