// Taking over the wizard's install: its record's entries, then its record and program copy, each
// through the folder's handle and, under a journal, kept as a backup until commit.
#include "tools/nimbic_deploy/wizard_takeover.h"

#include "engine/apps_entry.h"
#include "engine/file_removal.h"
#include "engine/install_files.h"
#include "engine/install_worker.h"
#include "engine/journal.h"
#include "engine/opened_folder.h"
#include "engine/own_names.h"
#include "engine/paths.h"
#include "engine/sha256.h"
#include "tools/nimbic_deploy/options.h"

namespace nimbic::deploy {

namespace {

enum class copy_removal { removed, absent, kept, failed };

// The program copy goes: under a journal renamed to a backup the commit deletes, else deleted (a
// running one renamed aside for the restart, never left by its own name).
copy_removal RemoveProgramCopy(const OpenedFolder& folder, Journal* journal)
{
    const std::u16string path = folder.ChildPath(program_copy_name);
    if (sys::kind_of(path) == sys::path_kind::missing)
        return copy_removal::absent;
    // Asked before the copy is opened for deletion, which a module's reader would have to share.
    if (!IsSetupProgram(path))
        return copy_removal::kept;
    sys::file_handle copy = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), program_copy_name, sys::child_access::remove, &copy);
    if (opened == sys::open_result::missing)
        return copy_removal::absent;
    if (opened != sys::open_result::opened)
        return copy_removal::failed;
    bool removed = false;
    if (journal) {
        std::string bytes;
        const std::u16string backup = BackupName(program_copy_name);
        removed = sys::read_opened(copy, setup_program_size_limit, &bytes) &&
                  journal->NoteBackup(path, backup, bytes.size(), Sha256Of(bytes), std::nullopt) &&
                  sys::rename_opened(copy, folder.handle(), backup,
                                     sys::rename_mode::keep_existing) == sys::open_result::opened;
    } else {
        removed = DeleteOrLeaveForRestart(folder, copy, program_copy_name) != removal::failed;
    }
    sys::close_file(copy);
    return removed ? copy_removal::removed : copy_removal::failed;
}

bool RemoveIfEmpty(const std::u16string& folder)
{
    OpenedFolder parent;
    return OpenedFolder::Open(path_parent(folder), sys::folder_creation::open_existing, nullptr,
                              &parent) == sys::open_result::opened &&
           sys::remove_child_folder(parent.handle(), path_filename(folder)) ==
               sys::remove_result::removed;
}

} // namespace

void WizardTakeover::Fold(const std::u16string& record_path, InstallRecord& record, Report& report)
{
    std::u16string folder;
    if (!ProductFolder(&folder) || same_path(CleanPath(FolderOf(record_path)), CleanPath(folder)) ||
        sys::kind_of(folder) != sys::path_kind::folder)
        return;
    InstallRecord wizard;
    const std::u16string wizard_record = RecordPathIn(folder);
    const record_status loaded = wizard.Load(wizard_record);
    if (loaded != record_status::ok && loaded != record_status::missing) {
        report.Warning("the wizard's install record " + Quoted(wizard_record) +
                       " cannot be read whole, or is not owned by Administrators, SYSTEM or "
                       "TrustedInstaller; it is left as it is, and so is its folder");
        return;
    }
    m_folder = folder;
    for (const RecordEntry& entry : wizard.entries()) {
        if (record.Find(entry.path) == nullptr) {
            record.Add(entry);
            ++m_folded;
        }
    }
    if (!wizard.empty())
        report.Line("The wizard's install in " + Quoted(folder) +
                    " joins this record: " + Count(m_folded, "file", "files") + " more.");
}

bool WizardTakeover::Finish(Journal* journal, Report& report) const
{
    if (m_folder.empty())
        return true;
    const std::u16string wizard_record = RecordPathIn(m_folder);
    if (InstallRecord().Save(wizard_record, journal) != record_status::ok) {
        report.Problem("the wizard's install record " + Quoted(wizard_record) +
                       " cannot be removed");
        return false;
    }
    OpenedFolder folder;
    if (OpenedFolder::Open(m_folder, sys::folder_creation::open_existing, nullptr, &folder) !=
        sys::open_result::opened)
        return true;
    // Its entry runs the copy; an entry must never name a program that is gone.
    if (AppsEntryExists(apps_entry_key)) {
        report.Line("The wizard's entry in Settings > Apps stands, so its program copy stays.");
        return true;
    }
    const std::u16string copy = folder.ChildPath(program_copy_name);
    switch (RemoveProgramCopy(folder, journal)) {
    case copy_removal::removed:
        report.Line("Removed the wizard's program copy " + Quoted(copy) + ".");
        break;
    case copy_removal::kept:
        report.Line("Kept " + Quoted(copy) + ": it is not a setup program of this product.");
        break;
    case copy_removal::failed:
        report.Problem("the wizard's program copy " + Quoted(copy) + " cannot be removed");
        return false;
    case copy_removal::absent:
        break;
    }
    folder.Close();
    const std::u16string maker = path_parent(m_folder);
    if (journal)
        return journal->NoteRemoveWhenEmpty(m_folder) && journal->NoteRemoveWhenEmpty(maker);
    if (RemoveIfEmpty(m_folder))
        RemoveIfEmpty(maker);
    return true;
}

} // namespace nimbic::deploy
