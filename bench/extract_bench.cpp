// Extraction throughput of a 64 MiB multi-file package, against two baselines: plain zlib
// inflate of the same streams into memory, and the fair one, the same streams inflated in
// 16 KiB pieces and written with plain write calls to files in the same folder layout. The
// second difference is what the extractor's own bookkeeping costs.
#include "engine/script_package.h"
#include "tools/nimbic_pack/package_writer.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr size_t file_count = 64;
constexpr size_t file_size = 1 << 20;

std::string SampleFile(unsigned seed)
{
    std::string text;
    text.reserve(file_size);
    uint32_t state = seed;
    while (text.size() < file_size) {
        state = state * 1103515245 + 12345;
        text += "var layer" + std::to_string(state >> 12) + " = comp.layer(" +
                std::to_string(state & 0xFF) + ");\n";
    }
    text.resize(file_size);
    return text;
}

struct Package {
    std::vector<unsigned char> bytes;
    std::vector<std::pair<size_t, size_t>> streams; // offset, compressed size
};

const Package& SharedPackage()
{
    static const Package package = [] {
        std::vector<nimbic::pack::PackFile> files;
        for (size_t i = 0; i < file_count; ++i)
            files.push_back({"Scripts\\file" + std::to_string(i) + ".jsx",
                             SampleFile(static_cast<unsigned>(i + 1)), 0, 0});
        Package built;
        built.bytes = nimbic::pack::EncodePackage({"Scripts"}, files);
        size_t record = 8 + 4 + 7 + 4;
        for (const auto& file : files) {
            uint32_t compressed = 0;
            uint32_t offset = 0;
            std::memcpy(&compressed, built.bytes.data() + record + 4 + file.name.size() + 4, 4);
            std::memcpy(&offset, built.bytes.data() + record + 4 + file.name.size() + 8, 4);
            built.streams.emplace_back(offset, compressed);
            record += 32 + file.name.size();
        }
        return built;
    }();
    return package;
}

std::filesystem::path ScratchFolder(const char* name)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("nimbic-bench-" + std::to_string(getpid()) + name);
    std::filesystem::create_directories(folder);
    return folder;
}

void BM_ExtractPackageToFiles(benchmark::State& state)
{
    const Package& package = SharedPackage();
    const std::filesystem::path folder = ScratchFolder("-extract");
    std::u16string destination;
    for (char c : folder.string())
        destination.push_back(c == '/' ? u'\\' : static_cast<char16_t>(c));
    for (auto _ : state) {
        const int32_t result =
            nimbic::ExtractScriptPackage(package.bytes.data(), package.bytes.size(), destination);
        if (result != 0)
            state.SkipWithError("extraction failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_count * file_size));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ExtractPackageToFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InflateStreamsToMemory(benchmark::State& state)
{
    const Package& package = SharedPackage();
    std::vector<unsigned char> output(file_size);
    for (auto _ : state) {
        for (const auto& [offset, compressed] : package.streams) {
            uLongf size = file_size;
            if (uncompress(output.data(), &size, package.bytes.data() + offset, compressed) != Z_OK)
                state.SkipWithError("inflate failed");
            benchmark::DoNotOptimize(output.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_count * file_size));
}
BENCHMARK(BM_InflateStreamsToMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr size_t piece_size = 16384;

// One stream through 16 KiB input and output pieces into `fd`, as simply as zlib allows.
bool InflateToFile(const unsigned char* stream, size_t compressed, int fd)
{
    z_stream inflater{};
    if (inflateInit(&inflater) != Z_OK)
        return false;
    unsigned char output[piece_size];
    int result = Z_OK;
    for (size_t done = 0; result != Z_STREAM_END && done < compressed;) {
        const size_t piece = std::min(piece_size, compressed - done);
        inflater.next_in = const_cast<unsigned char*>(stream + done);
        inflater.avail_in = static_cast<uInt>(piece);
        done += piece;
        do {
            inflater.next_out = output;
            inflater.avail_out = piece_size;
            result = inflate(&inflater, Z_NO_FLUSH);
            const size_t produced = piece_size - inflater.avail_out;
            if ((result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) ||
                write(fd, output, produced) != static_cast<ssize_t>(produced)) {
                inflateEnd(&inflater);
                return false;
            }
        } while (inflater.avail_out == 0);
    }
    inflateEnd(&inflater);
    return result == Z_STREAM_END;
}

void BM_InflateStreamsToFiles(benchmark::State& state)
{
    const Package& package = SharedPackage();
    const std::filesystem::path folder = ScratchFolder("-baseline");
    std::filesystem::create_directories(folder / "Scripts");
    for (auto _ : state) {
        for (size_t i = 0; i < file_count; ++i) {
            const auto [offset, compressed] = package.streams[i];
            const std::string path =
                (folder / "Scripts" / ("file" + std::to_string(i) + ".jsx")).string();
            const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || !InflateToFile(package.bytes.data() + offset, compressed, fd))
                state.SkipWithError("inflate to file failed");
            if (fd >= 0)
                close(fd);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_count * file_size));
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_InflateStreamsToFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
