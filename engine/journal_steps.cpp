// The journal's steps on single files and folders, each through its folder's handle: what a
// rollback and a commit do with one note, and only ever with our own names.
#include "engine/journal_steps.h"

#include "engine/file_removal.h"
#include "engine/install_record.h"
#include "engine/own_names.h"
#include "engine/paths.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic::journal_steps {

namespace {

using journal_format::Noted;

const std::string restart_action = "scheduled for deletion at restart";
const std::string not_ours = "it is not a file of this product, so it is left alone";
// A file that can be neither deleted nor renamed aside: another program has it open.
const std::string held_reason = "another program holds it, so it can be neither deleted nor "
                                "renamed aside";

// The folder of a noted path, when it is still there.
bool OpenFolderOf(const std::u16string& path, OpenedFolder* folder, std::vector<JournalStep>* steps)
{
    switch (OpenedFolder::Open(path_parent(path), sys::folder_creation::open_existing, nullptr,
                               folder)) {
    case sys::open_result::opened:
        return true;
    case sys::open_result::missing:
        return false;
    case sys::open_result::redirected:
        steps->push_back({"failed", path, false, "its folder is reached through a link"});
        return false;
    default:
        steps->push_back({"failed", path, false, "its folder cannot be opened"});
        return false;
    }
}

std::string OpenFailure(sys::open_result result)
{
    switch (result) {
    case sys::open_result::held:
        return "another program holds it";
    case sys::open_result::redirected:
        return "it is reached through a link";
    case sys::open_result::denied:
        return "access is denied";
    default:
        return "it cannot be opened";
    }
}

// The bytes of the open file when they are exactly these; else why not.
content ReadIfSame(sys::file_handle file, uint64_t size, const Sha256Digest& digest,
                   std::string* bytes)
{
    bytes->clear();
    const content found = CompareOpened(file, size, digest);
    if (found == content::same && !sys::read_opened(file, size, bytes))
        return content::unreadable;
    return found;
}

// Ours by name, or the install record under a name of the caller's choice (--record), or the
// wizard's program copy that an install taking the wizard's over kept as a backup.
bool IsOurs(const std::u16string& path, std::string_view bytes)
{
    return IsOwnFileName(path) || IsRecordText(bytes) || IsProgramCopyPath(path);
}

} // namespace

// The step for a file removed, or left for the restart under the name `left`.
void RemovedStep(removal removed, const std::u16string& path, const std::u16string& left,
                 const std::string& action, std::vector<JournalStep>* steps)
{
    switch (removed) {
    case removal::deleted:
        steps->push_back({action, path, true, {}});
        break;
    case removal::at_restart:
        steps->push_back({restart_action, left, true,
                          same_path(left, path) ? "Windows cannot delete it while it is in use"
                                                : "a program has it loaded; its name is free",
                          true});
        break;
    case removal::failed:
        steps->push_back({"failed", path, false, "it cannot be deleted"});
        break;
    }
}

// Deletes an aside file of ours (a backup, a temporary) by name; `action` names it in the step.
void DeleteAside(const std::u16string& path, std::u16string_view name, const std::string& action,
                 std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
    if (!IsAsideName(name)) {
        steps->push_back({"failed", path_join(path_parent(path), name), false, not_ours});
        return;
    }
    if (!OpenFolderOf(path, &folder, steps))
        return;
    const std::u16string aside = folder.ChildPath(name);
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::missing)
        return;
    if (opened != sys::open_result::opened) {
        // Held so that it cannot even be opened: the restart deletes it by its aside name.
        if (opened == sys::open_result::held && sys::delete_at_restart(aside))
            RemovedStep(removal::at_restart, aside, aside, action, steps);
        else
            steps->push_back({"failed", aside, false, OpenFailure(opened)});
        return;
    }
    std::u16string left;
    const removal removed = DeleteOrLeaveForRestart(folder, file, name, &left);
    sys::close_file(file);
    RemovedStep(removed, aside, left, action, steps);
}

void RemoveFolderIfEmpty(const std::u16string& path, std::vector<JournalStep>* steps)
{
    OpenedFolder parent;
    if (!OpenFolderOf(path, &parent, steps))
        return;
    switch (sys::remove_child_folder(parent.handle(), path_filename(path))) {
    case sys::remove_result::removed:
        steps->push_back({"removed folder", path, true, {}});
        break;
    case sys::remove_result::missing:
        break;
    case sys::remove_result::failed:
        steps->push_back({"kept", path, true, "the folder is not empty"});
        break;
    }
}

namespace {

// Whether the file now at a backup's name is what the run left there; a journal that does not
// say is taken at its word, as it always was.
content IsWhatWasLeft(sys::file_handle current, const Noted& note)
{
    switch (note.left) {
    case journal_format::left_at_name::bytes:
        return CompareOpened(current, note.left_size, note.left_digest);
    case journal_format::left_at_name::nothing:
        return content::different;
    case journal_format::left_at_name::unknown:
        break;
    }
    return content::same;
}

// The backup takes the file's name again, over the file the run left there: that one is
// renamed aside first (Windows lets a module a host has loaded be renamed, not replaced), then
// deleted or left for the restart; if the backup cannot take the name, it goes straight back.
sys::open_result PutBackOver(const OpenedFolder& folder, sys::file_handle backup,
                             sys::file_handle current, const std::u16string& path,
                             std::vector<JournalStep>* steps)
{
    const std::u16string name = path_filename(path);
    const std::u16string aside = BackupName(name);
    sys::open_result result =
        sys::rename_opened(current, folder.handle(), aside, sys::rename_mode::keep_existing);
    if (result != sys::open_result::opened)
        return result;
    result = sys::rename_opened(backup, folder.handle(), name, sys::rename_mode::keep_existing);
    if (result != sys::open_result::opened) {
        sys::rename_opened(current, folder.handle(), name, sys::rename_mode::keep_existing);
        return result;
    }
    std::u16string left;
    const removal removed = DeleteOrLeaveForRestart(folder, current, aside, &left);
    if (removed != removal::deleted)
        RemovedStep(removed, folder.ChildPath(aside), left, "removed", steps);
    return result;
}

} // namespace

void Restore(const Noted& note, std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
    if (!IsBackupNameOf(note.backup_name, path_filename(note.path))) {
        steps->push_back({"failed", note.path, false, not_ours});
        return;
    }
    if (!OpenFolderOf(note.path, &folder, steps))
        return;
    const std::u16string backup = folder.ChildPath(note.backup_name);
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), note.backup_name, sys::child_access::remove, &file);
    // No backup: it was never made (the file was never touched), or it is back already.
    if (opened == sys::open_result::missing)
        return;
    if (opened != sys::open_result::opened) {
        steps->push_back({"failed", backup, false, OpenFailure(opened)});
        return;
    }
    std::string bytes;
    const content found = ReadIfSame(file, note.size, note.digest, &bytes);
    if (found != content::same || !IsOurs(note.path, bytes)) {
        sys::close_file(file);
        steps->push_back({"failed", backup, false,
                          found != content::same
                              ? "the backup no longer holds the earlier file, so it is kept"
                              : not_ours});
        return;
    }
    // What has the name now, opened once and compared through the handle that moves it.
    const std::u16string name = path_filename(note.path);
    sys::file_handle current = sys::invalid_file;
    const sys::open_result now =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &current);
    sys::open_result moved = sys::open_result::failed;
    if (now == sys::open_result::missing) {
        moved = sys::rename_opened(file, folder.handle(), name, sys::rename_mode::keep_existing);
    } else if (now != sys::open_result::opened) {
        moved = now;
    } else {
        const content left = IsWhatWasLeft(current, note);
        if (left == content::same) {
            moved = PutBackOver(folder, file, current, note.path, steps);
        } else if (left == content::unreadable) {
            sys::close_file(current);
            sys::close_file(file);
            steps->push_back({"failed", note.path, false, "it cannot be read"});
            return;
        } else if (CompareOpened(current, note.size, note.digest) == content::same) {
            // Someone put the earlier bytes back already: the backup has nothing left to give.
            sys::close_file(current);
            std::u16string aside;
            const removal removed = DeleteOrLeaveForRestart(folder, file, note.backup_name, &aside);
            sys::close_file(file);
            if (removed != removal::deleted)
                RemovedStep(removed, backup, aside, "removed backup", steps);
            steps->push_back({"restored", note.path, true, "it held the earlier bytes already"});
            return;
        } else {
            // Changed or put there after the run, by someone else: theirs stays, and so does
            // the earlier file, under its backup name.
            sys::close_file(current);
            sys::close_file(file);
            steps->push_back({"kept", note.path, true,
                              "it was changed after this run, so it is left as it is; the "
                              "earlier file stays beside it as " +
                                  zksdk::ui::utf16_to_utf8(note.backup_name)});
            return;
        }
        sys::close_file(current);
    }
    sys::close_file(file);
    if (moved == sys::open_result::opened)
        steps->push_back({"restored", note.path, true, {}});
    else
        steps->push_back({"failed", note.path, false, OpenFailure(moved)});
}

// A file the run put in place (rollback) or left to delete (commit), while it is still ours.
void RemoveNoted(const Noted& note, std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
    if (!OpenFolderOf(note.path, &folder, steps))
        return;
    const std::u16string name = path_filename(note.path);
    sys::file_handle file = sys::invalid_file;
    // Held so that it cannot be opened for deletion, it cannot be renamed aside either: it stays,
    // since the restart would delete whatever a later setup put under its own name.
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::missing)
        return;
    if (opened != sys::open_result::opened) {
        steps->push_back({"failed", note.path, false, OpenFailure(opened)});
        return;
    }
    std::string bytes;
    const content found = ReadIfSame(file, note.size, note.digest, &bytes);
    if (found != content::same || !IsOurs(note.path, bytes)) {
        sys::close_file(file);
        // Someone else's bytes now: not ours to delete.
        if (found == content::different)
            steps->push_back({"kept", note.path, true, "it was changed since it was installed"});
        else
            steps->push_back({"failed", note.path, false,
                              found == content::unreadable ? "it cannot be read" : not_ours});
        return;
    }
    std::u16string left;
    const removal removed = DeleteOrLeaveForRestart(folder, file, name, &left);
    sys::close_file(file);
    if (removed == removal::failed)
        steps->push_back({"failed", note.path, false, held_reason});
    else
        RemovedStep(removed, note.path, left, "removed", steps);
}

} // namespace nimbic::journal_steps
