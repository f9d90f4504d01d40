// The engine's seam in memory, for tests. Paths behave as on Windows: case-insensitive, "\"
// separated, doubled separators accepted, relative paths taken from the current folder.
#include "engine/system/memory/memory_system.h"
#include "engine/system/system.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace nimbic {

namespace {

constexpr long error_unsupported_type = 1630;
constexpr long error_access_denied = 5;

struct Fault {
    memsys::op operation;
    int remaining;
    std::u16string filter;
};

struct RegistryValue {
    bool is_string = true;
    std::u16string text;
};

struct RegistryKey {
    std::vector<std::u16string> children; // in the order Windows enumerates them
    std::map<std::u16string, RegistryValue> values;
};

struct OpenFile {
    std::u16string key;
    bool shared = false;
};

struct Machine {
    std::mutex lock;
    std::map<std::u16string, memsys::entry> tree; // keyed by the normalised path
    std::map<std::u16string, RegistryKey> registry[2];
    std::map<uintptr_t, std::pair<int, std::u16string>> open_keys;
    std::map<uintptr_t, OpenFile> open_files;
    std::map<int, std::string> resources;
    std::map<std::u16string, std::map<int, std::string>> programs; // by normalised path
    std::map<uintptr_t, std::u16string> open_modules;
    std::u16string program_path = u"C:\\Work\\program.exe";
    bool elevated = true;
    std::vector<Fault> faults;
    std::optional<uint32_t> write_limit;
    std::vector<std::string> calls;
    std::u16string app_data = u"C:\\ProgramData";
    bool wow64 = false;
    uintptr_t next_handle = 16;
};

Machine& machine()
{
    static Machine instance;
    return instance;
}

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

char16_t upper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The registry keeps sub-keys sorted by their upper-case names, and enumerates them so.
bool enumerates_before(const std::u16string& a, const std::u16string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

// The call log spells names in ASCII; anything else shows as "?".
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

// A path resolved as Windows would: "/" as "\", separators collapsed, "." dropped, trailing
// dots and spaces stripped from each component, so that "..", "..." and ". ." all climb; relative
// paths start at the current folder. UNC and drive-relative paths are not modelled: empty.
std::u16string resolve(std::u16string path)
{
    std::replace(path.begin(), path.end(), u'/', u'\\');
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\')
        return {};
    if (path.size() < 2 || path[1] != u':')
        path = u"C:\\Work\\" + path;
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

// True when a fault for this operation and text is armed; uses one of its counts.
bool faulted(Machine& m, memsys::op operation, std::u16string_view text = u"")
{
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

bool shared_conflict(Machine& m, const std::u16string& key, bool want_shared)
{
    for (const auto& [handle, file] : m.open_files) {
        if (file.key == key && (!file.shared || !want_shared))
            return true;
    }
    return false;
}

std::map<std::u16string, RegistryKey>& registry(Machine& m, memsys::registry_view view)
{
    return m.registry[view == memsys::registry_view::native ? 0 : 1];
}

RegistryKey& make_registry_key(std::map<std::u16string, RegistryKey>& reg,
                               const std::u16string& path)
{
    const std::u16string key = lowered(path);
    const size_t cut = path.rfind(u'\\');
    if (!reg.count(key) && cut != std::u16string::npos) {
        RegistryKey& parent = make_registry_key(reg, path.substr(0, cut));
        const std::u16string child = path.substr(cut + 1);
        parent.children.insert(std::upper_bound(parent.children.begin(), parent.children.end(),
                                                child, enumerates_before),
                               child);
    }
    return reg[key];
}

void put_entry(Machine& m, const std::u16string& path, bool folder, const std::string& bytes)
{
    memsys::entry entry;
    entry.path = resolve(path);
    entry.folder = folder;
    entry.bytes = bytes;
    m.tree[normalise(path)] = entry;
}

} // namespace

namespace memsys {

void reset()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.tree.clear();
    m.registry[0].clear();
    m.registry[1].clear();
    m.open_keys.clear();
    m.open_files.clear();
    m.resources.clear();
    m.programs.clear();
    m.open_modules.clear();
    m.program_path = u"C:\\Work\\program.exe";
    m.elevated = true;
    m.faults.clear();
    m.write_limit.reset();
    m.calls.clear();
    m.app_data = u"C:\\ProgramData";
    m.wow64 = false;
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

void set_wow64(bool wow64)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.wow64 = wow64;
}

void add_registry_key(registry_view view, const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    make_registry_key(registry(m, view), path);
}

void set_registry_string(registry_view view, const std::u16string& key_path,
                         const std::u16string& name, const std::u16string& data)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    make_registry_key(registry(m, view), key_path).values[lowered(name)] = {true, data};
}

void set_registry_dword(registry_view view, const std::u16string& key_path,
                        const std::u16string& name, uint32_t data)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    make_registry_key(registry(m, view), key_path).values[lowered(name)] = {
        false, std::u16string(1, static_cast<char16_t>(data))};
}

void set_resource(int id, std::string bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.resources[id] = std::move(bytes);
}

void add_program(const std::u16string& path, std::map<int, std::string> resources)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    put_entry(m, path, false, "MZ");
    m.programs[normalise(path)] = std::move(resources);
}

void set_program_path(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.program_path = path;
}

void set_elevated(bool elevated)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.elevated = elevated;
}

void set_common_app_data(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.app_data = path;
}

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
    m.tree[normalise(path)].link = true;
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
    return m.open_files.size() + m.open_keys.size() + m.open_modules.size();
}

} // namespace memsys

namespace sys {

bool is_wow64_process()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("IsWow64Process");
    return m.wow64;
}

long reg_open_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegOpenKeyExW " + ascii(sub_key) + " " + hex(access));
    *key = 0;
    if (faulted(m, memsys::op::reg_open, sub_key))
        return error_access_denied;
    // A 32-bit process reads the 32-bit view unless it asks for the 64-bit one.
    const int view = m.wow64 && !(access & key_wow64_64key) ? 1 : 0;
    const std::u16string path = lowered(sub_key);
    if (!m.registry[view].count(path))
        return reg_file_not_found;
    *key = m.next_handle++;
    m.open_keys[*key] = {view, path};
    return reg_ok;
}

long reg_query_sub_key_count(reg_key key, uint32_t* count)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegQueryInfoKeyW");
    *count = 0;
    const auto open = m.open_keys.find(key);
    if (open == m.open_keys.end() || faulted(m, memsys::op::reg_query_info))
        return error_access_denied;
    *count =
        static_cast<uint32_t>(m.registry[open->second.first][open->second.second].children.size());
    return reg_ok;
}

long reg_enum_key(reg_key key, uint32_t index, char16_t* name, uint32_t* length)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegEnumKeyExW " + std::to_string(index));
    const auto open = m.open_keys.find(key);
    if (open == m.open_keys.end())
        return error_access_denied;
    const RegistryKey& parent = m.registry[open->second.first][open->second.second];
    if (index >= parent.children.size())
        return 259; // ERROR_NO_MORE_ITEMS
    const std::u16string& child = parent.children[index];
    if (faulted(m, memsys::op::reg_enum, child))
        return error_access_denied;
    if (child.size() + 1 > *length)
        return reg_more_data;
    std::memcpy(name, child.c_str(), (child.size() + 1) * sizeof(char16_t));
    *length = static_cast<uint32_t>(child.size());
    return reg_ok;
}

long reg_get_string(reg_key key, const std::u16string& sub_key, const std::u16string& value,
                    char16_t* buffer, uint32_t* bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("SHRegGetValueW " + ascii(sub_key) + " " + ascii(value));
    const auto open = m.open_keys.find(key);
    if (open == m.open_keys.end())
        return error_access_denied;
    if (faulted(m, memsys::op::reg_value, sub_key))
        return error_access_denied;
    const auto& reg = m.registry[open->second.first];
    const auto found = reg.find(open->second.second + u"\\" + lowered(sub_key));
    if (found == reg.end())
        return reg_file_not_found;
    const auto data = found->second.values.find(lowered(value));
    if (data == found->second.values.end())
        return reg_file_not_found;
    if (!data->second.is_string)
        return error_unsupported_type;
    const uint32_t needed =
        static_cast<uint32_t>((data->second.text.size() + 1) * sizeof(char16_t));
    if (needed > *bytes) {
        *bytes = needed;
        return reg_more_data;
    }
    std::memcpy(buffer, data->second.text.c_str(), needed);
    *bytes = needed;
    return reg_ok;
}

void reg_close(reg_key key)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegCloseKey");
    m.open_keys.erase(key);
}

// A found resource names its module and its id: module handle * 65536 + id, the running
// program being module 0.
module_result open_data_module(const std::u16string& path, module* opened)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *opened = own_program;
    const std::u16string key = normalise(path);
    const auto found = m.tree.find(key);
    if (key.empty() || found == m.tree.end())
        return module_result::missing;
    if (found->second.folder || faulted(m, memsys::op::open_module, path) ||
        shared_conflict(m, key, true))
        return module_result::unreadable;
    if (!m.programs.count(key))
        return module_result::not_a_program;
    *opened = m.next_handle++;
    m.open_modules[*opened] = key;
    return module_result::opened;
}

void close_module(module opened)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_modules.erase(opened);
}

namespace {

std::map<int, std::string>* module_resources(Machine& m, module from)
{
    if (from == own_program)
        return &m.resources;
    const auto open = m.open_modules.find(from);
    return open == m.open_modules.end() ? nullptr : &m.programs[open->second];
}

std::string* found_bytes(Machine& m, resource found)
{
    std::map<int, std::string>* resources = module_resources(m, found / 65536);
    const auto item = resources ? resources->find(static_cast<int>(found % 65536))
                                : std::map<int, std::string>::iterator();
    return resources && item != resources->end() ? &item->second : nullptr;
}

} // namespace

resource find_resource(int id, module from)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::map<int, std::string>* resources = module_resources(m, from);
    if (faulted(m, memsys::op::resource_find) || !resources || !resources->count(id))
        return 0;
    return static_cast<resource>(from * 65536 + static_cast<resource>(id));
}

uintptr_t load_resource(resource found, module)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::resource_load))
        return 0;
    return found;
}

const void* lock_resource(uintptr_t loaded)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::resource_lock))
        return nullptr;
    const std::string* bytes = found_bytes(m, loaded);
    return bytes ? bytes->data() : nullptr;
}

uint32_t resource_size(resource found, module)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::string* bytes = found_bytes(m, found);
    return bytes ? static_cast<uint32_t>(bytes->size()) : 0;
}

bool own_program_path(std::u16string* path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *path = m.program_path;
    return true;
}

bool is_elevated()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.elevated;
}

local_clock local_time()
{
    return {2026, 1, 2, 3, 4, 5};
}

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

bool is_link(const std::u16string& path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.tree.find(normalise(path));
    return found != m.tree.end() && found->second.link;
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
    const uint32_t count = std::min(size, m.write_limit.value_or(size));
    m.tree[open->second.key].bytes.append(static_cast<const char*>(data), count);
    *written = count;
    return true;
}

void close_file(file_handle file)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.open_files.erase(file);
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

bool common_app_data_folder(std::u16string* path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::known_folder))
        return false;
    *path = m.app_data;
    return true;
}

} // namespace sys

} // namespace nimbic
