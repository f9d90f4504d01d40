// Opening, naming, writing and pruning the setups' logs through their folder's handle.
#include "engine/log_file.h"

#include "engine/paths.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace nimbic {

namespace {

constexpr std::u16string_view log_extension = u".log";

std::string Quoted(std::u16string_view text)
{
    return "\"" + zksdk::ui::utf16_to_utf8(text) + "\"";
}

bool IsDigits(std::u16string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// "YYYYMMDD-HHMMSS" or "YYYYMMDD-HHMMSS-N" (N up to three digits): only names of this form are
// ours to prune.
bool IsStamp(std::u16string_view text)
{
    if (text.size() < 15 || !IsDigits(text.substr(0, 8)) || text[8] != u'-' ||
        !IsDigits(text.substr(9, 6)))
        return false;
    return text.size() == 15 ||
           (text.size() <= 19 && text[15] == u'-' && IsDigits(text.substr(16)));
}

// A log of ours, in the order the runs made them: by time stamp, then by the run's number.
struct Dated {
    std::u16string name;
    std::u16string stamp;
    unsigned run = 1;

    bool operator<(const Dated& other) const
    {
        return stamp != other.stamp ? stamp < other.stamp : run < other.run;
    }
};

std::u16string Digits(unsigned number)
{
    const std::string text = std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

// The logs of this stem in the folder.
std::vector<Dated> Logs(sys::folder_handle folder, std::u16string_view stem)
{
    std::vector<Dated> logs;
    std::vector<std::u16string> names;
    if (!sys::list_children(folder, &names))
        return logs;
    const std::u16string prefix = std::u16string(stem) + u"-";
    for (const std::u16string& name : names) {
        if (name.size() < prefix.size() + log_extension.size() || !name.starts_with(prefix) ||
            !name.ends_with(log_extension))
            continue;
        const std::u16string_view stamp = std::u16string_view(name).substr(
            prefix.size(), name.size() - prefix.size() - log_extension.size());
        if (!IsStamp(stamp))
            continue;
        Dated log{name, std::u16string(stamp.substr(0, 15)), 1};
        if (stamp.size() > 15) {
            log.run = 0;
            for (const char16_t digit : stamp.substr(16))
                log.run = log.run * 10 + static_cast<unsigned>(digit - u'0');
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

std::string FolderProblem(const std::u16string& folder, sys::open_result result)
{
    const std::string named = "the log folder " + Quoted(folder);
    switch (result) {
    case sys::open_result::missing:
        return named + " does not exist";
    case sys::open_result::redirected:
        return named + " is reached through a link or mount point";
    case sys::open_result::denied:
        return named + " cannot be opened (access is denied)";
    default:
        return named + " cannot be opened";
    }
}

} // namespace

LogFile::~LogFile()
{
    Close();
}

void LogFile::Close()
{
    if (m_file != sys::invalid_file)
        sys::close_file(m_file);
    m_file = sys::invalid_file;
    m_folder.Close();
}

// With `make`, a missing folder is made in its parent, which must exist, through the parent's
// handle and with the locked access list from the start (see create_locked_if_missing): run
// elevated, no moment passes in which a standard user could add to it or take it over.
std::optional<std::string> LogFile::OpenFolder(const std::u16string& folder, bool make)
{
    Close();
    sys::open_result opened =
        OpenedFolder::Open(folder, sys::folder_creation::open_existing, nullptr, &m_folder);
    const std::u16string whole = WholePath(folder);
    if (opened == sys::open_result::missing && make && !path_filename(whole).empty()) {
        std::u16string parent_path = path_parent(whole);
        // "C:" alone is the drive's current folder, not its root.
        if (parent_path.size() == 2 && parent_path[1] == u':')
            parent_path += u'\\';
        OpenedFolder parent;
        opened =
            OpenedFolder::Open(parent_path, sys::folder_creation::open_existing, nullptr, &parent);
        if (opened == sys::open_result::opened)
            opened = parent.OpenChild(path_filename(whole),
                                      sys::folder_creation::create_locked_if_missing, nullptr,
                                      &m_folder);
    }
    if (opened != sys::open_result::opened)
        return FolderProblem(CleanPath(folder), opened);
    // Elevated, a folder a standard user owns is one that user can change between our steps.
    if (sys::is_elevated() && !sys::has_administrator_owner(m_folder.handle())) {
        m_folder.Close();
        return "the log folder " + Quoted(CleanPath(folder)) +
               " is not owned by Administrators or SYSTEM";
    }
    return std::nullopt;
}

std::optional<std::string> LogFile::Create(std::u16string_view name)
{
    const sys::open_result made = sys::create_child_file(m_folder.handle(), name, &m_file);
    if (made == sys::open_result::opened) {
        m_path = m_folder.ChildPath(name);
        return std::nullopt;
    }
    const std::string named = "the log " + Quoted(m_folder.ChildPath(name));
    switch (made) {
    case sys::open_result::exists:
        return named + " exists";
    case sys::open_result::redirected:
        return named + " would be reached through a link";
    case sys::open_result::denied:
        return named + " cannot be made (access is denied)";
    default:
        return named + " cannot be made";
    }
}

std::optional<std::string> LogFile::OpenFile(const std::u16string& path)
{
    const std::u16string clean = CleanPath(path);
    if (auto problem = OpenFolder(FolderOf(clean), false))
        return problem;
    const std::u16string name = path_filename(clean);
    // The earlier log goes by its handle: a link there is removed as a link, never followed.
    sys::file_handle earlier = sys::invalid_file;
    switch (sys::open_child_file(m_folder.handle(), name, sys::child_access::remove, &earlier)) {
    case sys::open_result::opened: {
        const bool deleted = sys::delete_opened(earlier);
        sys::close_file(earlier);
        if (!deleted) {
            Close();
            return "the earlier log " + Quoted(clean) + " cannot be replaced";
        }
        break;
    }
    case sys::open_result::missing:
        break;
    case sys::open_result::redirected:
        Close();
        return "the log " + Quoted(clean) + " is a link or is reached through one";
    default:
        Close();
        return "the earlier log " + Quoted(clean) + " cannot be replaced";
    }
    auto problem = Create(name);
    if (problem)
        Close();
    return problem;
}

std::optional<std::string> LogFile::OpenInFolder(const std::u16string& folder,
                                                 std::u16string_view stem, size_t kept)
{
    if (auto problem = OpenFolder(folder, true))
        return problem;
    const sys::local_clock now = sys::local_time();
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    const std::u16string stamp(text, text + 15);
    // After the last run of this second, not in a gap an earlier pruning left: the name's order
    // is the runs' order.
    unsigned run = 1;
    for (const Dated& log : Logs(m_folder.handle(), stem)) {
        if (log.stamp == stamp)
            run = std::max(run, log.run + 1);
    }
    std::optional<std::string> problem;
    for (;; ++run) {
        const std::u16string suffix = run == 1 ? u"" : u"-" + Digits(run);
        problem =
            Create(std::u16string(stem) + u"-" + stamp + suffix + std::u16string(log_extension));
        // Taken meanwhile by a run beside us: the next number.
        if (!problem || !problem->ends_with(" exists") || run >= 999)
            break;
    }
    if (problem) {
        Close();
        return problem;
    }
    DeleteOldest(stem, kept);
    return std::nullopt;
}

void LogFile::DeleteOldest(std::u16string_view stem, size_t kept)
{
    std::vector<Dated> logs = Logs(m_folder.handle(), stem);
    if (logs.size() <= kept)
        return;
    std::sort(logs.begin(), logs.end());
    for (size_t i = 0; i + kept < logs.size(); ++i) {
        if (same_path(m_folder.ChildPath(logs[i].name), m_path))
            continue;
        sys::file_handle old = sys::invalid_file;
        if (sys::open_child_file(m_folder.handle(), logs[i].name, sys::child_access::remove,
                                 &old) != sys::open_result::opened)
            continue;
        sys::delete_opened(old);
        sys::close_file(old);
    }
}

bool LogFile::Write(std::string_view text)
{
    if (m_file == sys::invalid_file)
        return false;
    uint32_t written = 0;
    if (sys::write_file(m_file, text.data(), static_cast<uint32_t>(text.size()), &written) &&
        written == text.size())
        return true;
    Close();
    return false;
}

} // namespace nimbic
