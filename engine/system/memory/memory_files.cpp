// The file tree in memory by path: folders, files, links and held files, the test controls that
// shape it, and the path-based calls of the seam.
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

void add_link(const std::u16string& path, const std::u16string& target)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    Entry& link = put_entry(m, path, true, {});
    link.reparse_tag = sys::reparse_tag_mount_point;
    link.link_target = target;
}

void move(const std::u16string& from, const std::u16string& to)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string source = normalise(from);
    const std::u16string target = normalise(to);
    const std::u16string shown = resolve(to);
    std::vector<std::pair<std::u16string, Entry>> moved;
    for (auto item = m.tree.begin(); item != m.tree.end();) {
        const bool below = item->first.size() > source.size() &&
                           item->first.compare(0, source.size() + 1, source + u"\\") == 0;
        if (item->first != source && !below) {
            ++item;
            continue;
        }
        Entry entry = item->second;
        const size_t cut = item->first.size() - source.size();
        entry.path = shown + entry.path.substr(entry.path.size() - cut);
        moved.emplace_back(target + item->first.substr(source.size()), std::move(entry));
        item = m.tree.erase(item);
    }
    for (auto& [key, entry] : moved)
        m.tree[key] = std::move(entry);
}

void set_administrator_owner(const std::u16string& path, bool administrators)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    if (found != m.tree.end())
        found->second.administrator_owner = administrators;
}

void set_reparse_tag(const std::u16string& path, uint32_t tag)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    if (found != m.tree.end())
        found->second.reparse_tag = tag;
}

void hold_file(const std::u16string& path, holding how)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    OpenFile held;
    held.id = found == m.tree.end() ? 0 : found->second.id;
    held.key = key;
    switch (how) {
    case holding::exclusive:
        held.access = read_bit | write_bit;
        break;
    case holding::sharing_reads:
        held.access = read_bit;
        held.share = read_bit;
        break;
    case holding::mapped_image:
        held.share = read_bit | write_bit | delete_bit;
        held.image = true;
        break;
    }
    m.open_files[m.next_handle++] = held;
}

void release_file(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(path);
    std::erase_if(m.open_files, [&](const auto& item) {
        const OpenFile& open = item.second;
        return open.key == key || (open.id != 0 && key_of(m, open.id) == key);
    });
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

std::vector<std::u16string> restart_deletions()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.restart_deletions;
}

void restart()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_files.clear();
    for (const std::u16string& path : m.restart_deletions) {
        const auto found = m.tree.find(normalise(path));
        if (found == m.tree.end())
            continue;
        // As Windows does, a folder goes only when nothing is in it by then.
        const std::u16string prefix = found->first + u"\\";
        const auto below = m.tree.lower_bound(prefix);
        if (!found->second.folder || below == m.tree.end() ||
            below->first.compare(0, prefix.size(), prefix) != 0)
            m.tree.erase(found);
    }
    m.restart_deletions.clear();
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
    const auto guard = enter_file_call(m);
    bytes->clear();
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end() || !folder_exists(m, parent_key(key)))
        return read_result::missing;
    if (found->second.folder || faulted(m, memsys::op::read_file, path) ||
        share_conflict(m, found->second.id, key, read_bit, read_bit | write_bit))
        return read_result::failed;
    *bytes = found->second.bytes.substr(0, limit);
    return read_result::read;
}

remove_result delete_file(const std::u16string& path)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end())
        return remove_result::missing;
    if (found->second.folder || faulted(m, memsys::op::delete_file, path) ||
        mapped(m, found->second.id) ||
        share_conflict(m, found->second.id, key, delete_bit, read_bit | write_bit | delete_bit))
        return remove_result::failed;
    m.tree.erase(found);
    return remove_result::removed;
}

remove_result remove_directory(const std::u16string& path)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
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
    const auto guard = enter_file_call(m);
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
    const auto guard = enter_file_call(m);
    const std::u16string key = normalise(path);
    const bool shared = share == share_mode::read_write;
    const auto existing = m.tree.find(key);
    const uint64_t id = existing == m.tree.end() ? 0 : existing->second.id;
    if (key.empty() || faulted(m, memsys::op::open_file, path) ||
        !folder_exists(m, parent_key(key)) || folder_exists(m, key) ||
        share_conflict(m, id, key, write_bit, shared ? read_bit | write_bit : 0))
        return invalid_file;
    OpenFile open;
    open.id = put_entry(m, path, false, {}).id;
    open.key = key;
    open.access = write_bit;
    open.share = shared ? read_bit | write_bit : 0;
    const file_handle handle = m.next_handle++;
    m.open_files[handle] = open;
    return handle;
}

bool write_file(file_handle file, const void* data, uint32_t size, uint32_t* written)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    *written = 0;
    const auto open = m.open_files.find(file);
    if (open == m.open_files.end())
        return false;
    const std::u16string key = key_of(m, open->second.id);
    if (key.empty())
        return false;
    uint32_t count = std::min(size, m.write_limit.value_or(size));
    // A process killed in the middle of a write leaves what reached the disk so far.
    const bool killed = m.failing_call && m.call_fault &&
                        m.call_fault->second == memsys::call_fault::killed &&
                        m.call_fault->first == m.file_calls;
    if (killed) {
        m.tree[key].bytes.append(static_cast<const char*>(data), count / 2);
        return false;
    }
    if (faulted(m, memsys::op::write_file, key))
        return false;
    const bool disk_full = m.write_budget && *m.write_budget < count;
    if (disk_full)
        count = static_cast<uint32_t>(*m.write_budget);
    if (m.write_budget)
        *m.write_budget -= count;
    m.tree[key].bytes.append(static_cast<const char*>(data), count);
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
    const auto guard = enter_file_call(m);
    const auto open = m.open_files.find(file);
    return open != m.open_files.end() &&
           !faulted(m, memsys::op::flush_file, key_of(m, open->second.id));
}

// Any open handle blocks the move: nothing here opens a file sharing deletion.
bool replace_file(const std::u16string& from, const std::u16string& to)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
    const std::u16string source = normalise(from);
    const std::u16string target = normalise(to);
    const auto moved = m.tree.find(source);
    if (source.empty() || target.empty() || moved == m.tree.end() || moved->second.folder ||
        folder_exists(m, target) || !folder_exists(m, parent_key(target)) ||
        faulted(m, memsys::op::replace_file, to))
        return false;
    const auto replaced = m.tree.find(target);
    const uint64_t replaced_id = replaced == m.tree.end() ? 0 : replaced->second.id;
    for (const auto& [handle, open] : m.open_files) {
        const bool on_source = open.id == moved->second.id;
        const bool on_target = open.id != 0 ? open.id == replaced_id : open.key == target;
        if (on_source || on_target)
            return false;
    }
    Entry entry = moved->second;
    entry.path = resolve(to);
    m.tree.erase(moved);
    m.tree[target] = entry;
    return true;
}

bool set_file_times(const std::u16string& path, int64_t creation, int64_t last_write)
{
    Machine& m = machine();
    const auto guard = enter_file_call(m);
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
