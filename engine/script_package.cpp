// The script package reader. The package comes from our own resource, but a damaged or foreign
// package must still never make us read outside it or write outside the destination.
#include "engine/script_package.h"

#include "engine/paths.h"
#include "engine/system/system.h"
#include "engine/whole_file.h"
#include "toolkit/core/text_conversion.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace nimbic {

namespace {

constexpr unsigned char package_magic[4] = {'z', 'k', 0x5E, 0x1A};
constexpr size_t chunk_size = 16384;
constexpr size_t file_fields_size = 28;

// Sequential little-endian reads that refuse to run past the end of the package.
class PackageReader {
public:
    PackageReader(const unsigned char* data, size_t size, uint64_t offset)
        : m_data(data), m_size(size), m_offset(offset)
    {
    }

    bool has(uint64_t count) const { return m_offset <= m_size && m_size - m_offset >= count; }

    uint32_t u32() { return static_cast<uint32_t>(little_endian(4)); }
    int64_t i64() { return static_cast<int64_t>(little_endian(8)); }

    std::string_view bytes(uint32_t count)
    {
        std::string_view text(reinterpret_cast<const char*>(m_data + m_offset), count);
        m_offset += count;
        return text;
    }

private:
    uint64_t little_endian(int count)
    {
        uint64_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | m_data[m_offset + static_cast<uint64_t>(i)];
        m_offset += static_cast<uint64_t>(count);
        return value;
    }

    const unsigned char* m_data;
    size_t m_size;
    uint64_t m_offset;
};

enum class empty_name { allowed, refused };

// Windows drops trailing dots and spaces from a path component, so "..." or ".. " would climb
// like "..": any component made only of dots and spaces, other than ".", is refused.
bool ClimbsOut(std::u16string_view component)
{
    if (component.empty() || component == u".")
        return false;
    return std::all_of(component.begin(), component.end(),
                       [](char16_t c) { return c == u'.' || c == u' '; });
}

char16_t AsciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Windows opens a device, not a file, for these names in any folder, whatever the case, with or
// without an extension and with trailing dots or spaces: "nul", "Aux.jsx", "COM1 .txt", "con.".
bool IsDeviceName(std::u16string_view component)
{
    std::u16string base(component.substr(0, component.find(u'.')));
    while (!base.empty() && base.back() == u' ')
        base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), AsciiUpper);
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
        base == u"CONOUT$")
        return true;
    // COM0 to COM9 and LPT0 to LPT9, and the superscript digits one to three as well.
    if (base.size() != 4 || (base.compare(0, 3, u"COM") != 0 && base.compare(0, 3, u"LPT") != 0))
        return false;
    const char16_t digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
           digit == u'\u00B3';
}

// A record name must stay below the destination and name a file or folder there: no root,
// drive, UNC prefix, stream name, climbing component, device name or embedded NUL (which a
// system call would cut the path at).
bool IsContainedName(std::u16string_view name, empty_name empty)
{
    if (name.empty())
        return empty == empty_name::allowed;
    if (name.front() == u'\\')
        return false;
    if (name.find_first_of(std::u16string_view(u":\0", 2)) != std::u16string_view::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find(u'\\', start), name.size());
        const std::u16string_view component = name.substr(start, end - start);
        if (ClimbsOut(component) || IsDeviceName(component))
            return false;
        start = end + 1;
    }
    return true;
}

std::u16string RecordName(std::string_view utf8)
{
    return to_backslashes(zksdk::ui::utf8_to_utf16(utf8));
}

struct FileRecord {
    std::u16string name;
    uint32_t inflated_size;
    uint32_t compressed_size;
    uint32_t stream_offset;
    int64_t creation_time;
    int64_t last_write_time;
};

struct Buffers {
    std::unique_ptr<unsigned char[]> input{new unsigned char[chunk_size]};
    std::unique_ptr<unsigned char[]> output{new unsigned char[chunk_size]};
};

// Streams one file's zlib data from the package through the output buffer into `sink`, which
// takes each inflated piece and returns false to stop the file with write_failed.
template <typename InflateSink>
int32_t InflateInto(const InflateSink& sink, const unsigned char* package, size_t package_size,
                    const FileRecord& record, Buffers& buffers)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return package_status::inflate_not_started;

    const uint64_t inside =
        record.stream_offset <= package_size ? package_size - record.stream_offset : 0;
    const bool runs_past_end = record.compressed_size > inside;
    uint64_t remaining = std::min<uint64_t>(record.compressed_size, inside);
    uint64_t position = record.stream_offset;
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (remaining == 0) {
            inflateEnd(&stream);
            return package_status::stream_cut_short;
        }
        const auto chunk = static_cast<uInt>(std::min<uint64_t>(remaining, chunk_size));
        std::memcpy(buffers.input.get(), package + position, chunk);
        stream.next_in = buffers.input.get();
        stream.avail_in = chunk;
        position += chunk;
        remaining -= chunk;
        // Drain the output buffer until inflate leaves part of it empty.
        do {
            stream.next_out = buffers.output.get();
            stream.avail_out = chunk_size;
            result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                inflateEnd(&stream);
                return package_status::inflate_failed;
            }
            const auto produced = static_cast<uint32_t>(chunk_size - stream.avail_out);
            if (produced > 0 && !sink(buffers.output.get(), produced)) {
                inflateEnd(&stream);
                return package_status::write_failed;
            }
        } while (stream.avail_out == 0);
    }
    inflateEnd(&stream);
    // The record claimed bytes the package does not hold: the package is damaged.
    return runs_past_end ? package_status::stream_cut_short : package_status::ok;
}

std::optional<FileTimes> RecordedTimes(const FileRecord& record)
{
    FileTimes times{};
    if (!UnixTimeToFileTime(record.creation_time, &times.creation) ||
        !UnixTimeToFileTime(record.last_write_time, &times.last_write))
        return std::nullopt;
    return times;
}

// A relative name that stays where it is: "", "." or only separators.
bool IsOnlyHere(std::u16string_view name)
{
    return std::all_of(name.begin(), name.end(),
                       [](char16_t c) { return c == u'\\' || c == u'.'; });
}

bool ReadFileRecord(PackageReader& reader, FileRecord& record)
{
    if (!reader.has(4))
        return false;
    const uint32_t length = reader.u32();
    if (!reader.has(uint64_t{length} + file_fields_size))
        return false;
    record.name = RecordName(reader.bytes(length));
    record.inflated_size = reader.u32();
    record.compressed_size = reader.u32();
    record.stream_offset = reader.u32();
    record.creation_time = reader.i64();
    record.last_write_time = reader.i64();
    return true;
}

// Reads the records in order and hands each contained name to its visitor; stops at the first
// damaged record, refused name or visitor result other than ok, and returns that code. The
// visitors are template parameters so that each caller's code is compiled in, without a
// type-erased call per record.
template <typename FolderVisit, typename FileVisit>
int32_t WalkPackage(const unsigned char* package, size_t size, const FolderVisit& folder,
                    const FileVisit& file)
{
    if (size < sizeof(package_magic) || std::memcmp(package, package_magic, sizeof(package_magic)))
        return package_status::bad_magic;

    PackageReader reader(package, size, 4);
    if (!reader.has(4))
        return package_status::folder_record_past_end;
    const uint32_t folder_count = reader.u32();
    for (uint32_t i = 0; i < folder_count; ++i) {
        if (!reader.has(4))
            return package_status::folder_record_past_end;
        const uint32_t length = reader.u32();
        if (!reader.has(length))
            return package_status::folder_record_past_end;
        const std::u16string name = RecordName(reader.bytes(length));
        if (!IsContainedName(name, empty_name::allowed))
            return package_status::folder_not_created;
        if (const int32_t status = folder(name); status != package_status::ok)
            return status;
    }

    if (!reader.has(4))
        return package_status::file_record_past_end;
    const uint32_t file_count = reader.u32();
    for (uint32_t i = 0; i < file_count; ++i) {
        FileRecord record;
        if (!ReadFileRecord(reader, record))
            return package_status::file_record_past_end;
        if (!IsContainedName(record.name, empty_name::refused))
            return package_status::file_not_opened;
        if (const int32_t status = file(record); status != package_status::ok)
            return status;
    }
    return package_status::ok;
}

} // namespace

const char* PackageStatusText(int32_t status)
{
    switch (status) {
    case package_status::ok:
        return "success";
    case package_status::bad_magic:
        return "not a script package (bad magic)";
    case package_status::file_record_past_end:
        return "a file record runs past the end of the package";
    case package_status::file_not_opened:
        return "an output file could not be opened";
    case package_status::inflate_failed:
        return "the compressed data is corrupt";
    case package_status::write_failed:
        return "writing an output file failed";
    case package_status::stream_cut_short:
        return "the compressed data ended early";
    case package_status::redirected:
        return "a folder on the way is a link or mount point";
    case package_status::folder_record_past_end:
        return "a folder record runs past the end of the package";
    case package_status::folder_not_created:
        return "a folder could not be created";
    case package_status::inflate_not_started:
        return "the decompressor could not be started";
    default:
        return "unknown failure";
    }
}

int32_t ReadScriptPackage(const void* data, size_t size, std::vector<PackageFile>* files,
                          std::vector<std::u16string>* folders)
{
    constexpr uint64_t total_limit = 256u << 20;
    files->clear();
    if (folders)
        folders->clear();
    const auto* package = static_cast<const unsigned char*>(data);
    Buffers buffers;
    uint64_t total = 0;
    // Folder records are only checked and listed: reading creates nothing.
    auto folder = [&](const std::u16string& name) {
        if (folders)
            folders->push_back(name);
        return package_status::ok;
    };
    auto file = [&](const FileRecord& record) {
        total += record.inflated_size;
        if (total > total_limit)
            return package_status::inflate_failed;
        PackageFile inflated{record.name, {}, std::nullopt};
        inflated.bytes.reserve(record.inflated_size);
        if (record.compressed_size != 0) {
            const uint32_t claimed = record.inflated_size;
            const int32_t status = InflateInto(
                [&inflated, claimed](const unsigned char* piece, uint32_t count) {
                    if (inflated.bytes.size() + count > claimed)
                        return false;
                    inflated.bytes.append(reinterpret_cast<const char*>(piece), count);
                    return true;
                },
                package, size, record, buffers);
            // More bytes than the record claims: the data is not what the package says it is.
            if (status == package_status::write_failed)
                return package_status::inflate_failed;
            if (status != package_status::ok)
                return status;
            inflated.times = RecordedTimes(record);
        }
        files->push_back(std::move(inflated));
        return package_status::ok;
    };
    return WalkPackage(package, size, folder, file);
}

int32_t PackageInflatedSize(const void* data, size_t size, uint64_t* bytes)
{
    *bytes = 0;
    auto folder = [](const std::u16string&) { return package_status::ok; };
    auto file = [bytes](const FileRecord& record) {
        *bytes += record.inflated_size;
        return package_status::ok;
    };
    return WalkPackage(static_cast<const unsigned char*>(data), size, folder, file);
}

bool UnixTimeToFileTime(int64_t seconds, int64_t* file_time)
{
    constexpr int64_t epoch_difference = 11644473600;
    constexpr int64_t ticks_per_second = 10000000;
    constexpr int64_t latest = std::numeric_limits<int64_t>::max() / ticks_per_second;
    if (seconds < -epoch_difference || seconds > latest - epoch_difference)
        return false;
    *file_time = (seconds + epoch_difference) * ticks_per_second;
    return true;
}

int32_t ExtractScriptPackage(const void* data, size_t size, const std::u16string& destination,
                             const PackageProgress& progress)
{
    const auto* package = static_cast<const unsigned char*>(data);
    // Opened at the first record that needs it: a package with no records touches nothing.
    OpenedFolder root;
    auto open_root = [&](sys::folder_creation creation) {
        return root.is_open() || OpenedFolder::Open(destination, creation, nullptr, &root) ==
                                     sys::open_result::opened;
    };
    auto folder = [&](const std::u16string& name) {
        OpenedFolder made;
        if (!open_root(sys::folder_creation::create_if_missing) ||
            (!IsOnlyHere(name) && root.OpenBelow(name, sys::folder_creation::create_if_missing,
                                                 nullptr, &made) != sys::open_result::opened))
            return package_status::folder_not_created;
        return package_status::ok;
    };
    Buffers buffers;
    int32_t files_done = 0;
    uint32_t bytes_done = 0;
    auto file = [&](const FileRecord& record) {
        ++files_done;
        const std::u16string parent = path_parent(record.name);
        OpenedFolder below;
        if (!open_root(sys::folder_creation::open_existing) ||
            (!IsOnlyHere(parent) && root.OpenBelow(parent, sys::folder_creation::open_existing,
                                                   nullptr, &below) != sys::open_result::opened))
            return package_status::file_not_opened;
        // An earlier version of the file stays until this one is whole.
        WholeFileWriter output(below.is_open() ? below : root, path_filename(record.name));
        if (!output.Open())
            return package_status::file_not_opened;
        std::optional<FileTimes> times;
        if (record.compressed_size != 0) {
            const int32_t status =
                InflateInto([&output](const unsigned char* piece,
                                      uint32_t count) { return output.Write(piece, count); },
                            package, size, record, buffers);
            if (status != package_status::ok)
                return status;
            times = RecordedTimes(record);
        }
        switch (output.Finish(times)) {
        case replace_status::done:
            break;
        case replace_status::not_written:
            return package_status::write_failed;
        case replace_status::not_created:
        case replace_status::not_replaced:
            return package_status::file_not_opened;
        }
        if (record.compressed_size == 0)
            return package_status::ok;
        if (progress) {
            bytes_done += record.inflated_size;
            progress(files_done, static_cast<int32_t>(bytes_done));
        }
        return package_status::ok;
    };
    return WalkPackage(package, size, folder, file);
}

} // namespace nimbic
