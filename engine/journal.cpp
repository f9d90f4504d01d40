// Writing the journal line by line, and reading it back to roll back or commit.
#include "engine/journal.h"

#include "engine/paths.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

#include <charconv>
#include <functional>

namespace nimbic {

namespace {

using zksdk::ui::utf16_to_utf8;
using zksdk::ui::utf8_to_utf16;

constexpr std::string_view journal_header = "Nimbic journal 1";
// The last field of every note: a line without it was cut short.
constexpr std::string_view note_end = ";";
constexpr size_t journal_size_limit = 64u << 20;

constexpr std::string_view folder_note = "folder";
constexpr std::string_view temporary_note = "temporary";
constexpr std::string_view created_note = "created";
constexpr std::string_view backup_note = "backup";
constexpr std::string_view remove_when_empty_note = "remove-when-empty";

struct Noted {
    std::string kind;
    std::u16string path;
    uint64_t size = 0;
    Sha256Digest digest{};
    std::u16string backup_name;
};

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool ParseSize(std::string_view text, uint64_t* size)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *size);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// One complete note, or false for a line cut short or not understood.
bool ParseNote(std::string_view line, Noted* note)
{
    std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 3 || fields.back() != note_end)
        return false;
    fields.pop_back();
    note->kind = std::string(fields[0]);
    if (note->kind == folder_note || note->kind == temporary_note ||
        note->kind == remove_when_empty_note) {
        note->path = utf8_to_utf16(fields[1]);
        return fields.size() == 2 && !note->path.empty();
    }
    if (note->kind == created_note && fields.size() == 4) {
        note->path = utf8_to_utf16(fields[3]);
        return ParseSize(fields[1], &note->size) && ParseHexDigest(fields[2], &note->digest) &&
               !note->path.empty();
    }
    if (note->kind == backup_note && fields.size() == 5) {
        note->path = utf8_to_utf16(fields[3]);
        note->backup_name = utf8_to_utf16(fields[4]);
        return ParseSize(fields[1], &note->size) && ParseHexDigest(fields[2], &note->digest) &&
               !note->path.empty() && !note->backup_name.empty();
    }
    return false;
}

bool StartsAsJournal(std::string_view text)
{
    return text.starts_with(journal_header) &&
           (text.size() == journal_header.size() || text[journal_header.size()] == '\r' ||
            text[journal_header.size()] == '\n');
}

// An open journal to undo or end: its folder, its handle (open for deletion) and its notes.
struct OpenJournal {
    OpenedFolder folder;
    sys::file_handle file = sys::invalid_file;
    std::vector<Noted> notes;

    ~OpenJournal()
    {
        if (file != sys::invalid_file)
            sys::close_file(file);
    }
};

journal_result ReadJournal(const std::u16string& path, OpenJournal* journal)
{
    const std::u16string clean = CleanPath(path);
    switch (OpenedFolder::Open(FolderOf(clean), sys::folder_creation::open_existing, nullptr,
                               &journal->folder)) {
    case sys::open_result::opened:
        break;
    case sys::open_result::missing:
        return journal_result::missing;
    default:
        return journal_result::unreadable;
    }
    switch (sys::open_child_file(journal->folder.handle(), path_filename(clean),
                                 sys::child_access::remove, &journal->file)) {
    case sys::open_result::opened:
        break;
    case sys::open_result::missing:
        return journal_result::missing;
    default:
        return journal_result::unreadable;
    }
    std::string text;
    if (!sys::read_opened(journal->file, journal_size_limit, &text))
        return journal_result::unreadable;
    // A run killed while it wrote the first line noted nothing.
    if (journal_header.starts_with(text))
        return journal_result::done;
    if (!StartsAsJournal(text))
        return journal_result::unreadable;
    size_t start = text.find('\n');
    while (start != std::string::npos && start + 1 < text.size()) {
        const size_t end = text.find('\n', start + 1);
        // A last line without its line break was being written when the run ended.
        if (end == std::string::npos)
            break;
        std::string_view line(text.data() + start + 1, end - start - 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Noted note;
        if (ParseNote(line, &note))
            journal->notes.push_back(std::move(note));
        start = end;
    }
    return journal_result::done;
}

// Ends the journal when every step went well.
journal_result Finish(OpenJournal& journal, const std::u16string& path,
                      std::vector<JournalStep>* steps)
{
    for (const JournalStep& step : *steps) {
        if (!step.ok)
            return journal_result::failed;
    }
    if (!sys::delete_opened(journal.file)) {
        steps->push_back({"failed", path, false, "the journal cannot be deleted"});
        return journal_result::failed;
    }
    return journal_result::done;
}

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

// Deletes a file of ours by name; `action` names it in the step.
void DeleteNamed(const OpenedFolder& folder, std::u16string_view name, const std::string& action,
                 std::vector<JournalStep>* steps)
{
    const std::u16string path = folder.ChildPath(name);
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::missing)
        return;
    if (opened != sys::open_result::opened) {
        steps->push_back({"failed", path, false, OpenFailure(opened)});
        return;
    }
    const bool removed = sys::delete_opened(file);
    sys::close_file(file);
    steps->push_back(removed ? JournalStep{action, path, true, {}}
                             : JournalStep{"failed", path, false, "it cannot be deleted"});
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

void Restore(const Noted& note, std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
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
    if (CompareOpened(file, note.size, note.digest) != content::same) {
        sys::close_file(file);
        steps->push_back({"failed", backup, false,
                          "the backup no longer holds the earlier file, so it is kept"});
        return;
    }
    const sys::open_result moved = sys::rename_opened(
        file, folder.handle(), path_filename(note.path), sys::rename_mode::replace_existing);
    sys::close_file(file);
    if (moved == sys::open_result::opened)
        steps->push_back({"restored", note.path, true, {}});
    else
        steps->push_back({"failed", note.path, false, OpenFailure(moved)});
}

void RemoveCreated(const Noted& note, std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
    if (!OpenFolderOf(note.path, &folder, steps))
        return;
    const std::u16string name = path_filename(note.path);
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::missing)
        return;
    if (opened != sys::open_result::opened) {
        steps->push_back({"failed", note.path, false, OpenFailure(opened)});
        return;
    }
    // Someone else's bytes now: not ours to delete.
    if (CompareOpened(file, note.size, note.digest) != content::same) {
        sys::close_file(file);
        steps->push_back({"kept", note.path, true, "it was changed since it was installed"});
        return;
    }
    const bool removed = sys::delete_opened(file);
    sys::close_file(file);
    steps->push_back(removed ? JournalStep{"removed", note.path, true, {}}
                             : JournalStep{"failed", note.path, false, "it cannot be deleted"});
}

void DeleteNoted(const std::u16string& path, std::u16string_view name, const std::string& action,
                 std::vector<JournalStep>* steps)
{
    OpenedFolder folder;
    if (OpenFolderOf(path, &folder, steps))
        DeleteNamed(folder, name, action, steps);
}

} // namespace

Journal::~Journal()
{
    Close();
}

void Journal::Close()
{
    if (m_file != sys::invalid_file)
        sys::close_file(m_file);
    m_file = sys::invalid_file;
    m_folder.Close();
    m_good = false;
}

journal_status Journal::Open(const std::u16string& path)
{
    Close();
    m_path = CleanPath(path);
    const std::u16string name = path_filename(m_path);
    m_failure = OpenedFolder::Open(FolderOf(m_path), sys::folder_creation::create_if_missing,
                                   nullptr, &m_folder);
    if (m_failure != sys::open_result::opened || name.empty())
        return journal_status::not_opened;
    // An earlier journal is read first: something else is never added to, and a line its run
    // was writing when it ended is closed before ours follow.
    sys::file_handle earlier = sys::invalid_file;
    m_failure = sys::open_child_file(m_folder.handle(), name, sys::child_access::read, &earlier);
    std::string opening;
    if (m_failure == sys::open_result::opened) {
        std::string text;
        const bool read = sys::read_opened(earlier, journal_size_limit, &text);
        sys::close_file(earlier);
        if (!read) {
            m_failure = sys::open_result::failed;
            return journal_status::not_opened;
        }
        if (!StartsAsJournal(text))
            return journal_status::not_a_journal;
        if (!text.ends_with('\n'))
            opening = "\r\n";
        m_failure =
            sys::open_child_file(m_folder.handle(), name, sys::child_access::append, &m_file);
    } else if (m_failure == sys::open_result::missing) {
        m_failure = sys::create_child_file(m_folder.handle(), name, &m_file);
        opening = std::string(journal_header) + "\r\n";
    }
    if (m_failure != sys::open_result::opened)
        return journal_status::not_opened;
    m_good = true;
    if (!opening.empty() && !Write(opening)) {
        m_failure = sys::open_result::failed;
        return journal_status::not_opened;
    }
    return journal_status::ok;
}

bool Journal::Write(const std::string& text)
{
    uint32_t written = 0;
    if (!m_good ||
        !sys::write_file(m_file, text.data(), static_cast<uint32_t>(text.size()), &written) ||
        written != text.size() || !sys::flush_file(m_file))
        m_good = false;
    return m_good;
}

bool Journal::Note(const std::string& line)
{
    return Write(line + "\t" + std::string(note_end) + "\r\n");
}

bool Journal::NoteFolder(const std::u16string& path)
{
    return Note(std::string(folder_note) + "\t" + utf16_to_utf8(path));
}

bool Journal::NoteTemporary(const std::u16string& path)
{
    return Note(std::string(temporary_note) + "\t" + utf16_to_utf8(path));
}

bool Journal::NoteCreated(const std::u16string& path, uint64_t size, const Sha256Digest& digest)
{
    return Note(std::string(created_note) + "\t" + std::to_string(size) + "\t" + HexDigest(digest) +
                "\t" + utf16_to_utf8(path));
}

bool Journal::NoteBackup(const std::u16string& path, std::u16string_view backup_name, uint64_t size,
                         const Sha256Digest& digest)
{
    return Note(std::string(backup_note) + "\t" + std::to_string(size) + "\t" + HexDigest(digest) +
                "\t" + utf16_to_utf8(path) + "\t" + utf16_to_utf8(backup_name));
}

bool Journal::NoteRemoveWhenEmpty(const std::u16string& path)
{
    return Note(std::string(remove_when_empty_note) + "\t" + utf16_to_utf8(path));
}

journal_result RollBack(const std::u16string& path, std::vector<JournalStep>* steps)
{
    steps->clear();
    OpenJournal journal;
    if (const journal_result read = ReadJournal(path, &journal); read != journal_result::done)
        return read;
    for (auto note = journal.notes.rbegin(); note != journal.notes.rend(); ++note) {
        if (note->kind == backup_note)
            Restore(*note, steps);
        else if (note->kind == created_note)
            RemoveCreated(*note, steps);
        else if (note->kind == temporary_note)
            DeleteNoted(note->path, path_filename(note->path), "removed", steps);
        else if (note->kind == folder_note)
            RemoveFolderIfEmpty(note->path, steps);
    }
    return Finish(journal, path, steps);
}

journal_result Commit(const std::u16string& path, std::vector<JournalStep>* steps)
{
    steps->clear();
    OpenJournal journal;
    if (const journal_result read = ReadJournal(path, &journal); read != journal_result::done)
        return read;
    for (const Noted& note : journal.notes) {
        if (note.kind == backup_note)
            DeleteNoted(note.path, note.backup_name, "removed backup", steps);
        else if (note.kind == temporary_note)
            DeleteNoted(note.path, path_filename(note.path), "removed", steps);
    }
    const journal_result result = Finish(journal, path, steps);
    if (result != journal_result::done)
        return result;
    // Folders last, once the journal is gone and closed with its folder: the journal's own
    // folder may be one of them (the MSI keeps it in the product's folder).
    sys::close_file(journal.file);
    journal.file = sys::invalid_file;
    journal.folder.Close();
    for (const Noted& note : journal.notes) {
        if (note.kind == remove_when_empty_note)
            RemoveFolderIfEmpty(note.path, steps);
    }
    return result;
}

std::u16string BackupName(std::u16string_view name)
{
    return std::u16string(name) + u"." + RandomHex() + u".nimbic-old";
}

} // namespace nimbic
