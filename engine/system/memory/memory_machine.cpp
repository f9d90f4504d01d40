// The in-memory machine itself: its state, path rules, faults and the test controls that reset
// and inspect it. Paths behave as on Windows: case-insensitive, "\" separated, doubled separators
// accepted, relative paths taken from the current folder.
#include "engine/system/memory/memory_machine.h"

#include <algorithm>
#include <cstdio>

namespace nimbic::memsys {

namespace detail {

namespace {

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

} // namespace

Machine& machine()
{
    static Machine instance;
    return instance;
}

std::string ascii(std::u16string_view text)
{
    std::string narrow;
    for (const char16_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

std::u16string lowered(std::u16string text)
{
    std::transform(text.begin(), text.end(), text.begin(), lower);
    return text;
}

bool is_drive(std::u16string_view path)
{
    return path.size() == 2 && path[1] == u':';
}

std::u16string resolve(std::u16string path)
{
    std::replace(path.begin(), path.end(), u'/', u'\\');
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\')
        return {};
    if (path.size() < 2 || path[1] != u':')
        path = machine().current_folder + u"\\" + path;
    else if (path.size() > 2 && path[2] != u'\\')
        return {};
    std::vector<std::u16string> parts;
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos)
            end = path.size();
        std::u16string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".")
            continue;
        while (!part.empty() && (part.back() == u'.' || part.back() == u' '))
            part.pop_back();
        if (part.empty()) {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::u16string resolved = path.substr(0, 2);
    for (const std::u16string& part : parts)
        resolved += u"\\" + part;
    return resolved;
}

std::u16string normalise(const std::u16string& path)
{
    return lowered(resolve(path));
}

std::u16string parent_key(const std::u16string& key)
{
    const size_t cut = key.rfind(u'\\');
    return cut == std::u16string::npos ? std::u16string() : key.substr(0, cut);
}

bool folder_exists(Machine& m, const std::u16string& key)
{
    const auto found = m.tree.find(key);
    return found != m.tree.end() && found->second.folder;
}

bool faulted(Machine& m, memsys::op operation, std::u16string_view text)
{
    // Only file calls are counted, so only they fail by their number.
    if (m.failing_call && operation != memsys::op::reg_open &&
        operation != memsys::op::reg_query_info && operation != memsys::op::reg_enum &&
        operation != memsys::op::reg_value && operation != memsys::op::resource_find &&
        operation != memsys::op::resource_load && operation != memsys::op::resource_lock &&
        operation != memsys::op::known_folder && operation != memsys::op::open_module &&
        operation != memsys::op::reg_write && operation != memsys::op::disk_space &&
        operation != memsys::op::start_program)
        return true;
    for (Fault& fault : m.faults) {
        if (fault.operation != operation || fault.remaining == 0)
            continue;
        if (!fault.filter.empty() &&
            lowered(std::u16string(text)).find(lowered(fault.filter)) == std::u16string::npos)
            continue;
        if (fault.remaining > 0)
            --fault.remaining;
        return true;
    }
    return false;
}

std::unique_lock<std::mutex> enter_file_call(Machine& m)
{
    std::function<void()> hook;
    {
        std::lock_guard guard(m.lock);
        const size_t number = ++m.file_calls;
        if (const auto found = m.call_hooks.find(number); found != m.call_hooks.end()) {
            hook = std::move(found->second);
            m.call_hooks.erase(found);
        }
    }
    if (hook)
        hook();
    std::unique_lock guard(m.lock);
    m.failing_call = false;
    if (m.call_fault) {
        const auto [number, how] = *m.call_fault;
        m.failing_call =
            m.file_calls == number || (how == memsys::call_fault::killed && m.file_calls > number);
    }
    return guard;
}

bool share_conflict(Machine& m, uint64_t id, const std::u16string& key, unsigned access,
                    unsigned share)
{
    for (const auto& [handle, open] : m.open_files) {
        const bool same = open.id != 0 ? open.id == id : open.key == key;
        // An image in use refuses writers whatever they share (a sharing violation on Windows).
        if (same && open.image && (access & write_bit))
            return true;
        if (same && ((access & ~open.share) != 0 || (open.access & ~share) != 0))
            return true;
    }
    return false;
}

bool mapped(Machine& m, uint64_t id)
{
    for (const auto& [handle, open] : m.open_files) {
        if (open.image && open.id == id)
            return true;
    }
    return false;
}

bool shared_conflict(Machine& m, const std::u16string& key, bool want_shared)
{
    const auto found = m.tree.find(key);
    const uint64_t id = found == m.tree.end() ? 0 : found->second.id;
    const unsigned read_write = read_bit | write_bit;
    for (const auto& [handle, open] : m.open_files) {
        const bool same = open.id != 0 ? open.id == id : open.key == key;
        if (same && ((open.share & read_write) != read_write || !want_shared))
            return true;
    }
    return false;
}

Entry& put_entry(Machine& m, const std::u16string& path, bool folder, const std::string& bytes)
{
    Entry entry;
    entry.path = resolve(path);
    entry.folder = folder;
    entry.bytes = bytes;
    entry.id = m.next_id++;
    Entry& placed = m.tree[normalise(path)];
    placed = std::move(entry);
    return placed;
}

std::u16string key_of(Machine& m, uint64_t id)
{
    for (const auto& [key, entry] : m.tree) {
        if (entry.id == id)
            return key;
    }
    return {};
}

std::u16string final_key(Machine& m, const std::u16string& key)
{
    if (key.size() < 2)
        return key;
    std::u16string reached = key.substr(0, 2);
    size_t start = 3;
    int hops = 0;
    while (start <= key.size()) {
        size_t end = key.find(u'\\', start);
        if (end == std::u16string::npos)
            end = key.size();
        reached += u"\\" + key.substr(start, end - start);
        start = end + 1;
        const auto found = m.tree.find(reached);
        if (found == m.tree.end() || !sys::is_name_surrogate(found->second.reparse_tag))
            continue;
        if (found->second.link_target.empty() || ++hops > 32)
            return {};
        reached = normalise(found->second.link_target);
    }
    return reached;
}

} // namespace detail

using namespace detail;

void reset()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.tree.clear();
    m.registry[0].clear();
    m.registry[1].clear();
    m.open_keys.clear();
    m.open_files.clear();
    m.open_folders.clear();
    m.next_id = 1;
    m.current_folder = u"C:\\Work";
    m.file_calls = 0;
    m.call_fault.reset();
    m.failing_call = false;
    m.call_hooks.clear();
    m.restart_deletions.clear();
    m.random_state = 0x9E3779B97F4A7C15;
    m.resources.clear();
    m.programs.clear();
    m.open_modules.clear();
    m.program_path = u"C:\\Work\\program.exe";
    m.elevated = true;
    m.faults.clear();
    m.write_limit.reset();
    m.write_budget.reset();
    m.calls.clear();
    m.app_data = u"C:\\ProgramData";
    m.wow64 = false;
    m.free_space.clear();
    m.holders.clear();
    m.holders_by_file.clear();
    m.mutexes.clear();
    m.held_mutexes.clear();
    m.squatted_mutexes.clear();
    m.related_products.clear();
    m.install_locations.clear();
    m.started.clear();
    for (const char16_t* path : {u"C:", u"D:", u"C:\\ProgramData", u"C:\\Work"})
        put_entry(m, path, true, {});
}

void fail(op operation, int count, const std::u16string& filter)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.faults.push_back({operation, count, filter});
}

void limit_writes(uint32_t max_bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.write_limit = max_bytes;
}

void fail_writes_after(uint64_t bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.write_budget = bytes;
}

std::vector<std::string> calls()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.calls;
}

size_t open_handles()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.open_files.size() + m.open_folders.size() + m.open_keys.size() + m.open_modules.size();
}

size_t file_calls()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.file_calls;
}

void fail_file_call(size_t number, call_fault how)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.call_fault = {number, how};
}

void before_file_call(size_t number, std::function<void()> action)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.call_hooks[number] = std::move(action);
}

} // namespace nimbic::memsys
