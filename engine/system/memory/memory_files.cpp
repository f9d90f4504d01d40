// The file tree in memory: folders, files, links and held files, and the calls that use them.
#include "engine/system/memory/memory_machine.h"

#include <algorithm>

namespace nimbic {

using namespace memsys::detail;

namespace memsys {

void add_folder(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    put_entry(m, path, true, {});
}

void add_file(const std::u16string& path, const std::string& bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    put_entry(m, path, false, bytes);
}

void add_link(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    put_entry(m, path, true, {});
    m.tree[normalise(path)].reparse_tag = sys::reparse_tag_mount_point;
}

void set_reparse_tag(const std::u16string& path, uint32_t tag)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    if (found != m.tree.end())
        found->second.reparse_tag = tag;
}

void hold_file(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_files[m.next_handle++] = {normalise(path), false};
}

void release_file(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    std::erase_if(m.open_files, [&](const auto& item) { return item.second.key == key; });
}

std::optional<entry> find(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    if (found == m.tree.end())
        return std::nullopt;
    return found->second;
}

std::vector<entry> entries()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    std::vector<entry> all;
    for (const auto& [key, item] : m.tree) {
        if (!is_drive(key))
            all.push_back(item);
    }
    return all;
}

} // namespace memsys

namespace sys {

path_kind kind_of(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    if (found == m.tree.end())
        return path_kind::missing;
    return found->second.folder ? path_kind::folder : path_kind::file;
}

read_result read_file_bytes(const std::u16string& path, size_t limit, std::string* bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    bytes->clear();
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end() || !folder_exists(m, parent_key(key)))
        return read_result::missing;
    if (found->second.folder || faulted(m, memsys::op::read_file, path) ||
        shared_conflict(m, key, true))
        return read_result::failed;
    *bytes = found->second.bytes.substr(0, limit);
    return read_result::read;
}

remove_result delete_file(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end())
        return remove_result::missing;
    if (found->second.folder || faulted(m, memsys::op::delete_file, path) ||
        shared_conflict(m, key, true))
        return remove_result::failed;
    m.tree.erase(found);
    return remove_result::removed;
}

remove_result remove_directory(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end())
        return remove_result::missing;
    // "c:\a b" sorts between "c:\a" and "c:\a\x": look for the children's own prefix.
    const std::u16string prefix = key + u"\\";
    const auto child = m.tree.lower_bound(prefix);
    const bool has_children =
        child != m.tree.end() && child->first.compare(0, prefix.size(), prefix) == 0;
    if (!found->second.folder || has_children || is_drive(key) ||
        faulted(m, memsys::op::remove_directory, path))
        return remove_result::failed;
    m.tree.erase(found);
    return remove_result::removed;
}

uint32_t reparse_tag(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    return found == m.tree.end() ? 0 : found->second.reparse_tag;
}

dir_result create_directory(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    if (key.empty() || faulted(m, memsys::op::create_directory, path))
        return dir_result::failed;
    if (m.tree.count(key))
        return dir_result::already_exists;
    if (!folder_exists(m, parent_key(key)))
        return dir_result::parent_missing;
    put_entry(m, path, true, {});
    return dir_result::created;
}

file_handle create_file(const std::u16string& path, share_mode share)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    const bool shared = share == share_mode::read_write;
    if (key.empty() || faulted(m, memsys::op::open_file, path) ||
        !folder_exists(m, parent_key(key)) || folder_exists(m, key) ||
        shared_conflict(m, key, shared))
        return invalid_file;
    put_entry(m, path, false, {});
    const file_handle handle = m.next_handle++;
    m.open_files[handle] = {key, shared};
    return handle;
}

bool write_file(file_handle file, const void* data, uint32_t size, uint32_t* written)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *written = 0;
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end() || faulted(m, memsys::op::write_file, open->second.key))
        return false;
    uint32_t count = std::min(size, m.write_limit.value_or(size));
    const bool disk_full = m.write_budget && *m.write_budget < count;
    if (disk_full)
        count = static_cast<uint32_t>(*m.write_budget);
    if (m.write_budget)
        *m.write_budget -= count;
    m.tree[open->second.key].bytes.append(static_cast<const char*>(data), count);
    *written = count;
    return !disk_full;
}

void close_file(file_handle file)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_files.erase(file);
}

bool flush_file(file_handle file)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto open = m.open_files.find(file);
    return open != m.open_files.end() && !faulted(m, memsys::op::flush_file, open->second.key);
}

// Any open handle blocks the move: nothing here opens a file sharing deletion.
bool replace_file(const std::u16string& from, const std::u16string& to)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string source = normalise(from);
    const std::u16string target = normalise(to);
    const auto moved = m.tree.find(source);
    if (source.empty() || target.empty() || moved == m.tree.end() || moved->second.folder ||
        folder_exists(m, target) || !folder_exists(m, parent_key(target)) ||
        faulted(m, memsys::op::replace_file, to))
        return false;
    for (const auto& [handle, open] : m.open_files) {
        if (open.key == source || open.key == target)
            return false;
    }
    memsys::entry entry = moved->second;
    entry.path = resolve(to);
    m.tree.erase(moved);
    m.tree[target] = entry;
    return true;
}

bool set_file_times(const std::u16string& path, int64_t creation, int64_t last_write)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (found == m.tree.end() || faulted(m, memsys::op::set_file_times, path) ||
        shared_conflict(m, key, true))
        return false;
    found->second.creation = creation;
    found->second.last_write = last_write;
    return true;
}

} // namespace sys

} // namespace nimbic
