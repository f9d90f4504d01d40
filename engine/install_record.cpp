// Reading and writing the install record. The record is our own file in a folder only
// administrators can write, but a damaged one must still never make us remove anything but the
// entries it names, and only when their bytes match.
#include "engine/install_record.h"

#include "engine/journal.h"
#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "engine/system/system.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace nimbic {

namespace {

using zksdk::ui::utf16_to_utf8;
using zksdk::ui::utf8_to_utf16;

constexpr std::string_view record_header = "Nimbic install record 1";
// A record lists a few files per version; anything near this is not one of ours.
constexpr size_t record_size_limit = 16u << 20;

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

std::optional<record_origin> OriginNamed(std::string_view name)
{
    for (const record_origin origin : {record_origin::unknown, record_origin::created,
                                       record_origin::replaced, record_origin::found}) {
        if (OriginName(origin) == name)
            return origin;
    }
    return std::nullopt;
}

bool ParseEntry(std::string_view line, RecordEntry* entry)
{
    std::vector<std::string_view> fields = Fields(line);
    // Records of earlier versions have no origin: it is unknown.
    if (fields.size() == 6) {
        const std::optional<record_origin> origin = OriginNamed(fields[2]);
        if (!origin)
            return false;
        entry->origin = *origin;
        fields.erase(fields.begin() + 2);
    }
    if (fields.size() != 5)
        return false;
    if (fields[0] == ComponentName(record_component::plugin))
        entry->component = record_component::plugin;
    else if (fields[0] == ComponentName(record_component::script))
        entry->component = record_component::script;
    else
        return false;
    entry->target = std::string(fields[1]);
    const std::string_view size = fields[2];
    const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), entry->size);
    if (error != std::errc() || end != size.data() + size.size() || size.empty())
        return false;
    if (!ParseHexDigest(fields[3], &entry->sha256))
        return false;
    entry->path = utf8_to_utf16(fields[4]);
    return !entry->path.empty();
}

// A name that holds a tab or a line break would break its line; none of ours does.
std::string OneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

// An empty record is no record: its file goes (kept as a backup under a journal).
record_status RemoveFile(const OpenedFolder& folder, const std::u16string& name, Journal* journal)
{
    sys::file_handle file = sys::invalid_file;
    const sys::open_result opened =
        sys::open_child_file(folder.handle(), name, sys::child_access::remove, &file);
    if (opened == sys::open_result::missing)
        return record_status::ok;
    if (opened != sys::open_result::opened)
        return record_status::not_written;
    bool removed = false;
    if (journal) {
        std::string bytes;
        const std::u16string backup = BackupName(name);
        removed = sys::read_opened(file, record_size_limit, &bytes) &&
                  journal->NoteBackup(folder.ChildPath(name), backup, bytes.size(), Sha256Of(bytes),
                                      std::nullopt) &&
                  sys::rename_opened(file, folder.handle(), backup,
                                     sys::rename_mode::keep_existing) == sys::open_result::opened;
    } else {
        removed = sys::delete_opened(file);
    }
    sys::close_file(file);
    return removed ? record_status::ok : record_status::not_written;
}

// Elevated, only what no standard user can have written is read or written.
bool Trusted(const OpenedFolder& folder)
{
    return !sys::is_elevated() || sys::has_administrator_owner(folder.handle());
}

} // namespace

std::string_view ComponentName(record_component component)
{
    return component == record_component::plugin ? "plug-in" : "script";
}

std::string_view OriginName(record_origin origin)
{
    switch (origin) {
    case record_origin::created:
        return "created";
    case record_origin::replaced:
        return "replaced";
    case record_origin::found:
        return "found";
    case record_origin::unknown:
        break;
    }
    return "unknown";
}

bool IsRecordText(std::string_view text)
{
    return text.starts_with(record_header);
}

record_status InstallRecord::Load(const std::u16string& path)
{
    m_entries.clear();
    const std::u16string clean = WholePath(path);
    OpenedFolder folder;
    sys::open_result opened =
        OpenedFolder::Open(FolderOf(clean), sys::folder_creation::open_existing, nullptr, &folder);
    // A folder a standard user owns could hold a record planted there, or get one later.
    if (opened == sys::open_result::opened && !Trusted(folder))
        return record_status::not_trusted;
    sys::file_handle file = sys::invalid_file;
    if (opened == sys::open_result::opened)
        opened = sys::open_child_file(folder.handle(), path_filename(clean),
                                      sys::child_access::read, &file);
    if (opened == sys::open_result::missing)
        return record_status::missing;
    if (opened != sys::open_result::opened)
        return record_status::unreadable;
    if (sys::is_elevated() && !sys::file_has_administrator_owner(file)) {
        sys::close_file(file);
        return record_status::not_trusted;
    }
    std::string text;
    const bool read = sys::read_opened(file, record_size_limit, &text);
    sys::close_file(file);
    if (!read)
        return record_status::unreadable;
    return Parse(text) ? record_status::ok : record_status::damaged;
}

record_status InstallRecord::Save(const std::u16string& path, Journal* journal) const
{
    const std::u16string clean = WholePath(path);
    OpenedFolder folder;
    if (OpenedFolder::Open(FolderOf(clean), sys::folder_creation::create_if_missing, journal,
                           &folder) != sys::open_result::opened)
        return record_status::not_written;
    if (!Trusted(folder))
        return record_status::not_trusted;
    if (m_entries.empty())
        return RemoveFile(folder, path_filename(clean), journal);
    const std::string text = Text();
    WholeFileWriter file(folder, path_filename(clean), journal);
    if (!file.Open() || !file.Write(text.data(), static_cast<uint32_t>(text.size())))
        return record_status::not_written;
    return file.Finish() == replace_status::done ? record_status::ok : record_status::not_written;
}

void InstallRecord::Add(RecordEntry entry)
{
    for (RecordEntry& existing : m_entries) {
        if (same_path(existing.path, entry.path)) {
            existing = std::move(entry);
            return;
        }
    }
    // With the target's other files, its plug-in before its scripts, so that the uninstall
    // window lists the places, and an uninstall goes through them, in the record's own order.
    const auto same_target = [&](const RecordEntry& e) { return e.target == entry.target; };
    const auto last = std::find_if(m_entries.rbegin(), m_entries.rend(), same_target);
    auto at = last == m_entries.rend() ? m_entries.end() : last.base();
    if (entry.component == record_component::plugin) {
        const auto script = std::find_if(m_entries.begin(), m_entries.end(), [&](const auto& e) {
            return same_target(e) && e.component == record_component::script;
        });
        if (script != m_entries.end())
            at = script;
    }
    m_entries.insert(at, std::move(entry));
}

bool InstallRecord::Remove(std::u16string_view path)
{
    return std::erase_if(m_entries,
                         [&](const RecordEntry& entry) { return same_path(entry.path, path); }) > 0;
}

const RecordEntry* InstallRecord::Find(std::u16string_view path) const
{
    for (const RecordEntry& entry : m_entries) {
        if (same_path(entry.path, path))
            return &entry;
    }
    return nullptr;
}

std::string InstallRecord::Text() const
{
    std::string text = std::string(record_header) + "\r\n";
    for (const RecordEntry& entry : m_entries) {
        text += std::string(ComponentName(entry.component)) + "\t" + OneLine(entry.target) + "\t" +
                std::string(OriginName(entry.origin)) + "\t" + std::to_string(entry.size) + "\t" +
                HexDigest(entry.sha256) + "\t" + OneLine(utf16_to_utf8(entry.path)) + "\r\n";
    }
    return text;
}

bool InstallRecord::Parse(std::string_view text)
{
    m_entries.clear();
    bool whole = true;
    bool first = true;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            first = false;
            if (line != record_header)
                return false;
            continue;
        }
        if (line.empty())
            continue;
        RecordEntry entry;
        if (ParseEntry(line, &entry))
            Add(std::move(entry));
        else
            whole = false;
    }
    return whole && !first;
}

bool ProductFolder(std::u16string* folder)
{
    std::u16string program_files;
    if (!sys::program_files_folder(&program_files) || program_files.empty())
        return false;
    *folder = path_join(to_backslashes(std::move(program_files)), product_folder_name);
    return true;
}

std::u16string RecordPathIn(std::u16string_view folder)
{
    return path_join(folder, install_record_name);
}

} // namespace nimbic
