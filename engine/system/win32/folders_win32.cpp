// Files reached through opened folders on Windows: children opened with NtCreateFile relative to
// the folder's handle, renamed and deleted by handle, and the final path of every handle compared
// with the path meant. Wine 8 lacks the Ex classes of rename and delete (STATUS_NOT_IMPLEMENTED)
// and opens straight through a symbolic link even when asked not to, so the classic classes are
// the fallback and the final path is what catches links there.
#include "engine/system/system.h"

#include "engine/system/win32/long_path.h"

#include <windows.h>
#include <aclapi.h>
#include <ntsecapi.h>
#include <sddl.h>
#include <winternl.h>

#include <cstddef>
#include <memory>

namespace nimbic::sys {

namespace {

// NTSTATUS values as ntstatus.h spells them (that header cannot be included beside windows.h).
constexpr NTSTATUS status_not_implemented = static_cast<NTSTATUS>(0xC0000002);
constexpr NTSTATUS status_invalid_info_class = static_cast<NTSTATUS>(0xC0000003);
constexpr NTSTATUS status_invalid_parameter = static_cast<NTSTATUS>(0xC000000D);
constexpr NTSTATUS status_invalid_device_request = static_cast<NTSTATUS>(0xC0000010);
constexpr NTSTATUS status_access_denied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS status_name_not_found = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS status_name_collision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS status_path_not_found = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS status_sharing_violation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS status_invalid_owner = static_cast<NTSTATUS>(0xC000005A);
constexpr NTSTATUS status_not_supported = static_cast<NTSTATUS>(0xC00000BB);
constexpr NTSTATUS status_cannot_delete = static_cast<NTSTATUS>(0xC0000121);
constexpr NTSTATUS status_directory_not_empty = static_cast<NTSTATUS>(0xC0000101);

// Information classes and flags of NtSetInformationFile, as the driver kit names them.
constexpr ULONG file_rename_information = 10;
constexpr ULONG file_disposition_information = 13;
constexpr ULONG file_disposition_information_ex = 64;
constexpr ULONG file_rename_information_ex = 65;
constexpr ULONG rename_replace_if_exists = 0x1;
constexpr ULONG rename_posix_semantics = 0x2;
constexpr ULONG rename_ignore_readonly = 0x40;
constexpr ULONG disposition_delete = 0x1;
constexpr ULONG disposition_posix_semantics = 0x2;
constexpr ULONG disposition_ignore_readonly = 0x10;
constexpr ULONG_PTR file_created = 2;

// The open and create options of NtCreateFile.
constexpr ULONG option_directory = 0x00000001;
constexpr ULONG option_synchronous = 0x00000020;
constexpr ULONG option_non_directory = 0x00000040;
constexpr ULONG option_open_reparse_point = 0x00200000;
constexpr ULONG disposition_open = 1;
constexpr ULONG disposition_create = 2;
constexpr ULONG disposition_open_if = 3;

using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                          PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                          ULONG, PVOID, ULONG);
using NtSetInformationFileCall = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

// ntdll is in every process; its exports are looked up rather than imported.
template <typename Call> Call NtCall(const char* name)
{
    return reinterpret_cast<Call>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

const auto nt_create_file = NtCall<NtCreateFileCall>("NtCreateFile");
const auto nt_set_information_file = NtCall<NtSetInformationFileCall>("NtSetInformationFile");

constexpr ACCESS_MASK folder_access =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Others may read and add to a folder we hold, but not rename or delete it under us.
constexpr ULONG folder_sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG everything_shared = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The Ex classes are missing before Windows 10 (and in Wine 8), and file systems other than NTFS
// (FAT32, exFAT, SMB shares) refuse them in ways of their own: each of these means "ask again
// with the classic class".
bool ExClassRefused(NTSTATUS status)
{
    return status == status_not_implemented || status == status_invalid_info_class ||
           status == status_invalid_parameter || status == status_invalid_device_request ||
           status == status_not_supported;
}

// Clears FILE_ATTRIBUTE_READONLY through the handle (which must allow writing attributes), as
// the classic classes need before they delete or replace such a file; `earlier` is for putting
// it back. False when the file was not read-only or the attribute cannot be changed.
bool ClearReadOnly(HANDLE handle, DWORD* earlier)
{
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return false;
    *earlier = basic.FileAttributes;
    // Zero times leave the times alone; zero attributes would too, so NORMAL stands for none.
    FILE_BASIC_INFO cleared{};
    cleared.FileAttributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (cleared.FileAttributes == 0)
        cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &cleared, sizeof cleared) != FALSE;
}

void RestoreAttributes(HANDLE handle, DWORD attributes)
{
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

// A folder the seam opened: its handle and the path it leads to, as the final path shows it.
struct Folder {
    HANDLE handle;
    std::wstring path;
};

Folder* AsFolder(folder_handle folder)
{
    return reinterpret_cast<Folder*>(folder);
}

HANDLE AsHandle(file_handle file)
{
    return reinterpret_cast<HANDLE>(file);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share" as "\\server\share", and no trailing "\" but a
// drive's own ("C:\").
std::wstring PlainPath(std::wstring path)
{
    if (path.starts_with(L"\\\\?\\UNC\\"))
        path = L"\\\\" + path.substr(8);
    else if (path.starts_with(L"\\\\?\\"))
        path = path.substr(4);
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// The object's own name, as Wine gives it ("\??\C:\..."), for paths longer than Wine's
// GetFinalPathNameByHandleW can hold (it asks with a buffer of MAX_PATH characters). Windows
// names a device there, which no path we mean matches; but Windows has no such limit.
std::wstring ObjectName(HANDLE handle)
{
    using NtQueryObjectCall = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    static const auto query = NtCall<NtQueryObjectCall>("NtQueryObject");
    constexpr ULONG object_name_information = 1;
    if (!query)
        return {};
    std::unique_ptr<std::byte[]> buffer(new std::byte[65536 + sizeof(UNICODE_STRING)]);
    ULONG needed = 0;
    if (query(handle, object_name_information, buffer.get(), 65536, &needed) < 0)
        return {};
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer.get());
    const std::wstring text(name->Buffer, name->Length / sizeof(wchar_t));
    if (!text.starts_with(L"\\??\\"))
        return {};
    return PlainPath(L"\\\\?\\" + text.substr(4));
}

std::wstring FinalPath(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(
            handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return ObjectName(handle);
        if (length < path.size()) {
            path.resize(length);
            return PlainPath(path);
        }
        path.resize(length + 1);
    }
    return {};
}

std::wstring Join(const std::wstring& folder, std::u16string_view name)
{
    std::wstring joined = folder;
    if (joined.empty() || joined.back() != L'\\')
        joined += L'\\';
    joined.append(name.begin(), name.end());
    return joined;
}

// The path meant, as a final path would show it: whole, long names for short ones.
std::wstring MeantPath(const std::u16string& path)
{
    const std::wstring given = detail::file_path(path);
    std::wstring full(GetFullPathNameW(given.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length =
        GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return PlainPath(given);
    full.resize(length);
    std::wstring long_form(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
    const DWORD long_length =
        GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
    if (long_length == 0 || long_length >= long_form.size())
        return PlainPath(full);
    long_form.resize(long_length);
    return PlainPath(long_form);
}

// A symbolic link, junction or mount point the handle was opened on (not through).
bool OnLink(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return true;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && is_name_surrogate(tag.ReparseTag);
}

bool OnReparsePoint(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsFolder(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where an opened handle leads: the path meant, not through a link; else it is closed.
open_result Verified(HANDLE handle, const std::wstring& meant)
{
    if (OnLink(handle) || !SamePath(FinalPath(handle), meant)) {
        CloseHandle(handle);
        return open_result::redirected;
    }
    return open_result::opened;
}

open_result FromStatus(NTSTATUS status)
{
    switch (status) {
    case status_name_not_found:
    case status_path_not_found:
        return open_result::missing;
    case status_name_collision:
        return open_result::exists;
    case status_sharing_violation:
        return open_result::held;
    case status_access_denied:
        return open_result::denied;
    default:
        return open_result::failed;
    }
}

bool IsOneComponent(std::u16string_view name)
{
    return !name.empty() && name != u"." && name != u".." &&
           name.find_first_of(u"\\/:") == std::u16string_view::npos;
}

struct Opened {
    NTSTATUS status;
    HANDLE handle;
    ULONG_PTR information;
};

Opened OpenRelative(HANDLE root, std::u16string_view name, ACCESS_MASK access, ULONG sharing,
                    ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR descriptor = nullptr)
{
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(reinterpret_cast<const wchar_t*>(name.data()));
    text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, descriptor);
    // A name that turns out to be a pipe's server may identify us, never act as us.
    SECURITY_QUALITY_OF_SERVICE quality{};
    quality.Length = sizeof quality;
    quality.ImpersonationLevel = SecurityIdentification;
    quality.ContextTrackingMode = SECURITY_STATIC_TRACKING;
    quality.EffectiveOnly = TRUE;
    attributes.SecurityQualityOfService = &quality;
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    if (!nt_create_file || name.size() > 32767)
        return {status_invalid_parameter, nullptr, 0};
    const NTSTATUS status = nt_create_file(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                           FILE_ATTRIBUTE_NORMAL, sharing, disposition,
                                           options | option_synchronous, nullptr, 0);
    return {status, status >= 0 ? handle : nullptr, io.Information};
}

// Opens an existing child, never through a link. A reparse point that is no link (a OneDrive
// placeholder, a deduplicated file) is opened again without FILE_OPEN_REPARSE_POINT, so that
// its data is what the file system shows everyone.
open_result OpenExistingChild(Folder& folder, std::u16string_view name, ACCESS_MASK access,
                              ULONG sharing, ULONG kind, HANDLE* handle)
{
    *handle = nullptr;
    if (!IsOneComponent(name))
        return open_result::failed;
    Opened opened = OpenRelative(folder.handle, name, access, sharing, disposition_open,
                                 kind | option_open_reparse_point);
    if (opened.status < 0)
        return FromStatus(opened.status);
    if (!OnLink(opened.handle) && OnReparsePoint(opened.handle)) {
        CloseHandle(opened.handle);
        opened = OpenRelative(folder.handle, name, access, sharing, disposition_open, kind);
        if (opened.status < 0)
            return FromStatus(opened.status);
    }
    const open_result verified = Verified(opened.handle, Join(folder.path, name));
    if (verified == open_result::opened)
        *handle = opened.handle;
    return verified;
}

folder_handle NewFolder(HANDLE handle, std::wstring path)
{
    return reinterpret_cast<folder_handle>(new Folder{handle, std::move(path)});
}

// Owner Administrators, no access list: the list is inherited from the parent as for any
// folder made there, and the owner is one a standard user cannot take over.
struct AdministratorsOwned {
    AdministratorsOwned()
    {
        DWORD size = sizeof sid;
        ready = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
                SetSecurityDescriptorOwner(&descriptor, sid, FALSE);
    }
    SECURITY_DESCRIPTOR descriptor{};
    alignas(SID) BYTE sid[SECURITY_MAX_SID_SIZE]{};
    bool ready = false;
};

// A descriptor given whole to the call that makes a folder, so that no moment passes with the
// parent's list.
struct SddlDescriptor {
    explicit SddlDescriptor(const wchar_t* sddl)
    {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                             nullptr);
    }
    SddlDescriptor(const SddlDescriptor&) = delete;
    SddlDescriptor& operator=(const SddlDescriptor&) = delete;
    ~SddlDescriptor() { LocalFree(descriptor); }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool IsOwnUser(PSID owner)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    const bool same = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                      EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner);
    CloseHandle(token);
    return same;
}

} // namespace

open_result open_folder(const std::u16string& path, folder_handle* folder)
{
    *folder = invalid_folder;
    const std::wstring meant = MeantPath(path);
    // A link on the way that the final path might not show: a volume mounted in a folder.
    for (size_t cut = meant.find(L'\\', 3); cut != std::wstring::npos;
         cut = meant.find(L'\\', cut + 1)) {
        const std::wstring prefix = meant.substr(0, cut);
        if (is_link(std::u16string(prefix.begin(), prefix.end())))
            return open_result::redirected;
    }
    const std::wstring opened_path = detail::file_path(std::u16string(meant.begin(), meant.end()));
    auto open = [&](DWORD flags) {
        return CreateFileW(opened_path.c_str(), folder_access, folder_sharing, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    };
    HANDLE handle = open(FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle != INVALID_HANDLE_VALUE && !OnLink(handle) && OnReparsePoint(handle)) {
        CloseHandle(handle);
        handle = open(0);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return open_result::missing;
        case ERROR_ACCESS_DENIED:
            return open_result::denied;
        case ERROR_SHARING_VIOLATION:
            return open_result::held;
        default:
            return open_result::failed;
        }
    }
    if (!IsFolder(handle)) {
        CloseHandle(handle);
        return open_result::failed;
    }
    const open_result verified = Verified(handle, meant);
    if (verified == open_result::opened)
        *folder = NewFolder(handle, meant);
    return verified;
}

open_result open_child_folder(folder_handle parent, std::u16string_view name,
                              folder_creation creation, folder_handle* child, bool* created)
{
    *child = invalid_folder;
    *created = false;
    Folder& from = *AsFolder(parent);
    HANDLE handle = nullptr;
    if (creation == folder_creation::create_private) {
        // Owner Administrators and a protected list, inherited by what is made inside: nobody
        // but Administrators and SYSTEM may add a file there.
        static const SddlDescriptor secured(L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        if (!secured.descriptor)
            return open_result::failed;
        const Opened made =
            OpenRelative(from.handle, name, folder_access, folder_sharing, disposition_create,
                         option_directory | option_open_reparse_point, secured.descriptor);
        if (made.status < 0)
            return FromStatus(made.status);
        *created = true;
        const open_result verified = Verified(made.handle, Join(from.path, name));
        if (verified == open_result::opened)
            *child = NewFolder(made.handle, Join(from.path, name));
        return verified;
    }
    open_result result =
        OpenExistingChild(from, name, folder_access, folder_sharing, option_directory, &handle);
    if (result == open_result::missing && creates(creation)) {
        static const AdministratorsOwned owned;
        // Protected (nothing inherited): SYSTEM and Administrators full control, Users read,
        // Administrators the owner.
        static const SddlDescriptor locked(
            L"O:BAG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)");
        SECURITY_DESCRIPTOR* descriptor =
            creation == folder_creation::create_locked_if_missing && locked.descriptor
                ? static_cast<SECURITY_DESCRIPTOR*>(locked.descriptor)
            : owned.ready ? const_cast<SECURITY_DESCRIPTOR*>(&owned.descriptor)
                          : nullptr;
        Opened made =
            OpenRelative(from.handle, name, folder_access, folder_sharing, disposition_create,
                         option_directory | option_open_reparse_point, descriptor);
        // Only an elevated process may name Administrators as the owner.
        if (made.status == status_invalid_owner)
            made = OpenRelative(from.handle, name, folder_access, folder_sharing,
                                disposition_create, option_directory | option_open_reparse_point);
        if (made.status < 0)
            return FromStatus(made.status);
        *created = made.information == file_created;
        handle = made.handle;
        result = Verified(handle, Join(from.path, name));
    }
    if (result == open_result::opened)
        *child = NewFolder(handle, Join(from.path, name));
    return result;
}

void close_folder(folder_handle folder)
{
    if (folder == invalid_folder)
        return;
    std::unique_ptr<Folder> owned(AsFolder(folder));
    CloseHandle(owned->handle);
}

namespace {

bool HasAdministratorOwner(HANDLE handle)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    PSID installer = nullptr;
    ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                           &installer);
    // Wine keeps no owners: every file shows the user the prefix runs as.
    const bool trusted = IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                         IsWellKnownSid(owner, WinLocalSystemSid) ||
                         (installer && EqualSid(owner, installer)) ||
                         (RunningUnderWine() && IsOwnUser(owner));
    LocalFree(installer);
    LocalFree(descriptor);
    return trusted;
}

} // namespace

bool has_administrator_owner(folder_handle folder)
{
    return HasAdministratorOwner(AsFolder(folder)->handle);
}

bool file_has_administrator_owner(file_handle file)
{
    return HasAdministratorOwner(AsHandle(file));
}

open_result create_child_file(folder_handle folder, std::u16string_view name, file_handle* file)
{
    *file = invalid_file;
    Folder& in = *AsFolder(folder);
    if (!IsOneComponent(name))
        return open_result::failed;
    const Opened made =
        OpenRelative(in.handle, name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, disposition_create,
                     option_non_directory | option_open_reparse_point);
    if (made.status < 0)
        return FromStatus(made.status);
    const open_result verified = Verified(made.handle, Join(in.path, name));
    if (verified == open_result::opened)
        *file = reinterpret_cast<file_handle>(made.handle);
    return verified;
}

open_result open_child_file(folder_handle folder, std::u16string_view name, child_access access,
                            file_handle* file)
{
    *file = invalid_file;
    ACCESS_MASK wanted = GENERIC_READ;
    ULONG sharing = everything_shared;
    switch (access) {
    case child_access::read:
        break;
    case child_access::remove:
        // Writing attributes too: the classic delete and replace need read-only cleared first.
        wanted = GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES;
        sharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
        break;
    case child_access::append:
        // FlushFileBuffers wants write access, not only the right to append: the journal's
        // handle writes at the end because it starts there and nobody else may write.
        wanted = GENERIC_WRITE;
        sharing = FILE_SHARE_READ;
        break;
    case child_access::overwrite:
        // Windows checks an image in use against FILE_WRITE_DATA: a sharing violation.
        wanted = FILE_WRITE_DATA;
        break;
    }
    HANDLE handle = nullptr;
    open_result result =
        OpenExistingChild(*AsFolder(folder), name, wanted, sharing, option_non_directory, &handle);
    // An access list may grant deletion and not attributes; only a read-only file needs them.
    if (result == open_result::denied && access == child_access::remove)
        result = OpenExistingChild(*AsFolder(folder), name, wanted & ~FILE_WRITE_ATTRIBUTES,
                                   sharing, option_non_directory, &handle);
    if (result != open_result::opened)
        return result;
    LARGE_INTEGER end{};
    if (access == child_access::append && !SetFilePointerEx(handle, end, nullptr, FILE_END)) {
        CloseHandle(handle);
        return open_result::failed;
    }
    *file = reinterpret_cast<file_handle>(handle);
    return result;
}

bool read_opened(file_handle file, size_t limit, std::string* bytes)
{
    bytes->clear();
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(AsHandle(file), start, nullptr, FILE_BEGIN))
        return false;
    char chunk[65536];
    while (bytes->size() < limit) {
        const DWORD wanted =
            static_cast<DWORD>(std::min<size_t>(sizeof chunk, limit - bytes->size()));
        DWORD count = 0;
        if (!ReadFile(AsHandle(file), chunk, wanted, &count, nullptr))
            return false;
        if (count == 0)
            break;
        bytes->append(chunk, count);
    }
    return true;
}

bool set_times(file_handle file, int64_t creation, int64_t last_write)
{
    auto to_filetime = [](int64_t ticks) {
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
        time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
        return time;
    };
    const FILETIME created = to_filetime(creation);
    const FILETIME written = to_filetime(last_write);
    return SetFileTime(AsHandle(file), &created, nullptr, &written) != FALSE;
}

open_result rename_opened(file_handle file, folder_handle folder, std::u16string_view name,
                          rename_mode mode)
{
    Folder& in = *AsFolder(folder);
    if (!IsOneComponent(name) || !nt_set_information_file)
        return open_result::failed;
    // FILE_RENAME_INFORMATION: flags (or the BOOLEAN ReplaceIfExists), the folder the name is
    // relative to, and the name.
    struct RenameHead {
        ULONG flags;
        HANDLE root;
        ULONG name_bytes;
    };
    const size_t name_offset = offsetof(FILE_RENAME_INFO, FileName);
    const size_t size = name_offset + name.size() * sizeof(wchar_t);
    std::unique_ptr<std::byte[]> buffer(new std::byte[size + sizeof(wchar_t)]());
    auto* head = reinterpret_cast<RenameHead*>(buffer.get());
    const bool replace = mode == rename_mode::replace_existing;
    head->flags =
        replace ? rename_replace_if_exists | rename_posix_semantics | rename_ignore_readonly : 0;
    head->root = in.handle;
    head->name_bytes = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), reinterpret_cast<char16_t*>(buffer.get() + name_offset));
    IO_STATUS_BLOCK io{};
    NTSTATUS status = nt_set_information_file(AsHandle(file), &io, buffer.get(),
                                              static_cast<ULONG>(size), file_rename_information_ex);
    if (ExClassRefused(status)) {
        head->flags = replace ? 1 : 0;
        auto classic = [&] {
            return nt_set_information_file(AsHandle(file), &io, buffer.get(),
                                           static_cast<ULONG>(size), file_rename_information);
        };
        status = classic();
        // The classic class will not replace a read-only file: clear it through a handle of its
        // own (never through a link), and put it back if the rename still fails.
        HANDLE target = nullptr;
        DWORD earlier = 0;
        if (status == status_access_denied && replace &&
            OpenExistingChild(in, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              everything_shared, option_non_directory,
                              &target) == open_result::opened) {
            const bool cleared = ClearReadOnly(target, &earlier);
            // Windows will not replace a file while any handle is open on it.
            CloseHandle(target);
            if (cleared)
                status = classic();
            if (cleared && status < 0 &&
                OpenExistingChild(in, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                  everything_shared, option_non_directory,
                                  &target) == open_result::opened) {
                RestoreAttributes(target, earlier);
                CloseHandle(target);
            }
        }
    }
    if (status < 0)
        return FromStatus(status);
    return SamePath(FinalPath(AsHandle(file)), Join(in.path, name)) ? open_result::opened
                                                                    : open_result::redirected;
}

bool delete_opened(file_handle file)
{
    if (!nt_set_information_file)
        return false;
    IO_STATUS_BLOCK io{};
    ULONG flags = disposition_delete | disposition_posix_semantics | disposition_ignore_readonly;
    NTSTATUS status = nt_set_information_file(AsHandle(file), &io, &flags, sizeof flags,
                                              file_disposition_information_ex);
    if (!ExClassRefused(status))
        return status >= 0;
    BOOLEAN remove = TRUE;
    auto classic = [&] {
        return nt_set_information_file(AsHandle(file), &io, &remove, sizeof remove,
                                       file_disposition_information);
    };
    status = classic();
    // A read-only file and a module in use both refuse so; only the first is ours to change.
    DWORD earlier = 0;
    if (status == status_cannot_delete && ClearReadOnly(AsHandle(file), &earlier)) {
        status = classic();
        if (status < 0)
            RestoreAttributes(AsHandle(file), earlier);
    }
    return status >= 0;
}

remove_result remove_child_folder(folder_handle parent, std::u16string_view name)
{
    HANDLE handle = nullptr;
    const open_result opened = OpenExistingChild(
        *AsFolder(parent), name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
        everything_shared, option_directory, &handle);
    if (opened == open_result::missing)
        return remove_result::missing;
    if (opened != open_result::opened)
        return remove_result::failed;
    const bool removed = delete_opened(reinterpret_cast<file_handle>(handle));
    CloseHandle(handle);
    return removed ? remove_result::removed : remove_result::failed;
}

bool list_children(folder_handle folder, std::vector<std::u16string>* names)
{
    names->clear();
    alignas(FILE_ID_BOTH_DIR_INFO) std::byte buffer[16384];
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(AsFolder(folder)->handle, kind, buffer, sizeof buffer))
            return GetLastError() == ERROR_NO_MORE_FILES;
        kind = FileIdBothDirectoryInfo;
        for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(buffer);;
             entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<std::byte*>(entry) +
                                                              entry->NextEntryOffset)) {
            const std::u16string name(reinterpret_cast<const char16_t*>(entry->FileName),
                                      entry->FileNameLength / sizeof(wchar_t));
            if (name != u"." && name != u"..")
                names->push_back(name);
            if (entry->NextEntryOffset == 0)
                break;
        }
    }
}

bool full_path(const std::u16string& path, std::u16string* whole)
{
    const std::wstring meant = MeantPath(path);
    whole->assign(meant.begin(), meant.end());
    return !meant.empty();
}

void random_bytes(void* data, size_t size)
{
    RtlGenRandom(data, static_cast<ULONG>(size));
}

bool delete_at_restart(const std::u16string& path)
{
    return MoveFileExW(detail::file_path(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) !=
           FALSE;
}

bool enter_system_folder()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length != 0 && length < MAX_PATH && SetCurrentDirectoryW(system);
}

} // namespace nimbic::sys
