// The packer. It is a build tool, so it favours plain code over speed: whole files in memory.
#include "tools/nimbic_pack/package_writer.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <limits>

namespace nimbic::pack {

namespace {

constexpr unsigned char package_magic[4] = {'z', 'k', 0x5E, 0x1A};

void put_u32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void put_i64(std::vector<unsigned char>& out, int64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<unsigned char>(static_cast<uint64_t>(value) >> (8 * i)));
}

void put_name(std::vector<unsigned char>& out, const std::string& name)
{
    put_u32(out, static_cast<uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
}

// Even empty data deflates to a few bytes, so an empty result means the compression failed.
std::vector<unsigned char> deflate_all(const std::string& data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<unsigned char> stream(size);
    if (compress2(stream.data(), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), level) != Z_OK)
        return {};
    stream.resize(size);
    return stream;
}

std::vector<unsigned char> failed(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return {};
}

class Cursor {
public:
    explicit Cursor(const std::vector<unsigned char>& bytes) : m_bytes(bytes) {}
    bool has(uint64_t count) const { return m_bytes.size() - m_offset >= count; }
    uint64_t offset() const { return m_offset; }
    uint64_t take(int count)
    {
        uint64_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | m_bytes[m_offset + static_cast<size_t>(i)];
        m_offset += static_cast<size_t>(count);
        return value;
    }
    std::string text(uint32_t count)
    {
        std::string value(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_offset),
                          m_bytes.begin() + static_cast<std::ptrdiff_t>(m_offset + count));
        m_offset += count;
        return value;
    }

private:
    const std::vector<unsigned char>& m_bytes;
    size_t m_offset = 0;
};

int64_t unix_seconds(std::filesystem::file_time_type time)
{
    const auto system = std::chrono::file_clock::to_sys(time);
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

std::string package_name(const std::filesystem::path& relative)
{
    std::string name;
    for (const auto& part : relative) {
        if (!name.empty())
            name += '\\';
        const std::u8string utf8 = part.u8string();
        name.append(utf8.begin(), utf8.end());
    }
    return name;
}

} // namespace

std::vector<unsigned char> EncodePackage(const std::vector<std::string>& folders,
                                         const std::vector<PackFile>& files, int level,
                                         std::string* error)
{
    std::vector<unsigned char> out(std::begin(package_magic), std::end(package_magic));
    put_u32(out, static_cast<uint32_t>(folders.size()));
    for (const std::string& folder : folders)
        put_name(out, folder);
    put_u32(out, static_cast<uint32_t>(files.size()));

    std::vector<std::vector<unsigned char>> streams;
    uint64_t stream_offset = out.size();
    for (const PackFile& file : files)
        stream_offset += 32 + file.name.size();
    for (const PackFile& file : files) {
        streams.push_back(deflate_all(file.data, level));
        if (streams.back().empty())
            return failed(error, "cannot compress " + file.name);
        if (file.data.size() > std::numeric_limits<uint32_t>::max() ||
            stream_offset > std::numeric_limits<uint32_t>::max())
            return failed(error, "the files are too large for a script package");
        put_name(out, file.name);
        put_u32(out, static_cast<uint32_t>(file.data.size()));
        put_u32(out, static_cast<uint32_t>(streams.back().size()));
        put_u32(out, static_cast<uint32_t>(stream_offset));
        put_i64(out, file.creation_time);
        put_i64(out, file.last_write_time);
        stream_offset += streams.back().size();
    }
    for (const auto& stream : streams)
        out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

namespace {

// Reads through the stream, not a stream iterator, so that a failing read is reported.
bool ReadWhole(const std::filesystem::path& path, std::string* data)
{
    std::ifstream in(path, std::ios::binary);
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        data->append(buffer, static_cast<size_t>(in.gcount()));
    return in.eof() && !in.bad();
}

// Reads the tree under `from` into folder names and files, or says what could not be read.
std::string ReadTree(const std::filesystem::path& from, const PackOptions& options,
                     std::vector<std::string>* folders, std::vector<PackFile>* files)
{
    std::error_code error;
    if (!std::filesystem::is_directory(from, error))
        return "not a folder: " + from.string();

    std::vector<std::filesystem::path> found;
    for (auto it = std::filesystem::recursive_directory_iterator(from, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        found.push_back(it->path());
    if (error)
        return "cannot read " + from.string() + ": " + error.message();
    std::sort(found.begin(), found.end());

    for (const auto& path : found) {
        const std::string name = package_name(path.lexically_relative(from));
        if (std::filesystem::is_directory(path)) {
            folders->push_back(name);
            continue;
        }
        PackFile file{name, {}, 0, 0};
        if (!ReadWhole(path, &file.data))
            return "cannot read " + path.string();
        const int64_t written = unix_seconds(std::filesystem::last_write_time(path, error));
        // Linux keeps no creation time; the last-write time stands in for it.
        file.creation_time = options.creation_time.value_or(written);
        file.last_write_time = options.last_write_time.value_or(written);
        files->push_back(std::move(file));
    }
    return {};
}

bool WriteWhole(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    stream.close();
    return static_cast<bool>(stream);
}

} // namespace

// A build must never pick up a half-written package, or an old one after a failed run: the
// package is written under a temporary name and renamed into place only when it is complete.
std::string CreatePackage(const std::filesystem::path& out, const std::filesystem::path& from,
                          const PackOptions& options)
{
    std::vector<std::string> folders;
    std::vector<PackFile> files;
    std::string error = ReadTree(from, options, &folders, &files);
    std::vector<unsigned char> package;
    if (error.empty())
        package = EncodePackage(folders, files, 9, &error);

    std::filesystem::path temporary = out;
    temporary += ".partial";
    std::error_code ignored;
    if (error.empty() && !WriteWhole(temporary, package))
        error = "cannot write " + temporary.string();
    if (error.empty()) {
        std::error_code renamed;
        std::filesystem::rename(temporary, out, renamed);
        if (renamed)
            error = "cannot rename " + temporary.string() + " to " + out.string() + ": " +
                    renamed.message();
    }
    if (!error.empty()) {
        std::filesystem::remove(temporary, ignored);
        std::filesystem::remove(out, ignored);
    }
    return error;
}

std::string ListPackage(const std::vector<unsigned char>& package, std::vector<std::string>* lines)
{
    Cursor cursor(package);
    if (!cursor.has(8) ||
        !std::equal(std::begin(package_magic), std::end(package_magic), package.begin()))
        return "not a script package";
    cursor.take(4);
    const uint32_t folders = static_cast<uint32_t>(cursor.take(4));
    for (uint32_t i = 0; i < folders; ++i) {
        if (!cursor.has(4))
            return "folder record " + std::to_string(i) + " runs past the end";
        const auto length = static_cast<uint32_t>(cursor.take(4));
        if (!cursor.has(length))
            return "folder record " + std::to_string(i) + " runs past the end";
        lines->push_back("folder\t" + cursor.text(length));
    }
    if (!cursor.has(4))
        return "the file count is missing";
    const uint32_t files = static_cast<uint32_t>(cursor.take(4));
    for (uint32_t i = 0; i < files; ++i) {
        if (!cursor.has(4))
            return "file record " + std::to_string(i) + " runs past the end";
        const auto length = static_cast<uint32_t>(cursor.take(4));
        if (!cursor.has(uint64_t{length} + 28))
            return "file record " + std::to_string(i) + " runs past the end";
        std::string line = "file\t" + cursor.text(length);
        for (int field = 0; field < 3; ++field)
            line += "\t" + std::to_string(cursor.take(4));
        for (int field = 0; field < 2; ++field)
            line += "\t" + std::to_string(static_cast<int64_t>(cursor.take(8)));
        lines->push_back(line);
    }
    return {};
}

} // namespace nimbic::pack
