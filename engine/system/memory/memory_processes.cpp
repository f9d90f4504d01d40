// The machine's other processes in memory, as the tests set them up: the named mutex another
// setup holds, the programs holding files, Windows Installer's products, free disk space, and the
// programs this one starts.
#include "engine/system/memory/memory_machine.h"

#include <algorithm>

namespace nimbic {

using namespace memsys::detail;

namespace {

constexpr uint64_t default_free_space = uint64_t{1} << 40;
constexpr uint32_t own_pid = 4242;

std::u16string VolumeOf(const std::u16string& path)
{
    const std::u16string resolved = resolve(path);
    return resolved.size() >= 2 ? lowered(resolved.substr(0, 2)) : std::u16string();
}

} // namespace

namespace memsys {

void set_free_space(const std::u16string& volume, uint64_t bytes)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.free_space[lowered(volume.substr(0, 2))] = bytes;
}

void set_file_holders(const std::u16string& path, std::vector<std::u16string> names)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto file = m.tree.find(normalise(path));
    if (file != m.tree.end())
        m.holders_by_file[file->second.id] = std::move(names);
    else
        m.holders[normalise(path)] = std::move(names);
}

void hold_mutex_elsewhere(const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    ++m.mutexes[lowered(name)];
}

void release_mutex_elsewhere(const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (m.mutexes[lowered(name)] > 0)
        --m.mutexes[lowered(name)];
}

void squat_mutex(const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.squatted_mutexes.insert(lowered(name));
}

void set_related_product(const std::u16string& upgrade_code, const std::u16string& product_code,
                         const std::u16string& install_location)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.related_products[lowered(upgrade_code)] = product_code;
    m.install_locations[lowered(product_code)] = install_location;
}

std::vector<std::u16string> started_programs()
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    return m.started;
}

} // namespace memsys

namespace sys {

bool free_disk_space(const std::u16string& folder, uint64_t* available)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string key = normalise(folder);
    if (faulted(m, memsys::op::disk_space, folder) || !folder_exists(m, key))
        return false;
    const auto found = m.free_space.find(VolumeOf(folder));
    *available = found == m.free_space.end() ? default_free_space : found->second;
    return true;
}

bool volume_root(const std::u16string& path, std::u16string* root)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const std::u16string resolved = resolve(path);
    if (faulted(m, memsys::op::disk_space, path) || resolved.size() < 2)
        return false;
    *root = resolved.substr(0, 2) + u"\\";
    return true;
}

lock_result lock_named_mutex(const std::u16string& name, uint32_t timeout_ms, mutex_handle* held)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    *held = invalid_mutex;
    if (m.squatted_mutexes.count(lowered(name)) != 0)
        return lock_result::not_ours;
    int& holders = m.mutexes[lowered(name)];
    if (holders > 0) {
        m.calls.push_back("WaitForSingleObject " + std::to_string(timeout_ms));
        return lock_result::timed_out;
    }
    ++holders;
    *held = m.next_handle++;
    m.held_mutexes[*held] = lowered(name);
    return lock_result::acquired;
}

void unlock_named_mutex(mutex_handle held)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.held_mutexes.find(held);
    if (found == m.held_mutexes.end())
        return;
    --m.mutexes[found->second];
    m.held_mutexes.erase(found);
}

bool named_mutex_exists(const std::u16string& name)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.mutexes.find(lowered(name));
    return m.squatted_mutexes.count(lowered(name)) == 0 && found != m.mutexes.end() &&
           found->second > 0;
}

uint32_t own_process_id()
{
    return own_pid;
}

bool start_program(const std::u16string& program, const std::u16string& arguments)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    if (faulted(m, memsys::op::start_program, program) || !m.tree.count(normalise(program)))
        return false;
    m.started.push_back(program + u" " + arguments);
    return true;
}

bool wait_for_process_exit(uint32_t process_id, uint32_t timeout_ms)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    m.calls.push_back("WaitForProcess " + std::to_string(process_id) + " " +
                      std::to_string(timeout_ms));
    return true;
}

bool system_temp_folder(std::u16string* path)
{
    *path = u"C:\\Windows\\Temp";
    return true;
}

std::vector<std::u16string> programs_using_files(const std::vector<std::u16string>& paths)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    std::vector<std::u16string> names;
    for (const std::u16string& path : paths) {
        const auto file = m.tree.find(normalise(path));
        const auto by_file = file == m.tree.end() ? m.holders_by_file.end()
                                                  : m.holders_by_file.find(file->second.id);
        const auto by_path = m.holders.find(normalise(path));
        const std::vector<std::u16string>* holders = nullptr;
        if (by_file != m.holders_by_file.end())
            holders = &by_file->second;
        else if (by_path != m.holders.end())
            holders = &by_path->second;
        if (!holders)
            continue;
        for (const std::u16string& name : *holders) {
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    return names;
}

bool related_product_installed(const std::u16string& upgrade_code, std::u16string* product_code)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.related_products.find(lowered(upgrade_code));
    if (found == m.related_products.end())
        return false;
    *product_code = found->second;
    return true;
}

bool product_install_location(const std::u16string& product_code, std::u16string* folder)
{
    Machine& m = machine();
    std::lock_guard guard(m.lock);
    const auto found = m.install_locations.find(lowered(product_code));
    if (found == m.install_locations.end() || found->second.empty())
        return false;
    *folder = found->second;
    return true;
}

} // namespace sys

} // namespace nimbic
