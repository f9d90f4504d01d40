// The state behind the in-memory system, shared by the sources that model each part of it:
// the file tree, the registry, the programs and their resources.
#pragma once

#include "engine/system/memory/memory_system.h"
#include "engine/system/system.h"

#include <map>
#include <mutex>
#include <optional>
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
};

struct RegistryKey {
    std::vector<std::u16string> children; // in the order Windows enumerates them
    std::map<std::u16string, RegistryValue> values;
};

struct OpenFile {
    std::u16string key;
    bool shared = false;
};

struct Machine {
    std::mutex lock;
    std::map<std::u16string, memsys::entry> tree; // keyed by the normalised path
    std::map<std::u16string, RegistryKey> registry[2];
    std::map<uintptr_t, std::pair<int, std::u16string>> open_keys;
    std::map<uintptr_t, OpenFile> open_files;
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
// True when a fault for this operation and text is armed; uses one of its counts.
bool faulted(Machine& m, memsys::op operation, std::u16string_view text = u"");
bool shared_conflict(Machine& m, const std::u16string& key, bool want_shared);
void put_entry(Machine& m, const std::u16string& path, bool folder, const std::string& bytes);

} // namespace nimbic::memsys::detail
