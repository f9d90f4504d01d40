// A folder held open by the engine, so that everything below it is reached through its handle.
#pragma once

#include "engine/system/system.h"

#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

class Journal;

// One open folder and the path it was opened as; owned by the code that writes in it, closed
// when destroyed. Moving hands the handle over.
class OpenedFolder {
public:
    OpenedFolder() = default;
    OpenedFolder(OpenedFolder&& other) noexcept;
    OpenedFolder& operator=(OpenedFolder&& other) noexcept;
    OpenedFolder(const OpenedFolder&) = delete;
    OpenedFolder& operator=(const OpenedFolder&) = delete;
    ~OpenedFolder();

    // Opens the folder at `path` ("\" or "/" separators; a relative path is made whole against
    // the current folder, see WholePath). With create_if_missing, the folder and every missing
    // folder above it are made, each through its parent's handle and, under a journal, noted
    // there before it is made, so that a rollback removes it once it is empty. The folders made
    // are added to `made` when it is given, the outermost first.
    static sys::open_result Open(std::u16string_view path, sys::folder_creation creation,
                                 Journal* journal, OpenedFolder* folder,
                                 std::vector<std::u16string>* made = nullptr);
    // Opens or makes the child folder `name` (one component), the same way.
    sys::open_result OpenChild(std::u16string_view name, sys::folder_creation creation,
                               Journal* journal, OpenedFolder* child,
                               std::vector<std::u16string>* made = nullptr) const;
    // Opens or makes the folder `relative` below this one ("a\b", not empty), one component
    // after the other.
    sys::open_result OpenBelow(std::u16string_view relative, sys::folder_creation creation,
                               Journal* journal, OpenedFolder* folder) const;

    bool is_open() const { return m_handle != sys::invalid_folder; }
    sys::folder_handle handle() const { return m_handle; }
    // The whole path it was opened as: what journals and records keep, valid from any folder.
    const std::u16string& path() const { return m_path; }
    // True when this call made the folder (not when it was there already).
    bool created() const { return m_created; }
    std::u16string ChildPath(std::u16string_view name) const;
    void Close();

private:
    sys::folder_handle m_handle = sys::invalid_folder;
    std::u16string m_path;
    bool m_created = false;
};

// The folder a file path names: its parent, or "." (the current folder) for a bare name.
std::u16string FolderOf(std::u16string_view path);

// The path with "/" as "\", no doubled separators (a UNC path keeps its leading two) and no
// trailing one but a drive's own ("C:\").
std::u16string CleanPath(std::u16string_view path);

// The path made whole by the system (absolute, "." and ".." resolved, long names, trailing dots
// and spaces dropped as Windows drops them), then cleaned; only cleaned when the system cannot
// make it whole. A path kept for later (in a journal, a record) must not depend on the folder
// the program happened to start in.
std::u16string WholePath(std::u16string_view path);

} // namespace nimbic
