// The temporary file's life: created beside the target under a fresh name, filled, flushed, then
// either moved over the target or deleted, every step through handles.
#include "engine/whole_file.h"

#include "engine/journal.h"
#include "engine/paths.h"

#include <algorithm>

namespace nimbic {

namespace {

// Hosts load plug-ins by ".aex" and scripts by ".jsx" or ".jsxbin": this ending is none of them.
constexpr std::u16string_view temporary_ending = u".nimbic-new";
// A name taken by chance, or by someone who guessed it, is passed over for another this often.
constexpr int name_attempts = 8;
// Bigger than any plug-in; an earlier file beyond it is not one we could keep a record of.
constexpr size_t earlier_file_limit = size_t{1} << 30;

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

std::u16string RandomHex()
{
    uint8_t bytes[8];
    sys::random_bytes(bytes, sizeof bytes);
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string text;
    for (const uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::u16string TemporaryName(std::u16string_view name)
{
    return std::u16string(name) + u"." + RandomHex() + std::u16string(temporary_ending);
}

bool IsTemporaryNameOf(std::u16string_view candidate, std::u16string_view name)
{
    if (candidate.size() < name.size() + temporary_ending.size() ||
        !same_path(candidate.substr(0, name.size()), name) ||
        !same_path(candidate.substr(candidate.size() - temporary_ending.size()), temporary_ending))
        return false;
    const std::u16string_view middle =
        candidate.substr(name.size(), candidate.size() - name.size() - temporary_ending.size());
    if (middle.empty())
        return true;
    return middle.size() == 17 && middle[0] == u'.' &&
           std::all_of(middle.begin() + 1, middle.end(), IsHexDigit);
}

content CompareOpened(sys::file_handle file, uint64_t size, const Sha256Digest& digest)
{
    std::string bytes;
    if (size >= earlier_file_limit || !sys::read_opened(file, size + 1, &bytes))
        return content::unreadable;
    return bytes.size() == size && Sha256Of(bytes) == digest ? content::same : content::different;
}

WholeFileWriter::WholeFileWriter(const OpenedFolder& folder, std::u16string name, Journal* journal)
    : m_folder(&folder), m_name(std::move(name)), m_journal(journal)
{
}

WholeFileWriter::WholeFileWriter(const std::u16string& target)
    : m_name(path_filename(CleanPath(target)))
{
    const sys::open_result opened = OpenedFolder::Open(
        FolderOf(CleanPath(target)), sys::folder_creation::open_existing, nullptr, &m_own_folder);
    if (opened == sys::open_result::opened)
        m_folder = &m_own_folder;
    else
        m_failure = opened;
}

WholeFileWriter::~WholeFileWriter()
{
    Discard();
}

bool WholeFileWriter::Open()
{
    if (!m_folder || !m_folder->is_open() || m_name.empty()) {
        if (m_failure == sys::open_result::opened)
            m_failure = sys::open_result::failed;
        return false;
    }
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        const std::u16string name = TemporaryName(m_name);
        if (m_journal && !m_journal->NoteTemporary(m_folder->ChildPath(name))) {
            m_failure = sys::open_result::failed;
            return false;
        }
        m_failure = sys::create_child_file(m_folder->handle(), name, &m_file);
        if (m_failure == sys::open_result::opened) {
            m_temporary = name;
            return true;
        }
        if (m_failure != sys::open_result::exists)
            return false;
    }
    return false;
}

bool WholeFileWriter::Write(const void* data, uint32_t size)
{
    uint32_t written = 0;
    if (m_file == sys::invalid_file || !sys::write_file(m_file, data, size, &written) ||
        written != size)
        return false;
    m_hash.Update(data, size);
    m_size += size;
    return true;
}

replace_status WholeFileWriter::Finish(const std::optional<FileTimes>& times)
{
    if (m_file == sys::invalid_file)
        return replace_status::not_created;
    // A full disk may only show when the cached bytes are written out.
    if (!sys::flush_file(m_file)) {
        Discard();
        return replace_status::not_written;
    }
    m_digest = m_hash.Finish();
    if (times)
        sys::set_times(m_file, times->creation, times->last_write);
    if (!ReplaceTarget()) {
        Discard();
        return replace_status::not_replaced;
    }
    sys::close_file(m_file);
    m_file = sys::invalid_file;
    return replace_status::done;
}

// The target is opened first, never through a link: a link planted at its name fails the write
// rather than being replaced, and a file another program holds fails it before anything moves.
bool WholeFileWriter::ReplaceTarget()
{
    const sys::folder_handle folder = m_folder->handle();
    sys::file_handle target = sys::invalid_file;
    m_failure = sys::open_child_file(folder, m_name, sys::child_access::remove, &target);
    if (m_failure == sys::open_result::missing) {
        m_change = file_change::created;
        if (m_journal && !m_journal->NoteCreated(m_folder->ChildPath(m_name), m_size, m_digest)) {
            m_failure = sys::open_result::failed;
            return false;
        }
        m_failure = sys::rename_opened(m_file, folder, m_name, sys::rename_mode::keep_existing);
        return m_failure == sys::open_result::opened;
    }
    if (m_failure != sys::open_result::opened)
        return false;
    m_change = file_change::replaced;
    bool replaced = false;
    if (m_journal) {
        replaced = KeepBackupAndReplace(target);
    } else {
        sys::close_file(target);
        target = sys::invalid_file;
        m_failure = sys::rename_opened(m_file, folder, m_name, sys::rename_mode::replace_existing);
        replaced = m_failure == sys::open_result::opened;
    }
    if (target != sys::invalid_file)
        sys::close_file(target);
    return replaced;
}

// The earlier file is renamed to its backup name (so it keeps its bytes, times and access
// list), then the new one takes its name; if that fails, the earlier one goes straight back.
bool WholeFileWriter::KeepBackupAndReplace(sys::file_handle target)
{
    std::string earlier;
    if (!sys::read_opened(target, earlier_file_limit, &earlier)) {
        m_failure = sys::open_result::failed;
        return false;
    }
    const sys::folder_handle folder = m_folder->handle();
    const std::u16string backup = BackupName(m_name);
    if (!m_journal->NoteBackup(m_folder->ChildPath(m_name), backup, earlier.size(),
                               Sha256Of(earlier), LeftBytes{m_size, m_digest})) {
        m_failure = sys::open_result::failed;
        return false;
    }
    m_failure = sys::rename_opened(target, folder, backup, sys::rename_mode::keep_existing);
    if (m_failure != sys::open_result::opened)
        return false;
    m_failure = sys::rename_opened(m_file, folder, m_name, sys::rename_mode::keep_existing);
    if (m_failure == sys::open_result::opened)
        return true;
    sys::rename_opened(target, folder, m_name, sys::rename_mode::keep_existing);
    return false;
}

void WholeFileWriter::Discard()
{
    if (m_file == sys::invalid_file)
        return;
    sys::delete_opened(m_file);
    sys::close_file(m_file);
    m_file = sys::invalid_file;
}

} // namespace nimbic
