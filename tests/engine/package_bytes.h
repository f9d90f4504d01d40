// Building script packages for tests, and finding the fields a test wants to damage.
#pragma once

#include "tools/nimbic_pack/package_writer.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nimbic::test {

using Bytes = std::vector<unsigned char>;

// Offset of file record `index` in a package made by EncodePackage from these names.
inline size_t FileRecordOffset(const std::vector<std::string>& folders,
                               const std::vector<pack::PackFile>& files, size_t index)
{
    size_t offset = 8;
    for (const std::string& folder : folders)
        offset += 4 + folder.size();
    offset += 4;
    for (size_t i = 0; i < index; ++i)
        offset += 32 + files[i].name.size();
    return offset;
}

inline uint32_t GetU32(const Bytes& bytes, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4); // little-endian hosts only, as both builds are
    return value;
}

inline void PutU32(Bytes& bytes, size_t offset, uint32_t value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

inline std::string ReadFileBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text that deflates well but not to nothing, so streams span several input chunks.
inline std::string SampleText(size_t size, unsigned seed = 1)
{
    std::string text;
    text.reserve(size);
    uint32_t state = seed;
    while (text.size() < size) {
        state = state * 1103515245 + 12345;
        text += "line " + std::to_string(state >> 8) + (state & 0x100 ? " nimbic\n" : "\n");
    }
    text.resize(size);
    return text;
}

} // namespace nimbic::test
