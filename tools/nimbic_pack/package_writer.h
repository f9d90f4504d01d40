// Writing and listing script packages: the build side of the format the installer reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace nimbic::pack {

struct PackFile {
    std::string name; // relative, UTF-8, "\" or "/" separated
    std::string data; // the inflated content
    int64_t creation_time = 0;
    int64_t last_write_time = 0;
};

// The package bytes: folder records, file records, then one zlib stream per file in order.
// Empty when a file could not be compressed or the result would not fit the format's 32-bit
// sizes and offsets; `error` then says which.
std::vector<unsigned char> EncodePackage(const std::vector<std::string>& folders,
                                         const std::vector<PackFile>& files, int level = 9,
                                         std::string* error = nullptr);

struct PackOptions {
    std::optional<int64_t> creation_time;   // seconds since 1970; else the file's own time
    std::optional<int64_t> last_write_time; // seconds since 1970; else the file's own time
};

// Packs every folder and file under `from` (names relative, "\" separated, sorted so the same
// tree always gives the same package). Returns an error text, empty on success. The package
// appears at `out` whole or not at all: on failure nothing is left there, not even an older one.
std::string CreatePackage(const std::filesystem::path& out, const std::filesystem::path& from,
                          const PackOptions& options);

// One line per record; returns an error text naming where the package is damaged, else empty.
std::string ListPackage(const std::vector<unsigned char>& package, std::vector<std::string>* lines);

} // namespace nimbic::pack
