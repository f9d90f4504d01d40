// Removing what the install record names, file by file: only files whose bytes are still ours,
// through the same opened folders the install writes with.
#pragma once

#include "engine/install_files.h"
#include "engine/install_record.h"

#include <functional>
#include <string>
#include <vector>

namespace nimbic {

class Journal;

enum class uninstall_outcome {
    removed,
    kept_changed,          // its bytes are no longer ours: someone changed or replaced it
    kept_linked,           // a link or mount point stands on the way: it is not touched
    not_installed,         // nothing is there any more
    scheduled_for_restart, // a host has it loaded: renamed aside, it goes when Windows restarts
    failed,                // see the reason; the entry stays in the record for another try
    kept_foreign,          // not a name of this product's files: never deleted, whatever it holds
};

// "removed", "kept (changed since it was installed)", "kept (reached through a link)", "not
// installed", "scheduled for deletion at restart", "failed", "kept (not a file of this
// product)".
std::string_view OutcomeText(uninstall_outcome outcome);

// What became of one recorded file, or of a temporary file an interrupted install left beside
// it (then `leftover` is set and the entry names the temporary file: removed, or failed when it
// cannot be deleted, which never counts as the uninstall's failure).
struct UninstallItem {
    RecordEntry entry;
    uninstall_outcome outcome = uninstall_outcome::failed;
    std::string reason; // for failed: "another program holds it", "it is reached through a link"
    bool leftover = false;
    // For scheduled_for_restart: where the file is now, the aside name the restart deletes, and
    // where its holder has it.
    std::u16string left;
    // For failed: another program has it open, so that it cannot go now (the Restart Manager
    // may name the program).
    bool in_use = false;
};

// What became of a maker's folder ("Vantrel") the removed files were in.
struct FolderItem {
    std::u16string path;
    bool removed = false;
    bool at_commit = false; // under a journal: removed at commit, when it is empty then
    // It still holds a file left for the restart: Windows removes it after that file, if it is
    // empty then (a setup run before the restart that writes there keeps it).
    bool at_restart = false;
};

struct UninstallReport {
    std::vector<UninstallItem> files;
    std::vector<FolderItem> folders;
};

// What becomes of a file of ours another program holds. One held so that it cannot even be
// renamed (open without FILE_SHARE_DELETE) fails its item either way: left for the restart by
// its own name, it would take with it whatever a setup run before the restart put there.
enum class when_held {
    fail, // the wizard: the item fails and the user may retry
    // nimbic-deploy, the quiet uninstall and the MSI: a module a host has loaded (which Windows
    // lets be renamed, not deleted) is renamed aside and only that name goes when Windows
    // restarts. Under a journal it is kept as a backup, which the commit deletes or leaves for
    // the restart, so that a rollback has nothing to take back.
    delete_at_restart,
};

struct UninstallOptions {
    Journal* journal = nullptr; // under a journal, removed files are kept as backups until commit
    when_held held = when_held::fail;
    // Told after each recorded file (files done, files selected), for a progress line.
    std::function<void(size_t done, size_t total)> progress{};
};

// Removes one recorded file when it has one of our names (see IsOwnFileName) and its bytes are
// still ours (its size and SHA-256), never through a link; temporary files an interrupted
// install left beside it go too (as leftover items).
std::vector<UninstallItem> RemoveRecordedFile(const RecordEntry& entry,
                                              const UninstallOptions& options);

// Removes the record's selected entries (every entry when `selected` is empty) and then each
// maker's folder they leave empty. Entries that are no longer ours to remove (removed, changed,
// gone, left for the restart, not our names) leave the record; failed ones and those behind a
// link stay, so a later run tries them again.
// The caller saves the record.
UninstallReport UninstallRecorded(InstallRecord& record,
                                  const std::function<bool(const RecordEntry&)>& selected,
                                  const UninstallOptions& options);

// The entries of `record` that lie in one of `folders` (at any depth) and that `installed` no
// longer holds: what an upgrade into those folders must remove.
std::vector<RecordEntry> ObsoleteEntries(const InstallRecord& record,
                                         const std::vector<std::u16string>& folders,
                                         const std::vector<InstalledFile>& installed);

} // namespace nimbic
