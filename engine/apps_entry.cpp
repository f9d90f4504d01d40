// The Apps entry through the seam's registry calls.
#include "engine/apps_entry.h"

#include "engine/paths.h"
#include "engine/system/system.h"

namespace nimbic {

namespace {

std::u16string KeyPath(std::u16string_view key)
{
    return path_join(uninstall_keys, key);
}

} // namespace

bool WriteAppsEntry(std::u16string_view key, const std::vector<EntryValue>& values)
{
    if (!DeleteAppsEntry(key))
        return false;
    sys::reg_key made = 0;
    if (sys::reg_create_local_machine(KeyPath(key), sys::key_all_access | sys::key_wow64_64key,
                                      &made) != sys::reg_ok)
        return false;
    bool written = true;
    for (const EntryValue& value : values) {
        const long status =
            std::holds_alternative<uint32_t>(value.data)
                ? sys::reg_set_dword(made, value.name, std::get<uint32_t>(value.data))
                : sys::reg_set_string(made, value.name, std::get<std::u16string>(value.data));
        written = written && status == sys::reg_ok;
    }
    sys::reg_close(made);
    // A key that lacks some of its values stands in Settings > Apps all the same, maybe with no
    // UninstallString to run: none at all is what the caller then reports.
    if (!written)
        DeleteAppsEntry(key);
    return written;
}

bool DeleteAppsEntry(std::u16string_view key)
{
    const long status = sys::reg_delete_local_machine_tree(KeyPath(key), sys::key_wow64_64key);
    return status == sys::reg_ok || status == sys::reg_file_not_found;
}

bool AppsEntryExists(std::u16string_view key)
{
    sys::reg_key opened = 0;
    if (sys::reg_open_local_machine(KeyPath(key), sys::key_read | sys::key_wow64_64key, &opened) !=
        sys::reg_ok)
        return false;
    sys::reg_close(opened);
    return true;
}

} // namespace nimbic
