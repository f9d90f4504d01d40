// The file a run's report is logged to, made only through its folder's handle.
#pragma once

#include "engine/opened_folder.h"

#include <optional>
#include <string>
#include <string_view>

namespace nimbic {

// One open log, owned by the report of the run (nimbic-deploy's, the wizard's). A log runs as
// SYSTEM under the MSI, in a folder a user might have made or turned into a link first, so it is
// never opened through a link or mount point, never in a folder a standard user could own while
// elevated, and never over a file it did not make itself (a name taken by a link is deleted as
// the link, or left alone).
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Opens `path`, replacing a file of that name. Returns why it cannot be, for a warning.
    std::optional<std::string> OpenFile(const std::u16string& path);
    // Makes this run's own log in `folder`: STEM-YYYYMMDD-HHMMSS.log (local time, with "-2" and
    // on for a second run in the same second), and deletes the oldest logs of that stem beyond
    // the newest `kept`.
    std::optional<std::string> OpenInFolder(const std::u16string& folder, std::u16string_view stem,
                                            size_t kept);

    bool is_open() const { return m_file != sys::invalid_file; }
    const std::u16string& path() const { return m_path; }
    // Appends the text; false (and the log closed) when it could not be written whole.
    bool Write(std::string_view text);
    void Close();

private:
    std::optional<std::string> OpenFolder(const std::u16string& folder, bool make);
    std::optional<std::string> Create(std::u16string_view name);
    void DeleteOldest(std::u16string_view stem, size_t kept);

    OpenedFolder m_folder;
    sys::file_handle m_file = sys::invalid_file;
    std::u16string m_path;
};

} // namespace nimbic
