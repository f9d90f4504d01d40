// Writing the journal, note by note, each flushed before the change it describes.
#include "engine/journal.h"

#include "engine/journal_format.h"
#include "engine/paths.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic {

namespace {

using zksdk::ui::utf16_to_utf8;
using namespace journal_format;

bool Trusted(const OpenedFolder& folder)
{
    return !sys::is_elevated() || sys::has_administrator_owner(folder.handle());
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
    m_path = WholePath(path);
    const std::u16string name = path_filename(m_path);
    // Folders made for the journal are noted in it once it exists: a run killed in between
    // leaves empty folders, never a change that cannot be undone.
    std::vector<std::u16string> made;
    m_failure = OpenedFolder::Open(FolderOf(m_path), sys::folder_creation::create_if_missing,
                                   nullptr, &m_folder, &made);
    if (m_failure != sys::open_result::opened || name.empty())
        return journal_status::not_opened;
    if (!Trusted(m_folder))
        return journal_status::not_trusted;
    const journal_status status = made.empty() ? OpenExisting(name) : Create(name, made);
    if (status != journal_status::ok)
        Close();
    return status;
}

// An earlier journal is read first: something else is never added to, nor a journal whose
// commit has begun, and a line its run was writing when it ended is closed before ours follow.
journal_status Journal::OpenExisting(std::u16string_view name)
{
    sys::file_handle earlier = sys::invalid_file;
    m_failure = sys::open_child_file(m_folder.handle(), name, sys::child_access::read, &earlier);
    if (m_failure == sys::open_result::missing)
        return Create(name, {});
    if (m_failure != sys::open_result::opened)
        return journal_status::not_opened;
    if (sys::is_elevated() && !sys::file_has_administrator_owner(earlier)) {
        sys::close_file(earlier);
        return journal_status::not_trusted;
    }
    std::string text;
    const bool read = sys::read_opened(earlier, size_limit, &text);
    sys::close_file(earlier);
    if (!read || text.size() >= size_limit) {
        m_failure = sys::open_result::failed;
        return journal_status::not_opened;
    }
    std::vector<Noted> notes;
    if (!StartsAsJournal(text) || !ReadNotes(text, &notes))
        return journal_status::not_a_journal;
    for (const Noted& note : notes) {
        if (note.kind == commit_note)
            return journal_status::committed;
    }
    m_failure = sys::open_child_file(m_folder.handle(), name, sys::child_access::append, &m_file);
    if (m_failure != sys::open_result::opened)
        return journal_status::not_opened;
    m_good = true;
    if (!text.ends_with('\n') && !Write("\r\n")) {
        m_failure = sys::open_result::failed;
        return journal_status::not_opened;
    }
    return journal_status::ok;
}

// Written under a temporary name and moved into place: a journal is never seen empty, so an
// empty file is never taken for one.
journal_status Journal::Create(std::u16string_view name, const std::vector<std::u16string>& made)
{
    const std::u16string temporary = TemporaryName(name);
    m_failure = sys::create_child_file(m_folder.handle(), temporary, &m_file);
    if (m_failure != sys::open_result::opened)
        return journal_status::not_opened;
    std::string opening = std::string(header) + "\r\n";
    for (const std::u16string& folder : made)
        opening += NoteLine(std::string(journal_folder_note) + "\t" + utf16_to_utf8(folder));
    m_good = true;
    if (Write(opening))
        m_failure =
            sys::rename_opened(m_file, m_folder.handle(), name, sys::rename_mode::keep_existing);
    else
        m_failure = sys::open_result::failed;
    if (m_failure == sys::open_result::opened)
        return journal_status::ok;
    sys::delete_opened(m_file);
    return journal_status::not_opened;
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
    return Write(NoteLine(line));
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
                         const Sha256Digest& digest, const std::optional<LeftBytes>& left)
{
    const std::string what_is_left =
        left ? std::to_string(left->size) + "\t" + HexDigest(left->digest)
             : std::string(nothing_left) + "\t" + std::string(nothing_left);
    return Note(std::string(backup_note) + "\t" + std::to_string(size) + "\t" + HexDigest(digest) +
                "\t" + utf16_to_utf8(path) + "\t" + utf16_to_utf8(backup_name) + "\t" +
                what_is_left);
}

bool Journal::NoteRemoveWhenEmpty(const std::u16string& path)
{
    return Note(std::string(remove_when_empty_note) + "\t" + utf16_to_utf8(path));
}

std::u16string BackupName(std::u16string_view name)
{
    return std::u16string(name) + u"." + RandomHex() + u".nimbic-old";
}

} // namespace nimbic
