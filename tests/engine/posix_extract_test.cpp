// The extractor on the real Linux file system, through the host tools' backend.
#include "engine/script_package.h"
#include "engine/system/system.h"

#include "tests/engine/package_bytes.h"
#include "toolkit/core/text_conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace nimbic {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class PosixExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root =
            fs::temp_directory_path() / ("nimbic-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_destination = m_root / "host" / "Scripts";
    }
    void TearDown() override { fs::remove_all(m_root); }

    int32_t Extract(const Bytes& package)
    {
        std::u16string destination = zksdk::ui::utf8_to_utf16(m_destination.string());
        for (char16_t& unit : destination)
            unit = unit == u'/' ? u'\\' : unit;
        return ExtractScriptPackage(package.data(), package.size(), destination);
    }

    fs::path m_root;
    fs::path m_destination;
};

TEST_F(PosixExtractTest, ShippedPackageLandsByteIdenticalWithItsWriteTime)
{
    const std::string packed = test::ReadFileBytes(NIMBIC_SCRIPT_PACKAGE);
    ASSERT_EQ(0, Extract(Bytes(packed.begin(), packed.end())));
    const fs::path script = m_destination / "ScriptUI Panels" / "Nimbic.jsx";
    EXPECT_EQ(test::ReadFileBytes(NIMBIC_SCRIPT_SOURCE), test::ReadFileBytes(script.c_str()));
    struct stat info {};
    ASSERT_EQ(0, stat(script.c_str(), &info));
    EXPECT_EQ(1584976883, info.st_mtime); // Linux keeps no creation time to compare
}

TEST_F(PosixExtractTest, LargeFilesAndNestedFoldersAreWrittenWhole)
{
    const std::string large = test::SampleText(1 << 20, 9);
    EXPECT_EQ(0, Extract(pack::EncodePackage({"a/b/c"}, {{"a\\b\\c\\big.txt", large, 5, 6}})));
    EXPECT_EQ(large, test::ReadFileBytes((m_destination / "a/b/c/big.txt").c_str()));
}

TEST_F(PosixExtractTest, NothingLandsOutsideTheDestination)
{
    for (const char* name : {"../escaped", "..\\..\\escaped", "a/../../escaped", "/tmp/escaped"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({name}, {})));
        EXPECT_EQ(package_status::file_not_opened,
                  Extract(pack::EncodePackage({""}, {{name, "x", 0, 0}})));
    }
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        const std::string path = entry.path().string();
        const std::string destination = m_destination.string();
        EXPECT_TRUE(path.rfind(destination, 0) == 0 || destination.rfind(path + "/", 0) == 0)
            << path;
    }
    EXPECT_FALSE(fs::exists(m_root / "host" / "escaped"));
    EXPECT_FALSE(fs::exists(m_root / "escaped"));
}

// Links planted inside the destination must not carry writes out of it: a linked file is not
// truncated through, a linked folder is not descended into. The destination may be a link.
TEST_F(PosixExtractTest, LinksInsideTheDestinationAreNeverFollowed)
{
    const fs::path outside = m_root / "outside";
    fs::create_directories(outside);
    {
        std::ofstream(outside / "victim.txt") << "keep";
    }
    fs::create_directories(m_destination);
    fs::create_directory_symlink(outside, m_destination / "linked");
    fs::create_symlink(outside / "victim.txt", m_destination / "file.txt");

    EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({"linked"}, {})));
    EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({"linked/sub"}, {})));
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({}, {{"linked\\new.txt", "x", 0, 0}})));
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({}, {{"file.txt", "x", 0, 0}})));
    EXPECT_EQ("keep", test::ReadFileBytes((outside / "victim.txt").c_str()));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(outside), fs::directory_iterator()));

    fs::rename(m_destination, m_root / "real");
    fs::create_directory_symlink(m_root / "real", m_destination);
    EXPECT_EQ(0, Extract(pack::EncodePackage({"ok"}, {{"ok\\a.txt", "fine", 0, 0}})));
    EXPECT_EQ("fine", test::ReadFileBytes((m_root / "real" / "ok" / "a.txt").c_str()));
}

// What the deployment commands ask of the file system: kinds, bounded reads, removals that
// refuse a folder still holding something.
TEST_F(PosixExtractTest, FilesAreReadAndRemovedAsTheWindowsCallsDo)
{
    auto path = [&](const char* name) {
        std::u16string text = zksdk::ui::utf8_to_utf16((m_root / name).string());
        for (char16_t& unit : text)
            unit = unit == u'/' ? u'\\' : unit;
        return text;
    };
    fs::create_directories(m_root / "Vantrel");
    std::ofstream(m_root / "Vantrel" / "Nimbic.aex") << "module bytes";

    EXPECT_EQ(sys::path_kind::folder, sys::kind_of(path("Vantrel")));
    EXPECT_EQ(sys::path_kind::file, sys::kind_of(path("Vantrel/Nimbic.aex")));
    EXPECT_EQ(sys::path_kind::missing, sys::kind_of(path("Vantrel/none")));
    std::string bytes;
    EXPECT_EQ(sys::read_result::read, sys::read_file_bytes(path("Vantrel/Nimbic.aex"), 6, &bytes));
    EXPECT_EQ("module", bytes);
    EXPECT_EQ(sys::read_result::missing, sys::read_file_bytes(path("Vantrel/none"), 6, &bytes));
    EXPECT_EQ(sys::read_result::failed, sys::read_file_bytes(path("Vantrel"), 6, &bytes));

    EXPECT_EQ(sys::remove_result::failed, sys::remove_directory(path("Vantrel")));
    EXPECT_EQ(sys::remove_result::removed, sys::delete_file(path("Vantrel/Nimbic.aex")));
    EXPECT_EQ(sys::remove_result::missing, sys::delete_file(path("Vantrel/Nimbic.aex")));
    EXPECT_EQ(sys::remove_result::removed, sys::remove_directory(path("Vantrel")));
    EXPECT_EQ(sys::remove_result::missing, sys::remove_directory(path("Vantrel")));

    sys::module opened = 0;
    std::ofstream(m_root / "notes.txt") << "text";
    EXPECT_EQ(sys::module_result::not_a_program, sys::open_data_module(path("notes.txt"), &opened));
    EXPECT_EQ(sys::module_result::missing, sys::open_data_module(path("none.exe"), &opened));
}

} // namespace
} // namespace nimbic
