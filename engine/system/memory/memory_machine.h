// The state behind the in-memory system, shared by the sources that model each part of it:
// the file tree, the registry, the programs and their resources.
#pragma once

#include "engine/system/memory/memory_system.h"
#include "engine/system/system.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace nimbic::memsys::detail {

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
    uint32_t number = 0;
};

struct RegistryKey {
    std::vector<std::u16string> children; // in the order Windows enumerates them
    std::map<std::u16string, RegistryValue> values;
};

// What a handle may do and what it lets others do, as Windows' access and share bits.
enum access_bits : unsigned { read_bit = 1, write_bit = 2, delete_bit = 4 };

struct OpenFile {
    uint64_t id = 0;    // the entry it is open on (0: held before the file existed, by key)
    std::u16string key; // the entry's key when opened
    unsigned access = 0;
    unsigned share = 0;
    bool append = false;
    bool image = false; // a module mapped by a host: no access of its own, but see `mapped`
};

struct OpenFolder {
    uint64_t id = 0;
    std::u16string meant; // the key it was opened as: a folder moved since leads elsewhere
};

struct Entry : memsys::entry {
    uint64_t id = 0;
    std::u16string link_target; // for links: the path they lead to (empty: outside the tree)
    bool administrator_owner = true;
};

struct Machine {
    std::mutex lock;
    std::map<std::u16string, Entry> tree; // keyed by the normalised path
    uint64_t next_id = 1;
    std::map<std::u16string, RegistryKey> registry[2];
    std::map<uintptr_t, std::pair<int, std::u16string>> open_keys;
    std::map<uintptr_t, OpenFile> open_files;
    std::map<uintptr_t, OpenFolder> open_folders;
    std::map<int, std::string> resources;
    std::map<std::u16string, std::map<int, std::string>> programs; // by normalised path
    std::map<uintptr_t, std::u16string> open_modules;
    std::u16string program_path = u"C:\\Work\\program.exe";
    bool elevated = true;
    std::vector<Fault> faults;
    std::optional<uint32_t> write_limit;
    std::optional<uint64_t> write_budget;
    std::vector<std::string> calls;
    std::u16string app_data = u"C:\\ProgramData";
    bool wow64 = false;
    uintptr_t next_handle = 16;
    std::u16string current_folder = u"C:\\Work";
    size_t file_calls = 0;
    std::optional<std::pair<size_t, memsys::call_fault>> call_fault;
    bool failing_call = false; // the current file call was chosen to fail
    std::map<size_t, std::function<void()>> call_hooks;
    std::vector<std::u16string> restart_deletions;
    uint64_t random_state = 0x9E3779B97F4A7C15;
    std::map<std::u16string, uint64_t> free_space; // by lower-case volume ("c:")
    // The Restart Manager's names: by normalised path for a path no file had when told, else by
    // the file, which they follow through renames.
    std::map<std::u16string, std::vector<std::u16string>> holders;
    std::map<uint64_t, std::vector<std::u16string>> holders_by_file;
    std::map<std::u16string, int> mutexes; // by lower-case name: 0 ours, 1 held elsewhere
    std::map<uintptr_t, std::u16string> held_mutexes;
    std::set<std::u16string> squatted_mutexes;                  // by lower-case name
    std::map<std::u16string, std::u16string> related_products;  // by lower-case upgrade code
    std::map<std::u16string, std::u16string> install_locations; // by lower-case product code
    std::vector<std::u16string> started;
};

// The one machine of the process; every call takes its lock.
Machine& machine();

std::u16string lowered(std::u16string text);
// The call log spells names in ASCII; anything else shows as "?".
std::string ascii(std::u16string_view text);
std::string hex(uint32_t value);
bool is_drive(std::u16string_view path);
// A path resolved as Windows would: "/" as "\", separators collapsed, "." dropped, trailing
// dots and spaces stripped from each component, so that "..", "..." and ". ." all climb; relative
// paths start at the current folder. UNC and drive-relative paths are not modelled: empty.
std::u16string resolve(std::u16string path);
std::u16string normalise(const std::u16string& path);
std::u16string parent_key(const std::u16string& key);
bool folder_exists(Machine& m, const std::u16string& key);
// True when a fault for this operation and text is armed (using one of its counts), or the
// current file call was chosen to fail.
bool faulted(Machine& m, memsys::op operation, std::u16string_view text = u"");
// Counts a file call, runs the hook set for it (before locking: the hook calls the controls),
// and returns the machine locked.
std::unique_lock<std::mutex> enter_file_call(Machine& m);
// True when a handle open on the entry conflicts with a new one wanting `access` and sharing
// `share`.
bool share_conflict(Machine& m, uint64_t id, const std::u16string& key, unsigned access,
                    unsigned share);
bool shared_conflict(Machine& m, const std::u16string& key, bool want_shared);
// True while a host has the entry mapped as a module: it cannot be written, deleted or replaced.
bool mapped(Machine& m, uint64_t id);
Entry& put_entry(Machine& m, const std::u16string& path, bool folder, const std::string& bytes);
// The key of the entry with this id, or empty when it is gone.
std::u16string key_of(Machine& m, uint64_t id);
// Where a path really leads: each link on the way replaced by its target. Empty when a link
// leads outside the tree.
std::u16string final_key(Machine& m, const std::u16string& key);

} // namespace nimbic::memsys::detail
