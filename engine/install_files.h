// Putting the payloads' files in place: each left alone when it already holds our bytes, else
// replaced whole through the opened folder, and described for the install record.
#pragma once

#include "engine/install_record.h"
#include "engine/opened_folder.h"
#include "engine/script_package.h"
#include "engine/whole_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

class Journal;

// One file a run put in place or found in place already.
struct InstalledFile {
    size_t target = 0; // the index of its target in the run's folder lists
    record_component component = record_component::plugin;
    std::u16string path;
    uint64_t size = 0;
    Sha256Digest sha256{};
    file_change change = file_change::created;
};

enum class install_file_status {
    done,
    not_created, // the temporary file could not be made, or the target not replaced
    not_written, // writing or flushing failed
    redirected,  // a link on the way: nothing was written
    held,        // another program holds the target
};

// Makes `name` in `folder` hold `bytes`: a file that already does is left alone (`change` is
// then unchanged), otherwise a whole new file replaces it.
install_file_status InstallFile(const OpenedFolder& folder, std::u16string_view name,
                                std::string_view bytes, const std::optional<FileTimes>& times,
                                Journal* journal, file_change* change);

// What a run does with a file a host has loaded (mapped as a module: Windows lets it be read and
// renamed, but not written, deleted or replaced). Without a journal it cannot be replaced, so it
// is held; under a journal it is renamed aside as its backup, as Windows Installer does with
// files in use, and the commit leaves the backup for the restart.
enum class loaded_files { held, renamed_aside };

// The files an install of these payloads would replace that another program holds now, or that
// cannot be read to compare: checked before anything is written, so that a run that cannot
// finish changes nothing. Files that hold our bytes already, and missing ones, are fine.
std::vector<std::u16string> FindHeldFiles(const std::vector<std::u16string>& plugin_folders,
                                          const std::vector<std::u16string>& scripts_folders,
                                          std::string_view plugin,
                                          const std::vector<PackageFile>& scripts,
                                          loaded_files loaded = loaded_files::held);

// Whether another program holds the file at `path` so that it cannot be removed now (a missing
// file is not held), for the files an install removes.
bool IsHeld(const std::u16string& path, loaded_files loaded = loaded_files::held);

// Adds the file to the record for `target`, saying whether the run created or replaced it; a
// file the run found holding our bytes keeps what an earlier entry said.
void AddToRecord(InstallRecord& record, const InstalledFile& file, std::string target);

// The plug-in's place below a plug-in folder.
inline constexpr std::u16string_view maker_folder_name = u"Vantrel";
inline constexpr std::u16string_view plugin_file_name = u"Nimbic.aex";

} // namespace nimbic
