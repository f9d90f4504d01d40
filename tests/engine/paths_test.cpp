// Path helpers: the separator rules every folder of the installer goes through.
#include "engine/paths.h"

#include "tests/engine/memory_fixture.h"

namespace nimbic {
namespace {

struct JoinCase {
    std::u16string base, tail, joined;
};

TEST(Paths, JoinNeverDoublesOrDropsTheSeparator)
{
    const JoinCase cases[] = {
        {u"C:\\a", u"b", u"C:\\a\\b"},   {u"C:\\a\\", u"b", u"C:\\a\\b"},
        {u"C:\\a", u"\\b", u"C:\\a\\b"}, {u"C:\\a\\", u"\\b", u"C:\\a\\b"},
        {u"", u"b\\c", u"b\\c"},         {u"", u"\\b", u"b"},
        {u"C:\\a", u"", u"C:\\a"},       {u"C:\\a\\", u"", u"C:\\a\\"},
    };
    for (const JoinCase& test : cases)
        EXPECT_EQ(test.joined, path_join(test.base, test.tail));
}

TEST(Paths, ParentAndFilenameIgnoreOneTrailingSeparator)
{
    EXPECT_EQ(u"C:\\a", path_parent(u"C:\\a\\b"));
    EXPECT_EQ(u"C:\\a", path_parent(u"C:\\a\\b\\"));
    EXPECT_EQ(u"C:\\a\\b", path_parent(u"C:\\a\\b\\\\")); // only one separator is dropped
    EXPECT_EQ(u"", path_parent(u"C:\\"));
    EXPECT_EQ(u"", path_parent(u"name"));
    EXPECT_EQ(u"", path_parent(u""));

    EXPECT_EQ(u"b", path_filename(u"C:\\a\\b"));
    EXPECT_EQ(u"b", path_filename(u"C:\\a\\b\\"));
    EXPECT_EQ(u"name", path_filename(u"name"));
    EXPECT_EQ(u"C:", path_filename(u"C:\\"));
}

using CreateDirectoriesTest = test::MemoryMachineTest;

TEST_F(CreateDirectoriesTest, MakesEveryMissingLevelAndAcceptsExistingFolders)
{
    EXPECT_TRUE(create_directories(u"C:\\a\\b\\c"));
    EXPECT_TRUE(IsFolder(u"C:\\a"));
    EXPECT_TRUE(IsFolder(u"C:\\a\\b"));
    EXPECT_TRUE(IsFolder(u"C:\\a\\b\\c"));
    EXPECT_TRUE(create_directories(u"C:\\a\\b\\c"));
    EXPECT_TRUE(create_directories(u"C:\\A\\B\\d\\"));
    EXPECT_TRUE(IsFolder(u"C:\\a\\b\\d"));
}

TEST_F(CreateDirectoriesTest, FailsWithoutLoopingWhenAFolderCannotBeMade)
{
    EXPECT_FALSE(create_directories(u""));
    EXPECT_FALSE(create_directories(u"Q:\\no\\drive"));

    // A file where a folder should be: the child stays "missing" however often it is tried.
    memsys::add_file(u"C:\\blocked", "x");
    EXPECT_FALSE(create_directories(u"C:\\blocked\\child\\leaf"));
    EXPECT_FALSE(Exists(u"C:\\blocked\\child"));

    memsys::fail(memsys::op::create_directory, -1, u"second");
    EXPECT_FALSE(create_directories(u"C:\\first\\second\\third"));
    EXPECT_FALSE(Exists(u"C:\\first"));
}

} // namespace
} // namespace nimbic
