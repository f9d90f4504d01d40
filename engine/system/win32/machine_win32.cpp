// The seam's machine-wide calls on Windows: registry writes, free disk space, the named mutex that
// keeps one setup at a time, and starting and waiting for programs.
#include "engine/system/system.h"

#include "engine/system/win32/long_path.h"
#include "engine/system/win32/seam_win32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace nimbic::sys {

namespace {

HANDLE as_handle(mutex_handle held)
{
    return reinterpret_cast<HANDLE>(held);
}

// Owned by Administrators, open to Administrators and SYSTEM only: the wizard, its elevated
// copies and nimbic-deploy (run by an administrator or as SYSTEM by Windows Installer) share the
// mutex, and nobody else can take it to block them. Only a process with administrator rights may
// name Administrators as an owner, so the owner tells ours from one a standard user made first.
class MutexSecurity {
public:
    MutexSecurity()
    {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, &m_descriptor, nullptr)) {
            m_attributes.nLength = sizeof m_attributes;
            m_attributes.lpSecurityDescriptor = m_descriptor;
            m_attributes.bInheritHandle = FALSE;
        }
    }
    ~MutexSecurity() { LocalFree(m_descriptor); }
    MutexSecurity(const MutexSecurity&) = delete;
    MutexSecurity& operator=(const MutexSecurity&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
};

// Ours when Administrators or SYSTEM own it. A standard user who made the name first owns it
// themselves (or left it without an owner), whatever access list they gave it.
bool OwnedByAdministrators(HANDLE mutex)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool ours = owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                           IsWellKnownSid(owner, WinLocalSystemSid));
    LocalFree(descriptor);
    return ours;
}

// Opens or makes the mutex with the rights to wait, release and read its owner; not_ours when a
// mutex of that name exists that is not ours (or that we may not even open: ours never refuses
// Administrators).
lock_result OpenOurMutex(const std::u16string& name, HANDLE* mutex)
{
    static MutexSecurity security;
    *mutex = CreateMutexExW(security.attributes(), wide(name), 0,
                            SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL);
    if (!*mutex)
        return GetLastError() == ERROR_ACCESS_DENIED ? lock_result::not_ours : lock_result::failed;
    if (!OwnedByAdministrators(*mutex)) {
        CloseHandle(*mutex);
        *mutex = nullptr;
        return lock_result::not_ours;
    }
    return lock_result::acquired;
}

} // namespace

long reg_create_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key)
{
    HKEY made = nullptr;
    const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(sub_key), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &made, nullptr);
    *key = reinterpret_cast<reg_key>(made);
    return status;
}

long reg_set_string(reg_key key, const std::u16string& name, const std::u16string& data)
{
    return RegSetValueExW(as_hkey(key), wide(name), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(char16_t)));
}

long reg_set_dword(reg_key key, const std::u16string& name, uint32_t data)
{
    const DWORD value = data;
    return RegSetValueExW(as_hkey(key), wide(name), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value);
}

long reg_get_dword(reg_key key, const std::u16string& name, uint32_t* data)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status =
        RegGetValueW(as_hkey(key), nullptr, wide(name), RRF_RT_REG_DWORD, nullptr, &value, &size);
    *data = value;
    return status;
}

long reg_delete_local_machine_tree(const std::u16string& sub_key, uint32_t access)
{
    const size_t cut = sub_key.rfind(u'\\');
    if (cut == std::u16string::npos)
        return ERROR_INVALID_PARAMETER;
    HKEY parent = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(sub_key.substr(0, cut)), 0,
                                access | KEY_ALL_ACCESS, &parent);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegDeleteTreeW(parent, wide(sub_key.substr(cut + 1)));
    RegCloseKey(parent);
    return status;
}

bool free_disk_space(const std::u16string& folder, uint64_t* available)
{
    ULARGE_INTEGER free{};
    if (!GetDiskFreeSpaceExW(detail::file_path(folder).c_str(), &free, nullptr, nullptr))
        return false;
    *available = free.QuadPart;
    return true;
}

bool volume_root(const std::u16string& path, std::u16string* root)
{
    std::wstring buffer(path.size() + MAX_PATH + 1, L'\0');
    if (!GetVolumePathNameW(wide(path), buffer.data(), static_cast<DWORD>(buffer.size())))
        return false;
    buffer.resize(wcslen(buffer.c_str()));
    root->assign(buffer.begin(), buffer.end());
    return true;
}

lock_result lock_named_mutex(const std::u16string& name, uint32_t timeout_ms, mutex_handle* held)
{
    *held = invalid_mutex;
    HANDLE mutex = nullptr;
    const lock_result opened = OpenOurMutex(name, &mutex);
    if (opened != lock_result::acquired)
        return opened;
    switch (WaitForSingleObject(mutex, timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        *held = reinterpret_cast<mutex_handle>(mutex);
        return lock_result::acquired;
    case WAIT_TIMEOUT:
        CloseHandle(mutex);
        return lock_result::timed_out;
    default:
        CloseHandle(mutex);
        return lock_result::failed;
    }
}

void unlock_named_mutex(mutex_handle held)
{
    if (held == invalid_mutex)
        return;
    ReleaseMutex(as_handle(held));
    CloseHandle(as_handle(held));
}

bool named_mutex_exists(const std::u16string& name)
{
    HANDLE mutex = OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, wide(name));
    if (!mutex)
        return false;
    const bool ours = OwnedByAdministrators(mutex);
    CloseHandle(mutex);
    return ours;
}

uint32_t own_process_id()
{
    return GetCurrentProcessId();
}

bool start_program(const std::u16string& program, const std::u16string& arguments)
{
    std::wstring line = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
    if (!arguments.empty())
        line += L" " + std::wstring(arguments.begin(), arguments.end());
    // The new program starts in System32, never in a folder someone else could write to.
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(wide(program), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        length != 0 && length < MAX_PATH ? system : nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

bool wait_for_process_exit(uint32_t process_id, uint32_t timeout_ms)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process: it has ended
    const DWORD waited = WaitForSingleObject(process, timeout_ms);
    CloseHandle(process);
    return waited == WAIT_OBJECT_0;
}

bool system_temp_folder(std::u16string* path)
{
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const std::wstring folder = std::wstring(windows, length) + L"\\Temp";
    path->assign(folder.begin(), folder.end());
    return true;
}

} // namespace nimbic::sys
