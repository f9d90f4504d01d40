// Peak memory while extracting one large file: the extractor streams through fixed buffers, so
// the peak must not grow with the file. Making the package happens in another process.
//   extract_rss make SIZE PACKAGE   writes a package with one file of SIZE bytes
//   extract_rss extract PACKAGE DEST maps the package as a resource would be, extracts it and
//                                    prints the peak resident set size
#include "engine/script_package.h"
#include "tools/nimbic_pack/package_writer.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Make(size_t size, const char* out)
{
    // A 16 KiB block repeated: the package stays small, so the mapped package adds little to the
    // resident set and what remains is the extractor's own memory.
    std::string block;
    for (unsigned i = 0; block.size() < 16384; ++i)
        block += "nimbic " + std::to_string(i * 2654435761u) + "\n";
    block.resize(16384);
    std::string data;
    data.reserve(size);
    while (data.size() < size)
        data += block;
    data.resize(size);
    const auto package = nimbic::pack::EncodePackage({"big"}, {{"big\\file.bin", data, 0, 0}});
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()),
               static_cast<std::streamsize>(package.size()));
    return package.empty() ? 1 : 0;
}

int Extract(const char* path, const char* destination)
{
    const int fd = open(path, O_RDONLY);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0)
        return 1;
    const auto size = static_cast<size_t>(info.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        return 1;
    std::u16string target;
    for (const char* c = destination; *c; ++c)
        target.push_back(*c == '/' ? u'\\' : static_cast<char16_t>(*c));
    const int32_t result = nimbic::ExtractScriptPackage(mapped, size, target);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("package %zu bytes, result %d, peak RSS %ld KiB\n", size, result, usage.ru_maxrss);
    munmap(mapped, size);
    close(fd);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "make")
        return Make(std::strtoull(argv[2], nullptr, 10), argv[3]);
    if (argc == 4 && std::string(argv[1]) == "extract")
        return Extract(argv[2], argv[3]);
    std::fprintf(stderr, "usage: extract_rss make SIZE PACKAGE | extract PACKAGE DEST\n");
    return 2;
}
