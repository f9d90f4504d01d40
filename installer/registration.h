// What makes a wizard install as complete as the MSI's: a copy of the program in the product
// folder, and the Apps entry whose Uninstall runs it. With the MSI's product on the machine the
// entry is that product's, and the wizard's files only join its install record.
#pragma once

#include "engine/apps_entry.h"
#include "engine/own_names.h"
#include "engine/system/system.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

// The program's name in the product folder (the MSI's name for it too); the entry's key is
// apps_entry_key.
inline constexpr std::u16string_view setup_program_name = program_copy_name;
// The Windows Installer package's upgrade code (installer/msi/nimbic_plugin.wxs), which every
// version of the package keeps.
inline constexpr std::u16string_view msi_upgrade_code = u"{2E120F75-05E7-43A3-9A32-6F977FA5218B}";

// The facts the entry is made from.
struct EntryFacts {
    std::u16string folder;        // the product folder, which holds the program
    uint64_t installed_bytes = 0; // the recorded files and the program copy
    sys::local_clock today{};
};

// The entry's values, in the order they are written.
std::vector<EntryValue> AppsEntryValues(const EntryFacts& facts);

// True when the MSI's product is installed.
bool MsiProductInstalled();
// The folder the product lives in, which holds the program and the install record: where the
// MSI's product was installed (its INSTALLDIR may be any folder), else the product folder the
// wizard uses (Program Files\Vantrel\Nimbic Plug-in). False when neither can be found.
bool ProductFolderInUse(std::u16string* folder);

enum class registration {
    registered,         // the program is in the product folder and the entry points at it
    msi_product,        // the MSI's entry stands for the product; an entry of ours is gone
    program_not_copied, // the program could not be put in place: no entry names a missing one
    entry_not_written,  // the registry refused the entry
};

// After a run that installed anything, on the worker thread. `folder` is the product folder,
// where the install record already lists this run's files.
registration RegisterInstall(const std::u16string& folder);

// The running program's path and bytes, for its copies (in the product folder, in the Temp
// folder); false when they cannot be read.
bool OwnProgramBytes(std::u16string* path, std::string* bytes);

// Removes the folder when it is empty (RemoveDirectory refuses one that is not).
bool RemoveEmptyFolder(const std::u16string& folder);

// What the product takes on disk: the files the record lists, and the program copy.
uint64_t InstalledBytes(const std::u16string& record_path, uint64_t program_bytes);

} // namespace nimbic
