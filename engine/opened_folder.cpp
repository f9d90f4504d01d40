// Opening folders one by one down a path: an existing folder is opened whole (and checked by
// the seam), a missing one is made through its parent's handle.
#include "engine/opened_folder.h"

#include "engine/journal.h"
#include "engine/paths.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace nimbic {

OpenedFolder::OpenedFolder(OpenedFolder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, sys::invalid_folder)), m_path(std::move(other.m_path)),
      m_created(other.m_created)
{
}

OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, sys::invalid_folder);
        m_path = std::move(other.m_path);
        m_created = other.m_created;
    }
    return *this;
}

OpenedFolder::~OpenedFolder()
{
    Close();
}

void OpenedFolder::Close()
{
    if (m_handle == sys::invalid_folder)
        return;
    sys::close_folder(m_handle);
    m_handle = sys::invalid_folder;
}

std::u16string OpenedFolder::ChildPath(std::u16string_view name) const
{
    return path_join(m_path, name);
}

sys::open_result OpenedFolder::Open(std::u16string_view path, sys::folder_creation creation,
                                    Journal* journal, OpenedFolder* folder,
                                    std::vector<std::u16string>* made)
{
    folder->Close();
    if (CleanPath(path).empty())
        return sys::open_result::failed;
    const std::u16string clean = WholePath(path);
    sys::folder_handle handle = sys::invalid_folder;
    const sys::open_result result = sys::open_folder(clean, &handle);
    if (result == sys::open_result::opened) {
        folder->m_handle = handle;
        folder->m_path = clean;
        folder->m_created = false;
        return result;
    }
    std::u16string parent_path = path_parent(clean);
    // "C:" alone is the drive's current folder, not its root.
    if (parent_path.size() == 2 && parent_path[1] == u':')
        parent_path += u'\\';
    if (result != sys::open_result::missing || !sys::creates(creation) || parent_path.empty() ||
        parent_path.size() >= clean.size())
        return result;
    OpenedFolder parent;
    const sys::open_result parent_result = Open(parent_path, creation, journal, &parent, made);
    if (parent_result != sys::open_result::opened)
        return parent_result;
    return parent.OpenChild(path_filename(clean), creation, journal, folder, made);
}

sys::open_result OpenedFolder::OpenChild(std::u16string_view name, sys::folder_creation creation,
                                         Journal* journal, OpenedFolder* child,
                                         std::vector<std::u16string>* made) const
{
    child->Close();
    sys::folder_handle handle = sys::invalid_folder;
    bool created = false;
    sys::open_result result = sys::open_child_folder(
        m_handle, name, sys::folder_creation::open_existing, &handle, &created);
    if (result == sys::open_result::opened && creation == sys::folder_creation::create_private) {
        sys::close_folder(handle);
        return sys::open_result::exists;
    }
    if (result == sys::open_result::missing && sys::creates(creation)) {
        // Noted first: a run killed right after the folder was made must still undo it.
        if (journal && !journal->NoteFolder(ChildPath(name)))
            return sys::open_result::failed;
        result = sys::open_child_folder(m_handle, name, creation, &handle, &created);
    }
    if (result != sys::open_result::opened)
        return result;
    child->m_handle = handle;
    child->m_path = ChildPath(name);
    child->m_created = created;
    if (created && made)
        made->push_back(child->m_path);
    return result;
}

sys::open_result OpenedFolder::OpenBelow(std::u16string_view relative,
                                         sys::folder_creation creation, Journal* journal,
                                         OpenedFolder* folder) const
{
    folder->Close();
    // Empty and "." components name the folder they are in, as they do in a Windows path.
    std::vector<std::u16string_view> components;
    for (size_t start = 0; start <= relative.size();) {
        const size_t end = std::min(relative.find(u'\\', start), relative.size());
        const std::u16string_view component = relative.substr(start, end - start);
        if (!component.empty() && component != u".")
            components.push_back(component);
        start = end + 1;
    }
    if (components.empty())
        return sys::open_result::failed;
    const OpenedFolder* parent = this;
    OpenedFolder step;
    for (const std::u16string_view component : components) {
        OpenedFolder next;
        const sys::open_result result = parent->OpenChild(component, creation, journal, &next);
        if (result != sys::open_result::opened)
            return result;
        step = std::move(next);
        parent = &step;
    }
    *folder = std::move(step);
    return sys::open_result::opened;
}

std::u16string WholePath(std::u16string_view path)
{
    const std::u16string clean = CleanPath(path);
    std::u16string whole;
    if (clean.empty() || !sys::full_path(clean, &whole) || whole.empty())
        return clean;
    whole = CleanPath(whole);
    // "C:" alone would be the drive's current folder.
    if (whole.size() == 2 && whole[1] == u':')
        whole += u'\\';
    return whole;
}

std::u16string FolderOf(std::u16string_view path)
{
    std::u16string parent = path_parent(CleanPath(path));
    return parent.empty() ? u"." : parent;
}

std::u16string CleanPath(std::u16string_view path)
{
    std::u16string clean = to_backslashes(std::u16string(path));
    const size_t keep = clean.starts_with(u"\\\\") ? 2 : 0;
    std::u16string collapsed = clean.substr(0, keep);
    for (size_t i = keep; i < clean.size(); ++i) {
        if (clean[i] == u'\\' && !collapsed.empty() && collapsed.back() == u'\\' &&
            collapsed.size() > keep)
            continue;
        collapsed += clean[i];
    }
    while (collapsed.size() > keep && collapsed.back() == u'\\' &&
           !(collapsed.size() == 3 && collapsed[1] == u':'))
        collapsed.pop_back();
    return collapsed;
}

} // namespace nimbic
