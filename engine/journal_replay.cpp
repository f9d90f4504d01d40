// Carrying a journal out: undoing its notes (rollback) or ending them (commit). Every file is
// opened once through its folder's handle, compared through that handle, and renamed or deleted
// through it; only our own names are ever touched.
#include "engine/journal.h"

#include "engine/file_removal.h"
#include "engine/journal_format.h"
#include "engine/journal_steps.h"
#include "engine/own_names.h"
#include "engine/paths.h"
#include "engine/whole_file.h"

namespace nimbic {

namespace {

using namespace journal_format;
using namespace journal_steps;

// An open journal to undo or end: its folder, its handle (open for deletion) and its notes.
struct OpenJournal {
    OpenedFolder folder;
    std::u16string name;
    sys::file_handle file = sys::invalid_file;
    std::vector<Noted> notes;
    bool ends_with_line = true;
    bool committing = false;

    ~OpenJournal() { CloseFile(); }
    void CloseFile()
    {
        if (file != sys::invalid_file)
            sys::close_file(file);
        file = sys::invalid_file;
    }
    sys::open_result OpenFile(sys::child_access access)
    {
        CloseFile();
        return sys::open_child_file(folder.handle(), name, access, &file);
    }
};

bool Elevated()
{
    return sys::is_elevated();
}

journal_result ReadJournal(const std::u16string& path, OpenJournal* journal)
{
    const std::u16string whole = WholePath(path);
    journal->name = path_filename(whole);
    switch (OpenedFolder::Open(FolderOf(whole), sys::folder_creation::open_existing, nullptr,
                               &journal->folder)) {
    case sys::open_result::opened:
        break;
    case sys::open_result::missing:
        return journal_result::missing;
    default:
        return journal_result::unreadable;
    }
    if (Elevated() && !sys::has_administrator_owner(journal->folder.handle()))
        return journal_result::not_trusted;
    switch (journal->OpenFile(sys::child_access::remove)) {
    case sys::open_result::opened:
        break;
    case sys::open_result::missing:
        return journal_result::missing;
    default:
        return journal_result::unreadable;
    }
    if (Elevated() && !sys::file_has_administrator_owner(journal->file))
        return journal_result::not_trusted;
    std::string text;
    if (!sys::read_opened(journal->file, size_limit, &text) || text.size() >= size_limit ||
        !ReadNotes(text, &journal->notes))
        return journal_result::unreadable;
    journal->ends_with_line = text.empty() || text.ends_with('\n');
    for (const Noted& note : journal->notes)
        journal->committing = journal->committing || note.kind == commit_note;
    return journal_result::done;
}

// Notes that the commit has begun, before it changes anything. A journal that cannot take the
// note is committed all the same: the note only guards against a commit cut short.
void MarkCommitting(OpenJournal& journal)
{
    sys::file_handle file = sys::invalid_file;
    journal.CloseFile();
    if (sys::open_child_file(journal.folder.handle(), journal.name, sys::child_access::append,
                             &file) == sys::open_result::opened) {
        const std::string line =
            (journal.ends_with_line ? "" : "\r\n") + NoteLine(std::string(commit_note));
        uint32_t written = 0;
        sys::write_file(file, line.data(), static_cast<uint32_t>(line.size()), &written);
        sys::flush_file(file);
        sys::close_file(file);
    }
    journal.OpenFile(sys::child_access::remove);
}

bool AllOk(const std::vector<JournalStep>& steps)
{
    for (const JournalStep& step : steps) {
        if (!step.ok)
            return false;
    }
    return true;
}

// A run killed while it made its journal leaves the journal's temporary, and nothing else.
void RemoveJournalTemporaries(const OpenJournal& journal, std::vector<JournalStep>* steps)
{
    std::vector<std::u16string> children;
    if (!journal.folder.is_open() || !sys::list_children(journal.folder.handle(), &children))
        return;
    for (const std::u16string& child : children) {
        if (!IsTemporaryNameOf(child, journal.name) || !IsAsideName(child))
            continue;
        sys::file_handle file = sys::invalid_file;
        if (sys::open_child_file(journal.folder.handle(), child, sys::child_access::remove,
                                 &file) != sys::open_result::opened)
            continue;
        const bool removed = sys::delete_opened(file);
        sys::close_file(file);
        if (removed)
            steps->push_back({"removed", journal.folder.ChildPath(child), true,
                              "left by a run killed while it began its journal"});
    }
}

// The folders made for the journal itself go once it has: the innermost first.
void RemoveJournalFolders(const std::vector<Noted>& notes, std::vector<JournalStep>* steps)
{
    for (auto note = notes.rbegin(); note != notes.rend(); ++note) {
        if (note->kind == journal_folder_note)
            RemoveFolderIfEmpty(note->path, steps);
    }
}

// Opens the journal for a rollback or commit; without one, a killed run's leftover of it goes.
journal_result OpenToCarryOut(const std::u16string& path, OpenJournal* journal,
                              std::vector<JournalStep>* steps)
{
    steps->clear();
    const journal_result read = ReadJournal(path, journal);
    if (read == journal_result::missing)
        RemoveJournalTemporaries(*journal, steps);
    return read;
}

} // namespace

journal_result RollBack(const std::u16string& path, std::vector<JournalStep>* steps)
{
    OpenJournal journal;
    if (const journal_result read = OpenToCarryOut(path, &journal, steps);
        read != journal_result::done)
        return read;
    if (journal.committing)
        return journal_result::committed;
    for (auto note = journal.notes.rbegin(); note != journal.notes.rend(); ++note) {
        if (note->kind == backup_note)
            Restore(*note, steps);
        else if (note->kind == created_note)
            RemoveNoted(*note, steps);
        else if (note->kind == temporary_note)
            DeleteAside(note->path, path_filename(note->path), "removed", steps);
        else if (note->kind == folder_note)
            RemoveFolderIfEmpty(note->path, steps);
    }
    if (!AllOk(*steps))
        return journal_result::failed;
    if (!sys::delete_opened(journal.file)) {
        steps->push_back({"failed", WholePath(path), false, "the journal cannot be deleted"});
        return journal_result::failed;
    }
    journal.CloseFile();
    journal.folder.Close();
    RemoveJournalFolders(journal.notes, steps);
    return journal_result::done;
}

journal_result Commit(const std::u16string& path, std::vector<JournalStep>* steps)
{
    OpenJournal journal;
    if (const journal_result read = OpenToCarryOut(path, &journal, steps);
        read != journal_result::done)
        return read;
    if (!journal.committing)
        MarkCommitting(journal);
    for (const Noted& note : journal.notes) {
        if (note.kind == backup_note)
            DeleteAside(note.path, note.backup_name, "removed backup", steps);
        else if (note.kind == temporary_note)
            DeleteAside(note.path, path_filename(note.path), "removed", steps);
        else if (note.kind == restart_note)
            RemoveNoted(note, steps);
    }
    // The journal goes whatever became of the steps: its run is committed. One that cannot be
    // deleted now is renamed aside for the restart, so its name is free for the next run.
    const std::u16string journal_path = journal.folder.ChildPath(journal.name);
    std::u16string left;
    const removal removed =
        journal.file == sys::invalid_file
            ? removal::failed
            : DeleteOrLeaveForRestart(journal.folder, journal.file, journal.name, &left);
    if (removed != removal::deleted)
        RemovedStep(removed, journal_path, left, "removed", steps);
    // Folders last, once the journal is gone and closed with its folder: the journal's own
    // folder may be one of them (the MSI keeps it in the product's folder).
    journal.CloseFile();
    journal.folder.Close();
    for (const Noted& note : journal.notes) {
        if (note.kind == remove_when_empty_note)
            RemoveFolderIfEmpty(note.path, steps);
    }
    RemoveJournalFolders(journal.notes, steps);
    return AllOk(*steps) ? journal_result::done : journal_result::failed;
}

} // namespace nimbic