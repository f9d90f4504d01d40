// SHA-256 against the FIPS 180-4 examples, fed whole and in uneven pieces, and the hex form.
#include "engine/sha256.h"

#include <gtest/gtest.h>

namespace nimbic {
namespace {

TEST(Sha256, KnownVectorsWholeAndInPieces)
{
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // 55 and 56 bytes: the length still fits the last block, and then it no longer does.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& vector : vectors) {
        SCOPED_TRACE(vector.message.substr(0, 20));
        EXPECT_EQ(vector.digest, HexDigest(Sha256Of(vector.message)));
        Sha256 pieces;
        for (size_t at = 0, step = 1; at < vector.message.size(); at += step, step = step * 3 % 97)
            pieces.Update(vector.message.data() + at, std::min(step, vector.message.size() - at));
        EXPECT_EQ(vector.digest, HexDigest(pieces.Finish()));
    }
}

TEST(Sha256, HexDigestsParseBackAndOthersAreRefused)
{
    const Sha256Digest digest = Sha256Of("abc");
    Sha256Digest parsed{};
    EXPECT_TRUE(ParseHexDigest("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
                               &parsed));
    EXPECT_EQ(digest, parsed);
    for (const char* bad :
         {"", "ba78", "zz7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad0"})
        EXPECT_FALSE(ParseHexDigest(bad, &parsed)) << bad;
}

} // namespace
} // namespace nimbic
