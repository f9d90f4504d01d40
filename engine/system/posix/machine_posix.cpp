// The seam's machine-wide calls for host tools on Linux: there is no registry to write, no other
// setup to wait for, no Restart Manager and no Windows Installer. Free space is the file system's.
#include "engine/system/system.h"
#include "engine/system/posix/local_path.h"

#include "toolkit/core/text_conversion.h"

#include <sys/statvfs.h>
#include <unistd.h>

namespace nimbic::sys {

namespace {

constexpr long error_not_supported = 50;

} // namespace

long reg_create_local_machine(const std::u16string&, uint32_t, reg_key* key)
{
    *key = 0;
    return error_not_supported;
}

long reg_set_string(reg_key, const std::u16string&, const std::u16string&)
{
    return error_not_supported;
}

long reg_set_dword(reg_key, const std::u16string&, uint32_t)
{
    return error_not_supported;
}

long reg_get_dword(reg_key, const std::u16string&, uint32_t* data)
{
    *data = 0;
    return reg_file_not_found;
}

long reg_delete_local_machine_tree(const std::u16string&, uint32_t)
{
    return reg_file_not_found;
}

bool free_disk_space(const std::u16string& folder, uint64_t* available)
{
    struct statvfs stats {};
    if (statvfs(local_path(folder).c_str(), &stats) != 0)
        return false;
    *available = static_cast<uint64_t>(stats.f_bavail) * stats.f_frsize;
    return true;
}

bool volume_root(const std::u16string&, std::u16string* root)
{
    *root = u"/";
    return true;
}

lock_result lock_named_mutex(const std::u16string&, uint32_t, mutex_handle* held)
{
    *held = 1;
    return lock_result::acquired;
}

void unlock_named_mutex(mutex_handle) {}

bool named_mutex_exists(const std::u16string&)
{
    return false;
}

uint32_t own_process_id()
{
    return static_cast<uint32_t>(getpid());
}

bool start_program(const std::u16string&, const std::u16string&)
{
    return false;
}

bool wait_for_process_exit(uint32_t, uint32_t)
{
    return true;
}

bool system_temp_folder(std::u16string* path)
{
    *path = u"/tmp";
    return true;
}

std::vector<std::u16string> programs_using_files(const std::vector<std::u16string>&)
{
    return {};
}

bool related_product_installed(const std::u16string&, std::u16string*)
{
    return false;
}

bool product_install_location(const std::u16string&, std::u16string*)
{
    return false;
}

} // namespace nimbic::sys
