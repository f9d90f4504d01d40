// The journal of an install or uninstall: each change noted before it is made, so that a
// rollback can undo all of them, even after a run that was killed half-way, and a commit can drop
// what was kept for that. nimbic-deploy keeps one for the MSI's rollback and commit actions.
#pragma once

#include "engine/opened_folder.h"
#include "engine/sha256.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

// The bytes a run leaves at a file's name, so that a rollback can tell them from a change made
// after the run.
struct LeftBytes {
    uint64_t size = 0;
    Sha256Digest digest{};
};

enum class journal_status {
    ok,
    not_a_journal, // the file exists and is something else: it is left alone
    not_opened,    // it cannot be made, read or added to (see failure())
    committed,     // its run's commit has begun: it is never added to (Commit finishes it)
    not_trusted,   // elevated, and it or its folder is not owned by administrators: left alone
};

// An open journal, owned by the run that writes it. Every note is one line, written and flushed
// before the change it describes, and ends with its own mark: a line cut short by a killed run
// (whose change was then never made) is not read as a note.
class Journal {
public:
    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    ~Journal();

    // Opens the journal at `path` for notes, making it (and its folder) when missing: a new
    // journal appears whole, its first line written, never as an empty file. The notes of an
    // earlier run that was neither rolled back nor committed are kept and added to: a rollback
    // then undoes both runs, a commit ends both. An elevated run uses only a journal (and
    // folder) owned by Administrators, SYSTEM or TrustedInstaller, which no standard user can
    // have planted.
    journal_status Open(const std::u16string& path);
    // Why Open returned not_opened.
    sys::open_result failure() const { return m_failure; }

    // A folder this run makes (rollback removes it when it is empty again).
    bool NoteFolder(const std::u16string& path);
    // A temporary file this run makes (rollback and commit delete it when it is still there).
    bool NoteTemporary(const std::u16string& path);
    // A file this run puts where none was, with these bytes (rollback deletes it while it still
    // holds them).
    bool NoteCreated(const std::u16string& path, uint64_t size, const Sha256Digest& digest);
    // The file at `path`, holding these bytes, is kept as `backup_name` in the same folder
    // before it is replaced by the bytes `left` or removed (no `left`). A rollback puts it back
    // only over what the run left there (or where nothing is now): a file someone changed or put
    // there since is not ours to overwrite. A commit deletes the backup, or leaves it for the
    // restart while a host has it loaded.
    bool NoteBackup(const std::u16string& path, std::u16string_view backup_name, uint64_t size,
                    const Sha256Digest& digest, const std::optional<LeftBytes>& left);
    // A folder to remove at commit when it is empty then (one that held the files an uninstall
    // kept as backups).
    bool NoteRemoveWhenEmpty(const std::u16string& path);

    // False once a note could not be written: the run must change nothing more.
    bool good() const { return m_good; }
    const std::u16string& path() const { return m_path; }

private:
    bool Note(const std::string& line);
    bool Write(const std::string& text);
    void Close();
    journal_status OpenExisting(std::u16string_view name);
    journal_status Create(std::u16string_view name, const std::vector<std::u16string>& made);

    OpenedFolder m_folder;
    sys::file_handle m_file = sys::invalid_file;
    std::u16string m_path;
    bool m_good = false;
    sys::open_result m_failure = sys::open_result::opened;
};

// What a rollback or a commit did with one noted change.
struct JournalStep {
    // "restored", "removed", "removed backup", "removed folder", "kept", "kept backup",
    // "scheduled for deletion at restart", "failed"
    std::string action;
    std::u16string path;
    bool ok = true;
    std::string reason;      // why a step failed, or why something was kept
    bool at_restart = false; // the file at `path` goes when Windows restarts
};

enum class journal_result {
    done,        // every step done (some perhaps left for the restart); the journal is deleted
    missing,     // no journal: nothing to do
    unreadable,  // not a journal, or it cannot be read; nothing was changed
    failed,      // some step failed (see the steps); after a rollback the journal stays for
                 // another try, after a commit it is deleted all the same
    committed,   // rollback: the run's commit has begun, so nothing is undone; commit ends it
    not_trusted, // elevated, and the journal or its folder is not owned by administrators
};

// Undoes every noted change, the last first, leaving each file as it was before the runs.
// Running it again, or on the journal of a run killed half-way, is safe. A file a host has
// loaded since is renamed aside for the restart, so that the earlier one can take its name.
journal_result RollBack(const std::u16string& path, std::vector<JournalStep>* steps);
// Ends the transaction, always: marks the journal as committed, deletes the backups and
// temporary files it names and the files noted for deletion (whatever cannot go now is left
// for the restart, by an aside name where Windows allows renaming it), then the journal and the
// folders noted to go when empty. A step that fails leaves its file under a name no host loads;
// the journal goes all the same, so that no later run adds to it or rolls it back.
journal_result Commit(const std::u16string& path, std::vector<JournalStep>* steps);

// A fresh name for the backup of `name`, in its folder: random, and ending in neither ".aex"
// nor ".jsx" nor ".jsxbin", so no host ever loads it.
std::u16string BackupName(std::u16string_view name);

} // namespace nimbic
