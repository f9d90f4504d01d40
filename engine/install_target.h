// One destination of an installation: a host version's folders, whether the user wants it, and
// the last status of each component.
#pragma once

#include <cstdint>
#include <string>

namespace nimbic {

constexpr int32_t custom_version_index = 11;

// A record in the installer window's target list; the window owns the list.
struct InstallTarget {
    int32_t index = 0;             // into InstallState's version names; 11 for Custom
    std::u16string plugin_folder;  // the worker appends the maker's sub-folder itself
    std::u16string scripts_folder; // receives the script package
    bool ticked = false;
    int32_t plugin_status = 0;
    int32_t scripts_status = 0;
};

} // namespace nimbic
