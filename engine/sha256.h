// SHA-256 (FIPS 180-4), for the install record: a file is ours when its digest is the one we
// recorded when we wrote it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nimbic {

using Sha256Digest = std::array<uint8_t, 32>;

// One running digest; feed it any number of pieces, then Finish once.
class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t size);
    Sha256Digest Finish();

private:
    void Compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_block{};
    size_t m_filled = 0;
    uint64_t m_length = 0;
};

Sha256Digest Sha256Of(std::string_view bytes);
// 64 lower-case hexadecimal digits.
std::string HexDigest(const Sha256Digest& digest);
// Takes upper or lower case; false unless the text is exactly 64 hexadecimal digits.
bool ParseHexDigest(std::string_view text, Sha256Digest* digest);

} // namespace nimbic
