// The packer on the real file system: a run that fails leaves no package behind, and says why.
#include "tools/nimbic_pack/package_writer.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>

// Linked with --wrap=compress2, so the packer's calls land here first.
extern "C" int __real_compress2(Bytef* dest, uLongf* dest_len, const Bytef* source,
                                uLong source_len, int level);

namespace {
std::atomic<int> compress_failures{0};
}

extern "C" int __wrap_compress2(Bytef* dest, uLongf* dest_len, const Bytef* source,
                                uLong source_len, int level)
{
    if (compress_failures.load() > 0) {
        compress_failures.fetch_sub(1);
        return Z_MEM_ERROR;
    }
    return __real_compress2(dest, dest_len, source, source_len, level);
}

namespace nimbic::pack {
namespace {

namespace fs = std::filesystem;

class PackageWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = fs::temp_directory_path() / (std::string("nimbic-pack-") + info->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "tree" / "sub");
        std::ofstream(m_root / "tree" / "sub" / "a.txt") << "alpha";
        std::ofstream(m_root / "tree" / "b.txt") << "beta";
    }
    void TearDown() override
    {
        compress_failures.store(0);
        fs::remove_all(m_root);
    }
    // What lies beside the package: a failed run must leave no temporary file either.
    std::vector<std::string> Beside()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_root))
            if (entry.path().filename() != "tree")
                names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path m_root;
};

TEST_F(PackageWriterTest, AFailedRunLeavesNoPackageNotEvenAnOldOne)
{
    const fs::path out = m_root / "scripts.pkg";
    const struct {
        const char* name;
        std::function<void()> break_it;
        std::string message;
    } failures[] = {
        {"a compression fails", [] { compress_failures.store(1); }, "cannot compress b.txt"},
#ifndef _WIN32 // a link to nothing cannot be read; Windows needs a privilege to make one
        {"an input file cannot be read",
         [this] { fs::create_symlink(m_root / "nowhere", m_root / "tree" / "c.txt"); },
         "cannot read " + (m_root / "tree" / "c.txt").string()},
#endif
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.name);
        ASSERT_EQ("", CreatePackage(out, m_root / "tree", {}));
        ASSERT_EQ(std::vector<std::string>{"scripts.pkg"}, Beside());
        failure.break_it();
        EXPECT_EQ(failure.message, CreatePackage(out, m_root / "tree", {}));
        EXPECT_TRUE(Beside().empty());
    }
}

TEST_F(PackageWriterTest, ASecondRunReplacesThePackage)
{
    const fs::path out = m_root / "scripts.pkg";
    ASSERT_EQ("", CreatePackage(out, m_root / "tree", {}));
    std::ofstream(m_root / "tree" / "more.txt") << "gamma";
    ASSERT_EQ("", CreatePackage(out, m_root / "tree", {}));
    std::ifstream in(out, std::ios::binary);
    const std::vector<unsigned char> package(std::istreambuf_iterator<char>(in), {});
    std::vector<std::string> lines;
    EXPECT_EQ("", ListPackage(package, &lines));
    EXPECT_EQ(4u, lines.size()); // the folder, then three files
    EXPECT_EQ(std::vector<std::string>{"scripts.pkg"}, Beside());
}

} // namespace
} // namespace nimbic::pack
