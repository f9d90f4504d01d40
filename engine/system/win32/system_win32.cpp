// The engine's seam on Windows: exactly the Win32 calls the installer needs, nothing more.
#include "engine/system/system.h"

#include "engine/system/win32/long_path.h"
#include "engine/system/win32/seam_win32.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

namespace nimbic::sys {

namespace {

HMODULE as_module(module from)
{
    return from == own_program ? GetModuleHandleW(nullptr) : reinterpret_cast<HMODULE>(from);
}

remove_result removal(BOOL ok)
{
    if (ok)
        return remove_result::removed;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? remove_result::missing
                                                                          : remove_result::failed;
}

} // namespace

namespace detail {

// The form of a path the file calls take. Past the classic limits (MAX_PATH, and 248 for a
// folder to create) the "\\?\" form lifts them on every Windows, whatever the manifest says. That
// form reaches the file system as it stands, so GetFullPathNameW first does what the ordinary
// form would: resolves "." and "..", turns "/" into "\" and drops doubled separators.
std::wstring file_path(const std::u16string& path)
{
    std::wstring text(path.begin(), path.end());
    constexpr size_t short_enough = MAX_PATH - 12;
    if (text.size() < short_enough || text.starts_with(L"\\\\?\\") || text.starts_with(L"\\\\.\\"))
        return text;
    const DWORD needed = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return text;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(text.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return text;
    full.resize(length);
    if (full.starts_with(L"\\\\")) // \\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace detail

using detail::file_path;

bool is_wow64_process()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

long reg_open_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key)
{
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(sub_key), 0, access, &opened);
    *key = reinterpret_cast<reg_key>(opened);
    return status;
}

long reg_query_sub_key_count(reg_key key, uint32_t* count)
{
    DWORD sub_keys = 0;
    const LONG status =
        RegQueryInfoKeyW(as_hkey(key), nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr);
    *count = sub_keys;
    return status;
}

long reg_enum_key(reg_key key, uint32_t index, char16_t* name, uint32_t* length)
{
    DWORD chars = *length;
    const LONG status = RegEnumKeyExW(as_hkey(key), index, reinterpret_cast<wchar_t*>(name), &chars,
                                      nullptr, nullptr, nullptr, nullptr);
    *length = chars;
    return status;
}

long reg_get_string(reg_key key, const std::u16string& sub_key, const std::u16string& value,
                    char16_t* buffer, uint32_t* bytes)
{
    DWORD size = *bytes;
    // Never expanded: an elevated run must not let its caller's environment choose the folder.
    const LONG status = SHRegGetValueW(as_hkey(key), wide(sub_key), wide(value),
                                       SRRF_RT_REG_SZ | SRRF_NOEXPAND, nullptr, buffer, &size);
    *bytes = size;
    return status;
}

void reg_close(reg_key key)
{
    RegCloseKey(as_hkey(key));
}

module_result open_data_module(const std::u16string& path, module* opened)
{
    *opened = own_program;
    HMODULE loaded = LoadLibraryExW(file_path(path).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (loaded) {
        *opened = reinterpret_cast<module>(loaded);
        return module_result::opened;
    }
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return module_result::missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return module_result::unreadable;
    default:
        return module_result::not_a_program;
    }
}

void close_module(module opened)
{
    if (opened != own_program)
        FreeLibrary(reinterpret_cast<HMODULE>(opened));
}

resource find_resource(int id, module from)
{
    return reinterpret_cast<resource>(
        FindResourceW(as_module(from), MAKEINTRESOURCEW(id), RT_RCDATA));
}

uintptr_t load_resource(resource found, module from)
{
    return reinterpret_cast<uintptr_t>(
        LoadResource(as_module(from), reinterpret_cast<HRSRC>(found)));
}

const void* lock_resource(uintptr_t loaded)
{
    return LockResource(reinterpret_cast<HGLOBAL>(loaded));
}

uint32_t resource_size(resource found, module from)
{
    return SizeofResource(as_module(from), reinterpret_cast<HRSRC>(found));
}

bool own_program_path(std::u16string* path)
{
    // Long paths are real: grow until the name fits rather than trusting MAX_PATH.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return false;
        if (length < buffer.size()) {
            path->assign(reinterpret_cast<const char16_t*>(buffer.data()), length);
            return true;
        }
        if (buffer.size() >= 32768)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool is_elevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated;
}

local_clock local_time()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

path_kind kind_of(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(file_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return path_kind::missing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? path_kind::folder : path_kind::file;
}

read_result read_file_bytes(const std::u16string& path, size_t limit, std::string* bytes)
{
    bytes->clear();
    HANDLE file =
        CreateFileW(file_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? read_result::missing
                                                                              : read_result::failed;
    }
    char chunk[65536];
    bool ok = true;
    while (bytes->size() < limit) {
        const DWORD wanted =
            static_cast<DWORD>(std::min<size_t>(sizeof chunk, limit - bytes->size()));
        DWORD count = 0;
        if (!ReadFile(file, chunk, wanted, &count, nullptr)) {
            ok = false;
            break;
        }
        if (count == 0)
            break;
        bytes->append(chunk, count);
    }
    CloseHandle(file);
    return ok ? read_result::read : read_result::failed;
}

remove_result delete_file(const std::u16string& path)
{
    return removal(DeleteFileW(file_path(path).c_str()));
}

remove_result remove_directory(const std::u16string& path)
{
    return removal(RemoveDirectoryW(file_path(path).c_str()));
}

uint32_t reparse_tag(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(file_path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return 0;
    // FindFirstFileW names the entry itself, so a trailing separator must go.
    std::u16string entry = path;
    while (entry.size() > 3 && (entry.back() == u'\\' || entry.back() == u'/'))
        entry.pop_back();
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(file_path(entry).c_str(), &found);
    // A reparse point whose tag cannot be read counts as a link: refusing it is the safe side.
    if (search == INVALID_HANDLE_VALUE)
        return reparse_tag_symlink;
    FindClose(search);
    return found.dwReserved0;
}

dir_result create_directory(const std::u16string& path)
{
    if (CreateDirectoryW(file_path(path).c_str(), nullptr))
        return dir_result::created;
    switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
        return dir_result::already_exists;
    case ERROR_PATH_NOT_FOUND:
        return dir_result::parent_missing;
    default:
        return dir_result::failed;
    }
}

file_handle create_file(const std::u16string& path, share_mode share)
{
    const DWORD sharing = share == share_mode::none ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = CreateFileW(file_path(path).c_str(), GENERIC_WRITE, sharing, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return invalid_file;
    return reinterpret_cast<file_handle>(file);
}

bool write_file(file_handle file, const void* data, uint32_t size, uint32_t* written)
{
    DWORD count = 0;
    const BOOL ok = WriteFile(reinterpret_cast<HANDLE>(file), data, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

void close_file(file_handle file)
{
    CloseHandle(reinterpret_cast<HANDLE>(file));
}

bool flush_file(file_handle file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(file)) != FALSE;
}

bool replace_file(const std::u16string& from, const std::u16string& to)
{
    return MoveFileExW(file_path(from).c_str(), file_path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool set_file_times(const std::u16string& path, int64_t creation, int64_t last_write)
{
    HANDLE file =
        CreateFileW(file_path(path).c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    auto to_filetime = [](int64_t ticks) {
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
        time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
        return time;
    };
    const FILETIME created = to_filetime(creation);
    const FILETIME written = to_filetime(last_write);
    const BOOL ok = SetFileTime(file, &created, nullptr, &written);
    CloseHandle(file);
    return ok != FALSE;
}

bool common_app_data_folder(std::u16string* path)
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return false;
    path->assign(reinterpret_cast<const char16_t*>(buffer));
    return true;
}

bool program_files_folder(std::u16string* path)
{
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return false;
    path->assign(reinterpret_cast<const char16_t*>(buffer));
    return true;
}

} // namespace nimbic::sys
