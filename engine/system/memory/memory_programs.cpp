// The running program and the other program files in memory: their resources, the program's
// own path, its elevation, the clock and the machine-wide data folder.
#include "engine/system/memory/memory_machine.h"

namespace nimbic {

using namespace memsys::detail;

namespace memsys {

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

} // namespace memsys

namespace sys {

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

bool common_app_data_folder(std::u16string* path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::known_folder))
        return false;
    *path = m.app_data;
    return true;
}

bool program_files_folder(std::u16string* path)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::known_folder))
        return false;
    *path = u"C:\\Program Files";
    return true;
}

} // namespace sys

} // namespace nimbic
