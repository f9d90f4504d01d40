// Reading the embedded script package and recreating its folders and files under a folder.
#pragma once

#include "engine/whole_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

// Extractor results; the worker records a failure as 100 + the code.
namespace package_status {
constexpr int32_t ok = 0;
constexpr int32_t bad_magic = 11;
constexpr int32_t file_record_past_end = 12;
constexpr int32_t file_not_opened = 20;
constexpr int32_t inflate_failed = 22;
constexpr int32_t write_failed = 23;
constexpr int32_t stream_cut_short = 24;
constexpr int32_t redirected = 25; // a link or mount point on the way: nothing written there
constexpr int32_t folder_record_past_end = 30;
constexpr int32_t folder_not_created = 31;
constexpr int32_t inflate_not_started = 100;
} // namespace package_status

// The words for an extractor result, for tools and logs.
const char* PackageStatusText(int32_t status);

// Called after each non-empty file with (files done, inflated bytes done).
using PackageProgress = std::function<void(int32_t files_done, int32_t bytes_done)>;

// Reads the package in place from `data` and writes its folders and files under `destination`
// ("\" separators). Never reads outside [data, data + size) and never writes outside
// `destination`: every folder is opened (or made) through its parent's handle, and a link on the
// way, the destination included, fails its record. Stops at the first failure; what was written
// before it stays on disk.
int32_t ExtractScriptPackage(const void* data, size_t size, const std::u16string& destination,
                             const PackageProgress& progress = {});

// One file of a package, inflated: its name below the destination ("\" separators), bytes and
// recorded times (none for an empty record, which the extractor leaves without times too).
struct PackageFile {
    std::u16string name;
    std::string bytes;
    std::optional<FileTimes> times;
};

// Reads every file record of the package and inflates it in memory, with the extractor's checks
// on names and data and the same result codes; nothing is written. Files may hold no more than
// they claim, and all of them together at most 256 MiB, so a foreign package cannot exhaust
// memory. The folder records' names go to `folders` when it is given.
int32_t ReadScriptPackage(const void* data, size_t size, std::vector<PackageFile>* files,
                          std::vector<std::u16string>* folders = nullptr);

// The bytes the package's files hold once inflated, as their records claim them; nothing is
// inflated. A damaged package gives the extractor's code for the first damaged record.
int32_t PackageInflatedSize(const void* data, size_t size, uint64_t* bytes);

// Seconds since 1970 as 100 ns intervals since 1601; false when the result does not fit.
bool UnixTimeToFileTime(int64_t seconds, int64_t* file_time);

} // namespace nimbic
