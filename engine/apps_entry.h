// An entry in Settings > Apps (Add or Remove Programs): a key below the machine's Uninstall key,
// in the 64-bit view, whose values Windows shows and runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace nimbic {

inline constexpr std::u16string_view uninstall_keys =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The entry a wizard install makes, below the Uninstall key (the MSI's product has its own).
inline constexpr std::u16string_view apps_entry_key = u"Vantrel.NimbicPlugin";

// One value: REG_SZ text or a REG_DWORD number.
struct EntryValue {
    std::u16string name;
    std::variant<std::u16string, uint32_t> data;
};

// The entry `key` (a key name below the Uninstall key) made anew with exactly these values, so
// that a value an older version wrote and this one does not is gone. False when any step failed,
// and then no entry is left.
bool WriteAppsEntry(std::u16string_view key, const std::vector<EntryValue>& values);
// True when the entry is gone afterwards (also when it was never there).
bool DeleteAppsEntry(std::u16string_view key);
bool AppsEntryExists(std::u16string_view key);

} // namespace nimbic
