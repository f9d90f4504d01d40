// Test control of the in-memory system: a Windows-like file tree with drive-letter paths, a
// registry with its 32-bit and 64-bit views, embedded resources, and injectable failures.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nimbic::memsys {

// Every operation of the seam that can be made to fail.
enum class op {
    reg_open,
    reg_query_info,
    reg_enum,
    reg_value,
    resource_find,
    resource_load,
    resource_lock,
    create_directory,
    open_file,
    write_file,
    flush_file,
    replace_file,
    set_file_times,
    known_folder,
    open_module,
    read_file,
    delete_file,
    remove_directory,
    open_folder,
    delete_at_restart,
    reg_write,     // creating a key, setting or deleting values and keys
    disk_space,    // asking a volume's free space or root
    start_program, // starting another program
};

enum class registry_view { native, wow32 };

// A fresh machine: drives C: and D:, the folders C:\ProgramData and C:\Work (the current
// folder), an empty registry, no resources, no failures, a native 64-bit elevated process
// running as C:\Work\program.exe, a clock at 2026-01-02 03:04:05, no calls logged. Sub-keys
// enumerate as Windows lists them: sorted, ignoring case.
void reset();

// The next `count` calls of `operation` (every call when count is -1) whose path, key or value
// name contains `filter` fail the way the real call would.
void fail(op operation, int count = -1, const std::u16string& filter = u"");
// Every WriteFile call writes at most this many bytes, and still reports success.
void limit_writes(uint32_t max_bytes);
// The disk fills up: after `bytes` more bytes have been written (to any file), WriteFile writes
// what still fits and then fails.
void fail_writes_after(uint64_t bytes);
void set_wow64(bool wow64);

void add_registry_key(registry_view view, const std::u16string& path);
void set_registry_string(registry_view view, const std::u16string& key_path,
                         const std::u16string& name, const std::u16string& data);
void set_registry_dword(registry_view view, const std::u16string& key_path,
                        const std::u16string& name, uint32_t data);
bool registry_key_exists(registry_view view, const std::u16string& key_path);
// A value as the program left it: empty when it is missing or of the other type.
std::optional<std::u16string> registry_string(registry_view view, const std::u16string& key_path,
                                              const std::u16string& name);
std::optional<uint32_t> registry_dword(registry_view view, const std::u16string& key_path,
                                       const std::u16string& name);
// The key's value names, lower case, sorted.
std::vector<std::u16string> registry_value_names(registry_view view,
                                                 const std::u16string& key_path);

// A resource of the running program.
void set_resource(int id, std::string bytes);
// Another program file on disk, with its RT_RCDATA resources: open_data_module opens it, while
// any other file there is "not a program".
void add_program(const std::u16string& path, std::map<int, std::string> resources);
void set_program_path(const std::u16string& path);
void set_elevated(bool elevated);
void set_common_app_data(const std::u16string& path);

void add_folder(const std::u16string& path);
void add_file(const std::u16string& path, const std::string& bytes);
// A folder that is really a link (a junction, a symbolic link) to `target`, which paths through
// it then reach; without a target it leads somewhere outside the machine's tree.
void add_link(const std::u16string& path, const std::u16string& target = u"");
// Moves a file or folder, with everything below it, as another program would.
void move(const std::u16string& from, const std::u16string& to);
// Whether the folder's owner is one only administrators can be (new entries' owners are).
void set_administrator_owner(const std::u16string& path, bool administrators);
// Marks an existing file or folder as a reparse point with this tag: a link for name-surrogate
// tags, an ordinary entry for the others (cloud placeholders, deduplicated files).
void set_reparse_tag(const std::u16string& path, uint32_t tag);
enum class holding {
    exclusive,     // open, sharing nothing
    sharing_reads, // open for reading, sharing reads only: it cannot be renamed or deleted
    // Mapped as a module, as a host loads its plug-ins: no handle stays open, so it can be read
    // and renamed (the mapping goes with it), but not written, deleted or replaced.
    mapped_image,
};
// Holds the file as a running host would, until `release_file` (by the name it had when held
// or the one it has now) or `restart`.
void hold_file(const std::u16string& path, holding how = holding::exclusive);
void release_file(const std::u16string& path);

struct entry {
    std::u16string path; // as first created, with its case
    bool folder = false;
    uint32_t reparse_tag = 0;
    std::string bytes;
    std::optional<int64_t> creation; // set only through set_file_times
    std::optional<int64_t> last_write;
    bool locked = false; // a folder made with the locked access list (create_locked_if_missing)
};

std::optional<entry> find(const std::u16string& path);
// Every folder and file, drives excluded, in path order.
std::vector<entry> entries();
// The process and registry calls made since the last reset, in order, one line each:
// "IsWow64Process", "RegOpenKeyExW <path> <access in hex>", "RegQueryInfoKeyW",
// "RegEnumKeyExW <index>", "SHRegGetValueW <sub-key> <value>", "RegCloseKey".
std::vector<std::string> calls();
// Files and handles still open (a leak check).
size_t open_handles();

// File calls: each open, read, write, flush, time stamp, move and delete of a file or folder,
// counted from the last reset.
size_t file_calls();
enum class call_fault {
    once,   // that call fails the way the real call would
    killed, // the process ends there: it and every later call fail (a write leaves half)
};
void fail_file_call(size_t number, call_fault how);
// Runs `action` just before file call `number`, as another program acting between two steps.
void before_file_call(size_t number, std::function<void()> action);
// The bytes free on a volume ("C:"); every volume has 1 TiB until told otherwise.
void set_free_space(const std::u16string& volume, uint64_t bytes);
// The programs the Restart Manager names as holding the file (it names nobody by default). Told
// of an existing file, it names them under the file's later names too, as a program that has it
// open or mapped keeps it when it is renamed.
void set_file_holders(const std::u16string& path, std::vector<std::u16string> names);
// Another process holds the named mutex until `release_mutex_elsewhere`: a lock waits its whole
// timeout and then times out (at once: the wait is only logged as "WaitForSingleObject <ms>").
void hold_mutex_elsewhere(const std::u16string& name);
void release_mutex_elsewhere(const std::u16string& name);
// A standard user's process made a mutex of that name first (and holds it): every lock on it
// answers not_ours until the machine is reset.
void squat_mutex(const std::u16string& name);
// Windows Installer has a product with this upgrade code, installed in `install_location` (its
// InstallLocation; none when empty).
void set_related_product(const std::u16string& upgrade_code, const std::u16string& product_code,
                         const std::u16string& install_location = {});
// Every program started, as "<program> <arguments>"; own_process_id is 4242, and every process
// waited for has ended.
std::vector<std::u16string> started_programs();

// Deletions left for the next restart, in order; `restart` carries them out (a folder only when
// it is empty by then, as Windows does) and ends every hold.
std::vector<std::u16string> restart_deletions();
void restart();

} // namespace nimbic::memsys
