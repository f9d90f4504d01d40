// Uninstalling from the record: each file is opened once, for reading and deletion, compared
// through that handle and deleted (or kept as a backup) through it, so what is deleted is what
// was compared.
#include "engine/uninstall.h"

#include "engine/file_removal.h"
#include "engine/journal.h"
#include "engine/own_names.h"
#include "engine/paths.h"

#include <algorithm>

namespace nimbic {

namespace {

const std::string link_reason = "it is reached through a link";
const std::string held_reason = "another program holds it";

UninstallItem Failed(const RecordEntry& entry, std::string reason)
{
    return {entry, uninstall_outcome::failed, std::move(reason), false, {}};
}

UninstallItem Outcome(const RecordEntry& entry, uninstall_outcome outcome)
{
    return {entry, outcome, {}, false, {}};
}

// Failed because another program has the file: the reports ask who.
UninstallItem InUse(const RecordEntry& entry, std::string reason)
{
    UninstallItem item = Failed(entry, std::move(reason));
    item.in_use = true;
    return item;
}

std::string OpenReason(sys::open_result result, const std::string& otherwise)
{
    switch (result) {
    case sys::open_result::redirected:
        return link_reason;
    case sys::open_result::held:
        return held_reason;
    case sys::open_result::denied:
        return "access is denied";
    default:
        return otherwise;
    }
}

// Temporary files a run killed between writing and moving left beside ours. Only our writer
// makes those names and no host loads them, so they go whatever they hold.
void RemoveLeftovers(const OpenedFolder& folder, const RecordEntry& entry,
                     std::vector<UninstallItem>& items)
{
    const std::u16string name = path_filename(entry.path);
    std::vector<std::u16string> children;
    if (!sys::list_children(folder.handle(), &children))
        return;
    for (const std::u16string& child : children) {
        if (!IsTemporaryNameOf(child, name))
            continue;
        RecordEntry leftover = entry;
        leftover.path = folder.ChildPath(child);
        sys::file_handle file = sys::invalid_file;
        const sys::open_result opened =
            sys::open_child_file(folder.handle(), child, sys::child_access::remove, &file);
        bool removed = false;
        if (opened == sys::open_result::opened) {
            removed = sys::delete_opened(file);
            sys::close_file(file);
        }
        items.push_back({leftover,
                         removed ? uninstall_outcome::removed : uninstall_outcome::failed,
                         removed ? std::string() : OpenReason(opened, "it cannot be deleted"),
                         true,
                         {}});
    }
}

// The file is ours but another program holds it so that it can be neither deleted nor renamed
// aside. It is not left for the restart by its own name either, which a setup run before the
// restart would write again, and the restart then delete: the item fails, for a later try.
UninstallItem Held(const OpenedFolder& folder, const RecordEntry& entry)
{
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened = sys::open_child_file(folder.handle(), path_filename(entry.path),
                                                         sys::child_access::read, &file);
    if (opened != sys::open_result::opened)
        return InUse(entry, held_reason + ", so its bytes cannot be compared");
    const content held = CompareOpened(file, entry.size, entry.sha256);
    sys::close_file(file);
    if (held == content::different)
        return Outcome(entry, uninstall_outcome::kept_changed);
    if (held == content::unreadable)
        return Failed(entry, "it cannot be read");
    return InUse(entry, held_reason);
}

UninstallItem RemoveOpened(const OpenedFolder& folder, sys::file_handle file,
                           const RecordEntry& entry, const UninstallOptions& options)
{
    switch (CompareOpened(file, entry.size, entry.sha256)) {
    case content::different:
        return Outcome(entry, uninstall_outcome::kept_changed);
    case content::unreadable:
        return Failed(entry, "it cannot be read");
    case content::same:
        break;
    }
    if (!options.journal) {
        if (options.held == when_held::fail)
            return sys::delete_opened(file) ? Outcome(entry, uninstall_outcome::removed)
                                            : InUse(entry, held_reason);
        // A module a host has loaded opens for deletion but will not go until the host lets go.
        std::u16string aside;
        switch (DeleteOrLeaveForRestart(folder, file, path_filename(entry.path), &aside)) {
        case removal::deleted:
            return Outcome(entry, uninstall_outcome::removed);
        case removal::at_restart: {
            UninstallItem left = Outcome(entry, uninstall_outcome::scheduled_for_restart);
            left.left = aside.empty() ? entry.path : aside;
            return left;
        }
        case removal::failed:
            break;
        }
        return InUse(entry, held_reason + ", so it can be neither deleted nor renamed aside");
    }
    // Kept beside itself until commit, so that a rollback can put it back.
    const std::u16string backup = BackupName(path_filename(entry.path));
    if (!options.journal->NoteBackup(entry.path, backup, entry.size, entry.sha256, std::nullopt))
        return Failed(entry, "the journal cannot be written");
    const sys::open_result moved =
        sys::rename_opened(file, folder.handle(), backup, sys::rename_mode::keep_existing);
    if (moved == sys::open_result::held)
        return InUse(entry, held_reason);
    return moved == sys::open_result::opened
               ? Outcome(entry, uninstall_outcome::removed)
               : Failed(entry, OpenReason(moved, "it cannot be deleted"));
}

} // namespace

std::string_view OutcomeText(uninstall_outcome outcome)
{
    switch (outcome) {
    case uninstall_outcome::removed:
        return "removed";
    case uninstall_outcome::kept_changed:
        return "kept (changed since it was installed)";
    case uninstall_outcome::kept_linked:
        return "kept (reached through a link)";
    case uninstall_outcome::not_installed:
        return "not installed";
    case uninstall_outcome::scheduled_for_restart:
        return "scheduled for deletion at restart";
    case uninstall_outcome::kept_foreign:
        return "kept (not a file of this product)";
    case uninstall_outcome::failed:
        break;
    }
    return "failed";
}

std::vector<UninstallItem> RemoveRecordedFile(const RecordEntry& entry,
                                              const UninstallOptions& options)
{
    std::vector<UninstallItem> items;
    if (!IsOwnFileName(entry.path)) {
        items.push_back(Outcome(entry, uninstall_outcome::kept_foreign));
        return items;
    }
    OpenedFolder folder;
    const sys::open_result opened = OpenedFolder::Open(
        path_parent(entry.path), sys::folder_creation::open_existing, nullptr, &folder);
    if (opened == sys::open_result::missing) {
        items.push_back(Outcome(entry, uninstall_outcome::not_installed));
        return items;
    }
    if (opened == sys::open_result::redirected) {
        items.push_back(Outcome(entry, uninstall_outcome::kept_linked));
        return items;
    }
    if (opened != sys::open_result::opened) {
        items.push_back(Failed(entry, OpenReason(opened, "its folder cannot be opened")));
        return items;
    }
    RemoveLeftovers(folder, entry, items);
    sys::file_handle file = sys::invalid_file;
    const sys::open_result file_opened = sys::open_child_file(
        folder.handle(), path_filename(entry.path), sys::child_access::remove, &file);
    switch (file_opened) {
    case sys::open_result::opened:
        items.push_back(RemoveOpened(folder, file, entry, options));
        sys::close_file(file);
        break;
    case sys::open_result::missing:
        items.push_back(Outcome(entry, uninstall_outcome::not_installed));
        break;
    case sys::open_result::held:
        items.push_back(Held(folder, entry));
        break;
    case sys::open_result::redirected:
        items.push_back(Outcome(entry, uninstall_outcome::kept_linked));
        break;
    default:
        items.push_back(Failed(entry, OpenReason(file_opened, "it cannot be opened")));
        break;
    }
    return items;
}

UninstallReport UninstallRecorded(InstallRecord& record,
                                  const std::function<bool(const RecordEntry&)>& selected,
                                  const UninstallOptions& options)
{
    UninstallReport report;
    std::vector<std::u16string> maker_folders;
    const std::vector<RecordEntry> entries = record.entries();
    const size_t total = static_cast<size_t>(
        std::count_if(entries.begin(), entries.end(),
                      [&](const RecordEntry& entry) { return !selected || selected(entry); }));
    size_t done = 0;
    for (const RecordEntry& entry : entries) {
        if (selected && !selected(entry))
            continue;
        std::vector<UninstallItem> items = RemoveRecordedFile(entry, options);
        const UninstallItem& own = items.back();
        // Behind a link the file may still be ours: a later run, the link gone, removes it.
        if (own.outcome != uninstall_outcome::failed &&
            own.outcome != uninstall_outcome::kept_linked)
            record.Remove(entry.path);
        const std::u16string folder = path_parent(entry.path);
        const bool in_maker_folder = same_path(path_filename(folder), maker_folder_name);
        if ((own.outcome == uninstall_outcome::removed ||
             own.outcome == uninstall_outcome::scheduled_for_restart) &&
            in_maker_folder &&
            std::none_of(maker_folders.begin(), maker_folders.end(),
                         [&](const std::u16string& known) { return same_path(known, folder); }))
            maker_folders.push_back(folder);
        report.files.insert(report.files.end(), items.begin(), items.end());
        if (options.progress)
            options.progress(++done, total);
    }
    // RemoveDirectory refuses a folder that still holds anything, ours or not.
    for (const std::u16string& folder : maker_folders) {
        if (options.journal) {
            report.folders.push_back({folder, false, options.journal->NoteRemoveWhenEmpty(folder)});
            continue;
        }
        OpenedFolder parent;
        const bool removed =
            OpenedFolder::Open(path_parent(folder), sys::folder_creation::open_existing, nullptr,
                               &parent) == sys::open_result::opened &&
            sys::remove_child_folder(parent.handle(), path_filename(folder)) ==
                sys::remove_result::removed;
        // Its restart deletion comes after the files' (Windows keeps the order they were
        // asked in), so an aside file left there does not keep it.
        const bool at_restart = !removed &&
                                std::any_of(report.files.begin(), report.files.end(),
                                            [&](const UninstallItem& item) {
                                                return item.outcome ==
                                                           uninstall_outcome::scheduled_for_restart &&
                                                       same_path(path_parent(item.left), folder);
                                            }) &&
                                sys::delete_at_restart(folder);
        report.folders.push_back({folder, removed, false, at_restart});
    }
    return report;
}

std::vector<RecordEntry> ObsoleteEntries(const InstallRecord& record,
                                         const std::vector<std::u16string>& folders,
                                         const std::vector<InstalledFile>& installed)
{
    std::vector<RecordEntry> obsolete;
    for (const RecordEntry& entry : record.entries()) {
        const bool inside = std::any_of(folders.begin(), folders.end(), [&](const auto& folder) {
            return !folder.empty() && is_inside(entry.path, CleanPath(folder));
        });
        const bool still_shipped =
            std::any_of(installed.begin(), installed.end(), [&](const InstalledFile& file) {
                return same_path(file.path, entry.path);
            });
        if (inside && !still_shipped)
            obsolete.push_back(entry);
    }
    return obsolete;
}

} // namespace nimbic
