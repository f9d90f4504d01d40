// Files reached through opened folders, in memory. A handle holds on to its entry, not its path:
// an entry moved away keeps its handles, and a link planted where it stood leads somewhere else,
// which every open then sees, as GetFinalPathNameByHandleW shows it on Windows.
#include "engine/system/memory/memory_machine.h"

namespace nimbic {

using namespace memsys::detail;

namespace sys {

namespace {

bool IsOneComponent(std::u16string_view name)
{
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:") == std::u16string_view::npos;
}

// The key of an open folder when it is still where it was opened; empty when it was moved (a
// child opened through it would not be the path meant) or is gone.
std::u16string FolderKey(Machine& m, folder_handle folder)
{
    const auto open = m.open_folders.find(folder);
    if (open == m.open_folders.end())
        return {};
    const std::u16string key = key_of(m, open->second.id);
    return key == open->second.meant ? key : std::u16string();
}

bool IsLink(const Entry& entry)
{
    return is_name_surrogate(entry.reparse_tag);
}

folder_handle OpenFolderHandle(Machine& m, const Entry& entry, const std::u16string& key)
{
    const folder_handle handle = m.next_handle++;
    m.open_folders[handle] = {entry.id, key};
    return handle;
}

file_handle OpenFileHandle(Machine& m, const Entry& entry, const std::u16string& key,
                           unsigned access, unsigned share, bool append = false)
{
    OpenFile open;
    open.id = entry.id;
    open.key = key;
    open.access = access;
    open.share = share;
    open.append = append;
    const file_handle handle = m.next_handle++;
    m.open_files[handle] = open;
    return handle;
}

} // namespace

open_result open_folder(const std::u16string& path, folder_handle* folder)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    *folder = invalid_folder;
    const std::u16string key = normalise(path);
    if (key.empty() || faulted(m, memsys::op::open_folder, path))
        return open_result::failed;
    if (final_key(m, key) != key)
        return open_result::redirected;
    const auto found = m.tree.find(key);
    if (found == m.tree.end())
        return open_result::missing;
    if (!found->second.folder)
        return open_result::failed;
    *folder = OpenFolderHandle(m, found->second, key);
    return open_result::opened;
}

open_result open_child_folder(folder_handle parent, std::u16string_view name,
                              folder_creation creation, folder_handle* child, bool* created)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    *child = invalid_folder;
    *created = false;
    const std::u16string parent_key = FolderKey(m, parent);
    if (parent_key.empty())
        return open_result::redirected;
    if (!IsOneComponent(name))
        return open_result::failed;
    const std::u16string key = parent_key + u"\\" + lowered(std::u16string(name));
    const auto found = m.tree.find(key);
    if (found != m.tree.end()) {
        if (IsLink(found->second))
            return open_result::redirected;
        if (creation == folder_creation::create_private)
            return open_result::exists;
        if (!found->second.folder)
            return open_result::failed;
        *child = OpenFolderHandle(m, found->second, key);
        return open_result::opened;
    }
    if (creation == folder_creation::open_existing)
        return open_result::missing;
    const std::u16string path = m.tree[parent_key].path + u"\\" + std::u16string(name);
    if (faulted(m, memsys::op::create_directory, path))
        return open_result::failed;
    Entry& made = put_entry(m, path, true, {});
    made.locked = creation == folder_creation::create_locked_if_missing && m.elevated;
    *created = true;
    *child = OpenFolderHandle(m, made, key);
    return open_result::opened;
}

void close_folder(folder_handle folder)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_folders.erase(folder);
}

bool has_administrator_owner(folder_handle folder)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto open = m.open_folders.find(folder);
    if (open == m.open_folders.end())
        return false;
    const auto found = m.tree.find(key_of(m, open->second.id));
    return found != m.tree.end() && found->second.administrator_owner;
}

bool file_has_administrator_owner(file_handle file)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end())
        return false;
    const auto found = m.tree.find(key_of(m, open->second.id));
    return found != m.tree.end() && found->second.administrator_owner;
}

open_result create_child_file(folder_handle folder, std::u16string_view name, file_handle* file)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    *file = invalid_file;
    const std::u16string folder_key = FolderKey(m, folder);
    if (folder_key.empty())
        return open_result::redirected;
    if (!IsOneComponent(name))
        return open_result::failed;
    const std::u16string key = folder_key + u"\\" + lowered(std::u16string(name));
    const std::u16string path = m.tree[folder_key].path + u"\\" + std::u16string(name);
    if (faulted(m, memsys::op::open_file, path))
        return open_result::failed;
    if (m.tree.count(key))
        return open_result::exists;
    const Entry& made = put_entry(m, path, false, {});
    *file = OpenFileHandle(m, made, key, read_bit | write_bit | delete_bit, 0);
    return open_result::opened;
}

open_result open_child_file(folder_handle folder, std::u16string_view name, child_access access,
                            file_handle* file)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    *file = invalid_file;
    const std::u16string folder_key = FolderKey(m, folder);
    if (folder_key.empty())
        return open_result::redirected;
    if (!IsOneComponent(name))
        return open_result::failed;
    const std::u16string key = folder_key + u"\\" + lowered(std::u16string(name));
    const auto found = m.tree.find(key);
    if (found == m.tree.end())
        return open_result::missing;
    if (IsLink(found->second))
        return open_result::redirected;
    const memsys::op operation =
        access == child_access::read ? memsys::op::read_file : memsys::op::open_file;
    if (found->second.folder || faulted(m, operation, found->second.path))
        return open_result::failed;
    const unsigned all = read_bit | write_bit | delete_bit;
    unsigned wanted = read_bit;
    unsigned sharing = all;
    switch (access) {
    case child_access::read:
        break;
    case child_access::remove:
        wanted = read_bit | delete_bit;
        sharing = read_bit | delete_bit;
        break;
    case child_access::append:
        wanted = write_bit;
        sharing = read_bit;
        break;
    case child_access::overwrite:
        wanted = write_bit;
        break;
    }
    if (share_conflict(m, found->second.id, key, wanted, sharing))
        return open_result::held;
    *file = OpenFileHandle(m, found->second, key, wanted, sharing, access == child_access::append);
    return open_result::opened;
}

bool read_opened(file_handle file, size_t limit, std::string* bytes)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    bytes->clear();
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end())
        return false;
    const auto found = m.tree.find(key_of(m, open->second.id));
    if (found == m.tree.end() || faulted(m, memsys::op::read_file, found->second.path))
        return false;
    *bytes = found->second.bytes.substr(0, limit);
    return true;
}

bool set_times(file_handle file, int64_t creation, int64_t last_write)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end())
        return false;
    const auto found = m.tree.find(key_of(m, open->second.id));
    if (found == m.tree.end() || faulted(m, memsys::op::set_file_times, found->second.path))
        return false;
    found->second.creation = creation;
    found->second.last_write = last_write;
    return true;
}

open_result rename_opened(file_handle file, folder_handle folder, std::u16string_view name,
                          rename_mode mode)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end() || !(open->second.access & delete_bit))
        return open_result::failed;
    const std::u16string folder_key = FolderKey(m, folder);
    if (folder_key.empty())
        return open_result::redirected;
    const std::u16string source = key_of(m, open->second.id);
    if (!IsOneComponent(name) || source.empty() || parent_key(source) != folder_key)
        return open_result::failed;
    const std::u16string target = folder_key + u"\\" + lowered(std::u16string(name));
    const std::u16string path = m.tree[folder_key].path + u"\\" + std::u16string(name);
    if (faulted(m, memsys::op::replace_file, path))
        return open_result::failed;
    if (target != source) {
        const auto taken = m.tree.find(target);
        // A program that held the name before any file had it (as tests set it up).
        if (taken == m.tree.end() &&
            share_conflict(m, 0, target, write_bit | delete_bit, read_bit | write_bit | delete_bit))
            return open_result::held;
        if (taken != m.tree.end()) {
            if (mode == rename_mode::keep_existing)
                return open_result::exists;
            if (taken->second.folder)
                return open_result::failed;
            if (mapped(m, taken->second.id))
                return open_result::denied;
            if (share_conflict(m, taken->second.id, target, delete_bit,
                               read_bit | write_bit | delete_bit))
                return open_result::held;
            m.tree.erase(taken);
        }
    }
    Entry entry = m.tree[source];
    entry.path = path;
    m.tree.erase(source);
    m.tree[target] = entry;
    return open_result::opened;
}

bool delete_opened(file_handle file)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end() || !(open->second.access & delete_bit))
        return false;
    const auto found = m.tree.find(key_of(m, open->second.id));
    if (found == m.tree.end() || faulted(m, memsys::op::delete_file, found->second.path) ||
        mapped(m, found->second.id))
        return false;
    m.tree.erase(found);
    return true;
}

remove_result remove_child_folder(folder_handle parent, std::u16string_view name)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const std::u16string parent_key = FolderKey(m, parent);
    if (parent_key.empty() || !IsOneComponent(name))
        return remove_result::failed;
    const std::u16string key = parent_key + u"\\" + lowered(std::u16string(name));
    const auto found = m.tree.find(key);
    if (found == m.tree.end())
        return remove_result::missing;
    const std::u16string prefix = key + u"\\";
    const auto child = m.tree.lower_bound(prefix);
    const bool has_children =
        child != m.tree.end() && child->first.compare(0, prefix.size(), prefix) == 0;
    if (!found->second.folder || IsLink(found->second) || has_children ||
        faulted(m, memsys::op::remove_directory, found->second.path))
        return remove_result::failed;
    m.tree.erase(found);
    return remove_result::removed;
}

bool list_children(folder_handle folder, std::vector<std::u16string>* names)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    names->clear();
    const std::u16string folder_key = FolderKey(m, folder);
    if (folder_key.empty())
        return false;
    const std::u16string prefix = folder_key + u"\\";
    for (auto item = m.tree.lower_bound(prefix);
         item != m.tree.end() && item->first.compare(0, prefix.size(), prefix) == 0; ++item) {
        if (item->first.find(u'\\', prefix.size()) == std::u16string::npos)
            names->push_back(item->second.path.substr(item->second.path.rfind(u'\\') + 1));
    }
    return true;
}

bool full_path(const std::u16string& path, std::u16string* whole)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *whole = resolve(path);
    return !whole->empty();
}

void random_bytes(void* data, size_t size)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    auto* bytes = static_cast<uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        // splitmix64: the same names after every reset, so tests can predict them.
        m.random_state += 0x9E3779B97F4A7C15;
        uint64_t z = m.random_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        bytes[i] = static_cast<uint8_t>(z ^ (z >> 31));
    }
}

bool delete_at_restart(const std::u16string& path)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    if (faulted(m, memsys::op::delete_at_restart, path) || !m.tree.count(normalise(path)))
        return false;
    m.restart_deletions.push_back(resolve(path));
    return true;
}

bool enter_system_folder()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.current_folder = u"C:\\Windows\\System32";
    return true;
}

} // namespace sys

} // namespace nimbic
