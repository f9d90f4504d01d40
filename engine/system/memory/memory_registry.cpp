// The registry in memory, with its 32-bit and 64-bit views, and the calls that read it.
#include "engine/system/memory/memory_machine.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace nimbic {

using namespace memsys::detail;

namespace {

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

const RegistryValue* find_value(const std::map<std::u16string, RegistryKey>& reg,
                                const std::u16string& key_path, const std::u16string& name)
{
    const auto key = reg.find(lowered(key_path));
    if (key == reg.end())
        return nullptr;
    const auto value = key->second.values.find(lowered(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

// The view a call reaches: a 32-bit process reads the 32-bit one unless it asks for the other.
int ViewOf(const Machine& m, uint32_t access)
{
    return m.wow64 && !(access & sys::key_wow64_64key) ? 1 : 0;
}

} // namespace

namespace memsys {

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
    make_registry_key(registry(m, view), key_path).values[lowered(name)] = {false, {}, data};
}

bool registry_key_exists(registry_view view, const std::u16string& key_path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return registry(m, view).count(lowered(key_path)) > 0;
}

std::optional<std::u16string> registry_string(registry_view view, const std::u16string& key_path,
                                              const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const RegistryValue* value = find_value(registry(m, view), key_path, name);
    return value && value->is_string ? std::optional(value->text) : std::nullopt;
}

std::optional<uint32_t> registry_dword(registry_view view, const std::u16string& key_path,
                                       const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const RegistryValue* value = find_value(registry(m, view), key_path, name);
    return value && !value->is_string ? std::optional(value->number) : std::nullopt;
}

std::vector<std::u16string> registry_value_names(registry_view view, const std::u16string& key_path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    std::vector<std::u16string> names;
    const auto& reg = registry(m, view);
    if (const auto key = reg.find(lowered(key_path)); key != reg.end()) {
        for (const auto& [name, value] : key->second.values)
            names.push_back(name);
    }
    return names;
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
    const int view = ViewOf(m, access);
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

long reg_create_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegCreateKeyExW " + ascii(sub_key) + " " + hex(access));
    *key = 0;
    if (faulted(m, memsys::op::reg_write, sub_key))
        return error_access_denied;
    const int view = ViewOf(m, access);
    make_registry_key(m.registry[view], sub_key);
    *key = m.next_handle++;
    m.open_keys[*key] = {view, lowered(sub_key)};
    return reg_ok;
}

namespace {

long SetValue(reg_key key, const std::u16string& name, const RegistryValue& value)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegSetValueExW " + ascii(name));
    const auto open = m.open_keys.find(key);
    if (open == m.open_keys.end() || faulted(m, memsys::op::reg_write, name))
        return error_access_denied;
    m.registry[open->second.first][open->second.second].values[lowered(name)] = value;
    return reg_ok;
}

} // namespace

long reg_set_string(reg_key key, const std::u16string& name, const std::u16string& data)
{
    return SetValue(key, name, {true, data, 0});
}

long reg_set_dword(reg_key key, const std::u16string& name, uint32_t data)
{
    return SetValue(key, name, {false, {}, data});
}

long reg_get_dword(reg_key key, const std::u16string& name, uint32_t* data)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *data = 0;
    const auto open = m.open_keys.find(key);
    if (open == m.open_keys.end())
        return error_access_denied;
    const auto& values = m.registry[open->second.first][open->second.second].values;
    const auto found = values.find(lowered(name));
    if (found == values.end())
        return reg_file_not_found;
    if (found->second.is_string)
        return error_unsupported_type;
    *data = found->second.number;
    return reg_ok;
}

long reg_delete_local_machine_tree(const std::u16string& sub_key, uint32_t access)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("RegDeleteTreeW " + ascii(sub_key));
    if (faulted(m, memsys::op::reg_write, sub_key))
        return error_access_denied;
    auto& reg = m.registry[ViewOf(m, access)];
    const std::u16string key = lowered(sub_key);
    if (!reg.count(key))
        return reg_file_not_found;
    std::erase_if(reg, [&](const auto& item) {
        return item.first == key || item.first.starts_with(key + u"\\");
    });
    const size_t cut = key.rfind(u'\\');
    if (cut != std::u16string::npos) {
        if (const auto parent = reg.find(key.substr(0, cut)); parent != reg.end())
            std::erase_if(parent->second.children, [&](const std::u16string& child) {
                return lowered(child) == key.substr(cut + 1);
            });
    }
    return reg_ok;
}

} // namespace sys

} // namespace nimbic
