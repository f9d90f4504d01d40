// The engine's only way to the operating system: registry, module resources, files, folders.
// One header, three implementations chosen at link time: win32 (the real calls), posix (host
// tools, backslash paths mapped onto the local file system) and memory (tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic::sys {

// Registry access masks, as Windows spells them.
constexpr uint32_t key_read = 0x20019;
constexpr uint32_t key_wow64_64key = 0x0100;

// Registry results the engine tells apart; any other non-zero value is some failure.
constexpr long reg_ok = 0;
constexpr long reg_file_not_found = 2;
constexpr long reg_more_data = 234;

using reg_key = uintptr_t;
using resource = uintptr_t;
using file_handle = uintptr_t;
constexpr file_handle invalid_file = ~uintptr_t{0};

bool is_wow64_process();

// RegOpenKeyExW on HKEY_LOCAL_MACHINE with options 0.
long reg_open_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key);
// RegQueryInfoKeyW asking only for the sub-key count.
long reg_query_sub_key_count(reg_key key, uint32_t* count);
// RegEnumKeyExW: `length` is the buffer size in characters, terminator included, on the way in
// and the name's length without it on the way out.
long reg_enum_key(reg_key key, uint32_t index, char16_t* name, uint32_t* length);
// SHRegGetValueW with SRRF_RT_REG_SZ: `bytes` is the whole buffer size in bytes.
long reg_get_string(reg_key key, const std::u16string& sub_key, const std::u16string& value,
                    char16_t* buffer, uint32_t* bytes);
void reg_close(reg_key key);

// A program file whose resources are read; 0 stands for the running program itself.
using module = uintptr_t;
constexpr module own_program = 0;

enum class module_result { opened, missing, unreadable, not_a_program };
// LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE: the file is
// mapped for its resources only, so none of its code runs, whatever program it is.
module_result open_data_module(const std::u16string& path, module* opened);
void close_module(module opened);

// RT_RCDATA resources of `from`; 0 means not found / failed.
resource find_resource(int id, module from = own_program);
uintptr_t load_resource(resource found, module from = own_program);
const void* lock_resource(uintptr_t loaded);
uint32_t resource_size(resource found, module from = own_program);

// GetModuleFileNameW for the running program; false on failure.
bool own_program_path(std::u16string* path);
// True when the process holds an elevated (administrator) token.
bool is_elevated();

struct local_clock {
    int year, month, day, hour, minute, second;
};
// GetLocalTime.
local_clock local_time();

// Reparse tags as Windows spells them. Only name-surrogate tags (bit 29: symbolic links,
// junctions, mount points) lead somewhere else; cloud placeholders (OneDrive), deduplicated and
// compressed (WOF) files carry tags too, and are ordinary files and folders.
constexpr uint32_t reparse_tag_mount_point = 0xA0000003;
constexpr uint32_t reparse_tag_symlink = 0xA000000C;
constexpr uint32_t reparse_tag_dedup = 0x80000013;
constexpr uint32_t reparse_tag_wof = 0x80000017;
constexpr uint32_t reparse_tag_cloud = 0x9000001A;

constexpr bool is_name_surrogate(uint32_t tag)
{
    return (tag & 0x20000000) != 0;
}

// The reparse tag of the path itself (FindFirstFileW's dwReserved0), not of what it leads to;
// 0 for anything that is no reparse point, missing paths included.
uint32_t reparse_tag(const std::u16string& path);

// True when the path is a symbolic link, junction or mount point, which the other file calls
// would follow.
inline bool is_link(const std::u16string& path)
{
    return is_name_surrogate(reparse_tag(path));
}

enum class path_kind { missing, file, folder };
// GetFileAttributesW; anything that cannot be asked about counts as missing.
path_kind kind_of(const std::u16string& path);

enum class read_result { read, missing, failed };
// Opens for reading, sharing reads and writes, and reads at most `limit` bytes into `bytes`.
read_result read_file_bytes(const std::u16string& path, size_t limit, std::string* bytes);

enum class remove_result { removed, missing, failed };
// DeleteFileW.
remove_result delete_file(const std::u16string& path);
// RemoveDirectoryW, which refuses a folder that is not empty.
remove_result remove_directory(const std::u16string& path);

enum class dir_result { created, already_exists, parent_missing, failed };
// CreateDirectoryW, one level, no security attributes.
dir_result create_directory(const std::u16string& path);

enum class share_mode { none, read_write };
// CreateFileW with GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL.
file_handle create_file(const std::u16string& path, share_mode share);
// WriteFile; false when the call failed. `written` is what actually reached the file.
bool write_file(file_handle file, const void* data, uint32_t size, uint32_t* written);
void close_file(file_handle file);
// FlushFileBuffers: the bytes are on the disk before the file replaces anything.
bool flush_file(file_handle file);
// MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH: `to` becomes `from` in one
// step, or stays as it was. It fails while another program holds `to` open without sharing
// deletion, as a running host holds its plug-ins.
bool replace_file(const std::u16string& from, const std::u16string& to);

// Opens with FILE_WRITE_ATTRIBUTES and sets creation and last-write times (100 ns units since
// 1601-01-01 UTC); the last-access time is left alone. False when either step failed.
bool set_file_times(const std::u16string& path, int64_t creation, int64_t last_write);

// SHGetFolderPathW(CSIDL_COMMON_APPDATA, SHGFP_TYPE_CURRENT); false on failure.
bool common_app_data_folder(std::u16string* path);
// SHGetFolderPathW(CSIDL_PROGRAM_FILES, SHGFP_TYPE_CURRENT): the 64-bit Program Files folder
// for a 64-bit program; false on failure.
bool program_files_folder(std::u16string* path);

// RegCreateKeyExW on HKEY_LOCAL_MACHINE: opens the key, making it (and any missing key above it)
// when it is not there.
long reg_create_local_machine(const std::u16string& sub_key, uint32_t access, reg_key* key);
// RegSetValueExW with REG_SZ and REG_DWORD.
long reg_set_string(reg_key key, const std::u16string& name, const std::u16string& data);
long reg_set_dword(reg_key key, const std::u16string& name, uint32_t data);
// RegGetValueW with RRF_RT_REG_DWORD on a value of the open key itself.
long reg_get_dword(reg_key key, const std::u16string& name, uint32_t* data);
// RegDeleteTreeW: the key below HKEY_LOCAL_MACHINE with everything in it, in the view `access`
// names (key_wow64_64key); deleting a key that is not there is reg_file_not_found.
long reg_delete_local_machine_tree(const std::u16string& sub_key, uint32_t access);

constexpr uint32_t key_all_access = 0xF003F;

// ---------------------------------------------------------------------------------------------
// Disks.

// GetDiskFreeSpaceExW: the bytes this process may still write on the volume that holds the
// existing folder `folder` (its quota included).
bool free_disk_space(const std::u16string& folder, uint64_t* available);
// GetVolumePathNameW: the root of the volume `path` lies on ("C:\", "\\server\share\",
// or a folder a volume is mounted in).
bool volume_root(const std::u16string& path, std::u16string* root);

// ---------------------------------------------------------------------------------------------
// Processes: one setup at a time, and the programs that hold a file.

using mutex_handle = uintptr_t;
constexpr mutex_handle invalid_mutex = 0;

enum class lock_result {
    acquired,
    timed_out,
    failed,
    // A mutex of that name that is not ours: owned by someone other than Administrators or
    // SYSTEM, or closed to Administrators. A standard user can make one first; it proves nothing
    // and must block nothing, so the caller goes on alone (nothing is held).
    not_ours,
};
// CreateMutexW (not owned at first) with Administrators as its owner and an access list of
// Administrators and SYSTEM, then WaitForSingleObject for at most `timeout_ms`. A mutex its last
// owner left without releasing it (a process that was killed) is acquired too.
lock_result lock_named_mutex(const std::u16string& name, uint32_t timeout_ms, mutex_handle* held);
// ReleaseMutex and CloseHandle.
void unlock_named_mutex(mutex_handle held);
// True while a mutex of ours with that name exists (one that is not ours does not count). Only
// an administrator's process can tell: for others it is always false.
bool named_mutex_exists(const std::u16string& name);

// GetCurrentProcessId.
uint32_t own_process_id();
// CreateProcessW: the program with `arguments` after its quoted path, inheriting no handles.
bool start_program(const std::u16string& program, const std::u16string& arguments);
// Waits until the process has ended: true once it has (or when there is no such process), false
// when `timeout_ms` passed first.
bool wait_for_process_exit(uint32_t process_id, uint32_t timeout_ms);
// The Windows folder's Temp folder (GetWindowsDirectoryW + "\Temp"), where only administrators
// may change what they made; false on failure.
bool system_temp_folder(std::u16string* path);

// The Restart Manager's names (RmGetList's strAppName) of the programs that have any of the files
// open, each once; empty when nobody is found or the Restart Manager cannot be asked. rstrtmgr.dll
// is loaded from System32 on the first call.
std::vector<std::u16string> programs_using_files(const std::vector<std::u16string>& paths);

// MsiEnumRelatedProductsW (msi.dll from System32, loaded on the first call): true when Windows
// Installer has a product with this upgrade code ("{...}") installed; its product code then goes
// to `product_code`.
bool related_product_installed(const std::u16string& upgrade_code, std::u16string* product_code);
// MsiGetProductInfoW with INSTALLPROPERTY_INSTALLLOCATION: the folder the product was installed
// in (ARPINSTALLLOCATION), without a "\" at its end; false when it has none.
bool product_install_location(const std::u16string& product_code, std::u16string* folder);

// ---------------------------------------------------------------------------------------------
// Files reached through opened folders. Each folder on the way to a target is opened once and
// checked; its children are then created, read, renamed and deleted through that handle, never
// through a path opened again, so a link swapped in meanwhile cannot send a write, a move or a
// delete elsewhere. Every open compares where the handle really leads (its final path) with the
// path meant: a link or mount point on the way fails the open with `redirected`, before anything
// is written. Names of children are single components, without "\".

using folder_handle = uintptr_t;
constexpr folder_handle invalid_folder = ~uintptr_t{0};

enum class open_result {
    opened,
    missing,    // no such file or folder (or a folder on the way is missing)
    exists,     // creating: the name is taken
    held,       // another program has it open without sharing what this needs
    redirected, // a link or mount point on the way, or the handle leads elsewhere
    denied,     // access is denied
    failed,     // anything else: a file where a folder should be, a full disk, ...
};

// Opens an existing folder by its whole path, for reading, adding and removing its children.
open_result open_folder(const std::u16string& path, folder_handle* folder);

enum class folder_creation {
    open_existing,
    create_if_missing,
    // For folders every run elevated writes into, such as the logs' folder under ProgramData
    // (where any user may add to a folder that inherits its list): made with a protected access
    // list of its own from the start, SYSTEM and Administrators full control, Users read. Where
    // Administrators cannot be named as the owner (not elevated) it is made as by
    // create_if_missing, so that its maker can still write into it.
    create_locked_if_missing,
    // Made by this call, never one that was there (`exists` then), with an access list of its
    // own that inherits nothing from the parent: Administrators and SYSTEM only. For a program
    // run elevated from a folder like the Windows Temp folder, where any user may add files to
    // the folders that inherit its list.
    create_private,
};
inline bool creates(folder_creation creation)
{
    return creation != folder_creation::open_existing;
}
// Opens (or makes) the child folder `name`. A folder made here gets a security descriptor of its
// own: its access list inherited from the parent (or the locked or private one), Administrators as
// its owner (when the process may name them). `created` tells whether it was made by this call.
open_result open_child_folder(folder_handle parent, std::u16string_view name,
                              folder_creation creation, folder_handle* child, bool* created);
void close_folder(folder_handle folder);

// True when the folder's owner is one a user without administrator rights cannot be:
// Administrators, SYSTEM or TrustedInstaller. Elsewhere a standard user could have made the
// folder and could change what is inside it between our steps.
bool has_administrator_owner(folder_handle folder);

// A new file, failing with `exists` when the name is taken (by anything, a link included):
// written only through the returned handle, shared with nobody, deletable and renamable by it.
open_result create_child_file(folder_handle folder, std::u16string_view name, file_handle* file);

enum class child_access {
    read, // reading, sharing reads and writes (and deletion, so nobody is blocked by us)
    // Reading, renaming and deleting, sharing reads and deletion but not writes, so that what is
    // compared is what is deleted: fails with `held` while another program holds it so.
    remove,
    append, // adding at the end, as a journal does: shared for reading only
    // Writing in place, sharing everything; nothing is written through it. It fails with `held`
    // while a host has loaded the file as a module: Windows then refuses writes and deletion
    // (an image in use), though it lets the file be renamed.
    overwrite,
};
open_result open_child_file(folder_handle folder, std::u16string_view name, child_access access,
                            file_handle* file);

// Reads the open file from its start, at most `limit` bytes; false on a failed read.
bool read_opened(file_handle file, size_t limit, std::string* bytes);
// Sets creation and last-write times on the open file (100 ns units since 1601-01-01 UTC).
bool set_times(file_handle file, int64_t creation, int64_t last_write);

enum class rename_mode { keep_existing, replace_existing };
// Gives the open file the name `name` in `folder` (the folder it is in). With keep_existing a
// taken name fails with `exists`; with replace_existing a file there, read-only or not, is
// replaced in one step, a file another program holds fails with `held`, and a module a host has
// loaded (which Windows will not delete) fails with `denied`. The result is checked like an
// open.
open_result rename_opened(file_handle file, folder_handle folder, std::u16string_view name,
                          rename_mode mode);
// Deletes the open file (opened by create_child_file or with child_access::remove), read-only
// or not. The name is gone once the handle is closed. False for a module a host has loaded,
// which Windows keeps until the host lets it go (it may still be renamed).
bool delete_opened(file_handle file);

// Removes the child folder `name` when it is empty; `failed` when it still holds anything.
remove_result remove_child_folder(folder_handle parent, std::u16string_view name);
// The names of the folder's children (files and folders), without "." and "..".
bool list_children(folder_handle folder, std::vector<std::u16string>* names);

// True when the open file's owner is Administrators, SYSTEM or TrustedInstaller, as for
// has_administrator_owner.
bool file_has_administrator_owner(file_handle file);

// GetFullPathNameW, then GetLongPathNameW where the path exists: the path made whole against
// the current folder, "." and ".." resolved, trailing dots and spaces dropped as Windows drops
// them, "\" separators. False when the system cannot make it whole.
bool full_path(const std::u16string& path, std::u16string* whole);

// Fills `data` from the system's random source (for names nobody can guess ahead).
void random_bytes(void* data, size_t size);
// MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT): the file goes when Windows restarts,
// whatever has that name then (so callers rename a file aside first where they can).
bool delete_at_restart(const std::u16string& path);
// Makes System32 the current folder, so that nothing is ever looked for in, or written to, the
// folder the program was started from (a Downloads folder anyone's download can reach).
bool enter_system_folder();

} // namespace nimbic::sys
