// The package reader on the in-memory machine: the shipped package, damaged packages, names
// that try to leave the destination, and failing system calls.
#include "engine/script_package.h"
#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"

#include "tests/engine/memory_fixture.h"
#include "tests/engine/package_bytes.h"
#include "tests/engine/zlib_fault.h"

#include <memory>

namespace nimbic {
namespace {

using test::Bytes;

const std::u16string destination = u"C:\\Host\\Support Files\\Scripts";

int64_t FileTime(int64_t seconds)
{
    return (seconds + 11644473600) * 10000000;
}

class ScriptPackageTest : public test::MemoryMachineTest {
protected:
    // Extracts from an exactly sized heap copy, so the address sanitizer sees any read past it.
    static int32_t Extract(const Bytes& package, size_t size, const PackageProgress& progress = {})
    {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[size ? size : 1]);
        std::memcpy(copy.get(), package.data(), size);
        return ExtractScriptPackage(copy.get(), size, destination, progress);
    }
    static int32_t Extract(const Bytes& package, const PackageProgress& progress = {})
    {
        return Extract(package, package.size(), progress);
    }

    static std::vector<std::u16string> PathsOutsideDestination()
    {
        std::vector<std::u16string> outside;
        for (const memsys::entry& entry : memsys::entries()) {
            const bool inside = entry.path.rfind(destination, 0) == 0 ||
                                destination.rfind(entry.path + u"\\", 0) == 0;
            if (!inside && entry.path != u"C:\\ProgramData" && entry.path != u"C:\\Work")
                outside.push_back(entry.path);
        }
        return outside;
    }

    static std::vector<std::u16string> PathsBelowDestination()
    {
        std::vector<std::u16string> below;
        for (const memsys::entry& entry : memsys::entries()) {
            if (entry.path.rfind(destination + u"\\", 0) == 0)
                below.push_back(entry.path);
        }
        return below;
    }

    static std::u16string Out(const std::u16string& name) { return destination + u"\\" + name; }
};

TEST_F(ScriptPackageTest, ShippedPackageHoldsThePanelScriptAndExtractsItWithItsTimes)
{
    const std::string source = test::ReadFileBytes(NIMBIC_SCRIPT_SOURCE);
    const std::string packed = test::ReadFileBytes(NIMBIC_SCRIPT_PACKAGE);
    ASSERT_EQ(4084u, source.size());
    const Bytes package(packed.begin(), packed.end());

    // One folder record, one file record, then the level 9 stream right after the records.
    const std::string folder = "ScriptUI Panels";
    const std::string file = "ScriptUI Panels\\Nimbic.jsx";
    const size_t record = 8 + 4 + folder.size() + 4;
    ASSERT_GT(package.size(), record + 32 + file.size());
    EXPECT_EQ(1u, test::GetU32(package, 4));
    EXPECT_EQ(folder, std::string(packed, 12, folder.size()));
    EXPECT_EQ(1u, test::GetU32(package, record - 4));
    EXPECT_EQ(file, std::string(packed, record + 4, file.size()));
    const size_t fields = record + 4 + file.size();
    EXPECT_EQ(4084u, test::GetU32(package, fields));
    EXPECT_EQ(package.size() - (fields + 28), test::GetU32(package, fields + 4));
    EXPECT_EQ(fields + 28, test::GetU32(package, fields + 8));
    EXPECT_EQ(0x78, package[fields + 28]);
    EXPECT_EQ(0xDA, package[fields + 29]);

    EXPECT_EQ(0, Extract(package));
    const auto script = memsys::find(destination + u"\\ScriptUI Panels\\Nimbic.jsx");
    ASSERT_TRUE(script.has_value());
    EXPECT_EQ(source, script->bytes);
    EXPECT_EQ(FileTime(1647261376), script->creation);
    EXPECT_EQ(FileTime(1584976883), script->last_write);
}

TEST_F(ScriptPackageTest, HeaderOnlyPackagesAndBadMagic)
{
    const Bytes empty = pack::EncodePackage({}, {});
    ASSERT_EQ(12u, empty.size());
    const size_t before = memsys::entries().size();
    EXPECT_EQ(0, Extract(empty));
    EXPECT_EQ(before, memsys::entries().size());

    EXPECT_EQ(package_status::file_record_past_end, Extract(empty, 8)); // no file count
    for (size_t size = 4; size < 8; ++size)
        EXPECT_EQ(package_status::folder_record_past_end, Extract(empty, size)) << size;
    for (size_t size = 0; size < 4; ++size)
        EXPECT_EQ(package_status::bad_magic, Extract(empty, size)) << size;
    Bytes wrong = empty;
    wrong[3] = 0x1B;
    EXPECT_EQ(package_status::bad_magic, Extract(wrong));
    EXPECT_EQ(before, memsys::entries().size());
}

TEST_F(ScriptPackageTest, TruncatedPackagesFailAndNeverReadOrWriteOutside)
{
    const std::vector<std::string> folders = {"ScriptUI Panels", "ScriptUI Panels/Extra"};
    const std::vector<pack::PackFile> files = {
        {"ScriptUI Panels\\a.jsx", test::SampleText(40000, 1), 1, 2},
        {"ScriptUI Panels/Extra/b.jsx", test::SampleText(3000, 2), 3, 4}};
    const Bytes package = pack::EncodePackage(folders, files);
    const size_t file_count_at = test::FileRecordOffset(folders, files, 0) - 4;
    // Records are read one at a time: the first file's stream is reached before the second record.
    const size_t first_record_end = test::FileRecordOffset(folders, files, 1);

    // Every cut through the records; inside the streams, where every cut takes the same path,
    // one in seven and the last hundred bytes (a cut's cost grows with its size).
    for (size_t size = 4; size < package.size();
         size += size < first_record_end + 100 || size + 100 > package.size() ? 1 : 7) {
        SCOPED_TRACE(size);
        memsys::reset();
        const int32_t result = Extract(package, size);
        if (size < file_count_at)
            EXPECT_EQ(package_status::folder_record_past_end, result);
        else if (size < first_record_end)
            EXPECT_EQ(package_status::file_record_past_end, result);
        else
            EXPECT_EQ(package_status::stream_cut_short, result);
        EXPECT_TRUE(PathsOutsideDestination().empty());
        // Reading in memory judges the same bytes the same way, and writes nothing.
        const size_t entries = memsys::entries().size();
        std::unique_ptr<unsigned char[]> copy(new unsigned char[size]);
        std::memcpy(copy.get(), package.data(), size);
        std::vector<PackageFile> read;
        EXPECT_EQ(result, ReadScriptPackage(copy.get(), size, &read));
        EXPECT_EQ(entries, memsys::entries().size());
    }
    memsys::reset();
    EXPECT_EQ(0, Extract(package));
    EXPECT_EQ(files[0].data, Content(Out(u"ScriptUI Panels\\a.jsx")));
    EXPECT_EQ(files[1].data, Content(Out(u"ScriptUI Panels\\Extra\\b.jsx")));
    std::vector<PackageFile> read;
    ASSERT_EQ(0, ReadScriptPackage(package.data(), package.size(), &read));
    ASSERT_EQ(2u, read.size());
    EXPECT_EQ(u"ScriptUI Panels\\Extra\\b.jsx", read[1].name);
    EXPECT_EQ(files[1].data, read[1].bytes);

    // A stream that inflates to more than its record claims is not the file the package names.
    Bytes overclaimed = package;
    const size_t inflated_at = test::FileRecordOffset(folders, files, 0) + 4 + files[0].name.size();
    test::PutU32(overclaimed, inflated_at, test::GetU32(overclaimed, inflated_at) - 1);
    EXPECT_EQ(package_status::inflate_failed,
              ReadScriptPackage(overclaimed.data(), overclaimed.size(), &read));
}

TEST_F(ScriptPackageTest, FolderRecordsCreateEveryLevelAndExistingFoldersAreFine)
{
    memsys::add_folder(u"C:\\Host");
    memsys::add_folder(u"C:\\Host\\Support Files");
    memsys::add_folder(u"C:\\Host\\Support Files\\Scripts");
    memsys::add_folder(u"C:\\Host\\Support Files\\Scripts\\a");
    EXPECT_EQ(0, Extract(pack::EncodePackage({"a/b/c", "a\\b", "", "."}, {})));
    EXPECT_TRUE(IsFolder(Out(u"a\\b")));
    EXPECT_TRUE(IsFolder(Out(u"a\\b\\c")));

    // A file record creates no folders: its folder must come from a folder record.
    memsys::reset();
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({""}, {{"missing\\x.jsx", "x", 0, 0}})));
}

TEST_F(ScriptPackageTest, FilesOfManyChunksAndEmptyStreamsAreWrittenWhole)
{
    const std::string large = test::SampleText(300000, 7);
    std::vector<std::pair<int32_t, int32_t>> calls;
    auto record = [&](int32_t files, int32_t bytes) { calls.emplace_back(files, bytes); };

    std::vector<pack::PackFile> files = {
        {"large.txt", large, 10, 20}, {"empty.txt", "", 30, 40}, {"small.txt", "tiny", 50, 60}};
    Bytes package = pack::EncodePackage({""}, files);
    // An empty file can be stored without any stream at all.
    test::PutU32(package, test::FileRecordOffset({""}, files, 1) + 4 + 9 + 4, 0);

    EXPECT_EQ(0, Extract(package, record));
    EXPECT_EQ(large, Content(Out(u"large.txt")));
    EXPECT_EQ("tiny", Content(Out(u"small.txt")));
    const auto empty = memsys::find(Out(u"empty.txt"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->bytes.empty());
    EXPECT_FALSE(empty->last_write.has_value()); // no times for a file without a stream
    EXPECT_EQ(FileTime(60), memsys::find(Out(u"small.txt"))->last_write);
    // No progress call for the streamless file; the counters are running totals.
    const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 300000}, {3, 300004}};
    EXPECT_EQ(expected, calls);
}

TEST_F(ScriptPackageTest, RecordedCompressedSizesAreTrustedOnlyWithinThePackage)
{
    const std::vector<pack::PackFile> files = {{"f.txt", test::SampleText(50000, 3), 1, 2}};
    const size_t size_field = test::FileRecordOffset({""}, files, 0) + 4 + 5 + 4;
    const Bytes package = pack::EncodePackage({""}, files);
    const uint32_t compressed = test::GetU32(package, size_field);

    Bytes short_by_one = package;
    test::PutU32(short_by_one, size_field, compressed - 1);
    EXPECT_EQ(package_status::stream_cut_short, Extract(short_by_one));
    EXPECT_FALSE(Exists(Out(u"f.txt")));

    // Extra recorded bytes that lie inside the package are ignored after the stream's end.
    Bytes padded = package;
    padded.insert(padded.end(), 100, 0xEE);
    test::PutU32(padded, size_field, compressed + 100);
    EXPECT_EQ(0, Extract(padded));
    EXPECT_EQ(files[0].data, Content(Out(u"f.txt")));

    // A range that runs past the end of the package is damage, even if the stream is whole.
    Bytes overlong = package;
    test::PutU32(overlong, size_field, compressed + 1);
    EXPECT_EQ(package_status::stream_cut_short, Extract(overlong));
    Bytes far_away = package;
    test::PutU32(far_away, size_field + 4, 0xFFFFFFF0u);
    EXPECT_EQ(package_status::stream_cut_short, Extract(far_away));
    EXPECT_EQ(files[0].data, Content(Out(u"f.txt"))); // the failed runs left the earlier file
}

TEST_F(ScriptPackageTest, CorruptStreamsStopWithoutWritingTheFailingCallsOutput)
{
    const std::vector<pack::PackFile> files = {{"f.txt", test::SampleText(9000, 4), 1, 2}};
    Bytes bad_check = pack::EncodePackage({""}, files);
    bad_check.back() ^= 0x01; // the Adler-32 check is the stream's last byte
    EXPECT_EQ(package_status::inflate_failed, Extract(bad_check));
    // A file that failed is never put in place, however little of it was written.
    EXPECT_FALSE(Exists(Out(u"f.txt")));

    Bytes bad_header = pack::EncodePackage({""}, files);
    bad_header[test::FileRecordOffset({""}, files, 1)] = 0x77;
    EXPECT_EQ(package_status::inflate_failed, Extract(bad_header));
}

TEST_F(ScriptPackageTest, NamesThatWouldLeaveTheDestinationAreRefused)
{
    const char* unsafe[] = {
        "..",         "..\\evil",  "a/../../evil", "a\\..",      "C:\\evil",
        "C:evil",     "c:/evil",   "\\evil",       "/evil",      "\\\\server\\share",
        "//server/x", "a\\...\\b", "a\\. .\\b",    "file:stream"};
    for (const char* name : unsafe) {
        SCOPED_TRACE(name);
        memsys::reset();
        memsys::add_folder(u"C:\\Host");
        EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({name}, {})));
        EXPECT_EQ(package_status::file_not_opened,
                  Extract(pack::EncodePackage({""}, {{name, "payload", 0, 0}})));
        EXPECT_TRUE(PathsOutsideDestination().empty());
    }

    memsys::reset();
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({"x"}, {{"", "data", 0, 0}})));
    EXPECT_FALSE(Exists(destination) && !IsFolder(destination));
    // A NUL would cut the path short at the system call: "..\0x" must not become "..".
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({""}, {{std::string("..\0x", 4), "data", 0, 0}})));
    EXPECT_EQ(package_status::folder_not_created,
              Extract(pack::EncodePackage({std::string("ok\0..", 5)}, {})));
    // Dots inside a name are ordinary characters.
    EXPECT_EQ(0, Extract(pack::EncodePackage({"v1..2"}, {{"v1..2\\..name", "ok", 0, 0}})));
    EXPECT_EQ("ok", Content(Out(u"v1..2\\..name")));
}

// On Windows these open a device instead of a file under the destination: "NUL" swallows the
// bytes and reports success, "AUX" as a folder makes nothing.
TEST_F(ScriptPackageTest, ReservedDeviceNamesAreRefusedInAnyComponent)
{
    const char* devices[] = {"NUL",      "con",      "AUX.jsx",     "COM1",   "LPT9.txt",
                             "CONIN$",   "conout$",  "Prn",         "nul.",   "NUL ",
                             "aux .txt", "Com0.a.b", "LPT\xC2\xB3", "a\\nul", "a\\CON\\b"};
    for (const char* name : devices) {
        SCOPED_TRACE(name);
        memsys::reset();
        EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({name}, {})));
        EXPECT_EQ(package_status::file_not_opened,
                  Extract(pack::EncodePackage({"a"}, {{name, "payload", 0, 0}})));
        EXPECT_EQ(std::vector<std::u16string>{Out(u"a")}, PathsBelowDestination());
    }
    // Names that only look like devices are ordinary files.
    for (const char* name : {"CONSOLE", "NULL.txt", "COM10", "LPT", "AUX1", "xcon", "con_x.jsx"}) {
        SCOPED_TRACE(name);
        memsys::reset();
        EXPECT_EQ(0, Extract(pack::EncodePackage({""}, {{name, "ok", 0, 0}})));
        EXPECT_EQ("ok", Content(Out(zksdk::ui::utf8_to_utf16(name))));
    }
}

// A link on the way would carry writes elsewhere, inside the destination or above it.
TEST_F(ScriptPackageTest, RecordsThroughALinkInsideTheDestinationAreRefused)
{
    memsys::add_link(Out(u"linked"));
    const struct {
        std::vector<std::string> folders;
        std::vector<pack::PackFile> files;
        int32_t expected;
    } cases[] = {
        {{"linked"}, {}, package_status::folder_not_created},
        {{"Linked/deeper/still"}, {}, package_status::folder_not_created},
        {{}, {{"linked\\f.txt", "x", 0, 0}}, package_status::file_not_opened},
        {{}, {{"LINKED", "x", 0, 0}}, package_status::file_not_opened},
    };
    for (const auto& broken : cases) {
        EXPECT_EQ(broken.expected, Extract(pack::EncodePackage(broken.folders, broken.files)));
        EXPECT_EQ(std::vector<std::u16string>{Out(u"linked")}, PathsBelowDestination());
    }

    // The destination itself is no exception: the whole way is checked.
    memsys::reset();
    memsys::add_folder(u"D:\\Elsewhere");
    memsys::add_link(destination, u"D:\\Elsewhere");
    EXPECT_EQ(package_status::folder_not_created,
              Extract(pack::EncodePackage({"ok"}, {{"ok\\a.txt", "fine", 0, 0}})));
    EXPECT_EQ(package_status::file_not_opened,
              Extract(pack::EncodePackage({}, {{"a.txt", "fine", 0, 0}})));
    EXPECT_FALSE(Exists(u"D:\\Elsewhere\\a.txt"));
    EXPECT_FALSE(Exists(u"D:\\Elsewhere\\ok"));

    // Reparse points that are no links: a OneDrive placeholder folder, a deduplicated or a
    // compressed file. Each is written through and replaced like any other.
    for (const uint32_t tag :
         {sys::reparse_tag_cloud, sys::reparse_tag_dedup, sys::reparse_tag_wof}) {
        SCOPED_TRACE(tag);
        memsys::reset();
        memsys::add_folder(destination);
        memsys::add_folder(Out(u"panels"));
        memsys::add_file(Out(u"panels\\a.jsx"), "old");
        memsys::set_reparse_tag(Out(u"panels"), tag);
        memsys::set_reparse_tag(Out(u"panels\\a.jsx"), tag);
        EXPECT_EQ(0, Extract(pack::EncodePackage({"panels"}, {{"panels\\a.jsx", "new", 0, 0}})));
        EXPECT_EQ("new", Content(Out(u"panels\\a.jsx")));
    }
    memsys::set_reparse_tag(Out(u"panels"), sys::reparse_tag_symlink);
    EXPECT_EQ(package_status::folder_not_created, Extract(pack::EncodePackage({"panels"}, {})));
}

TEST_F(ScriptPackageTest, SystemFailuresGiveTheirCodes)
{
    const std::vector<pack::PackFile> files = {{"dir\\f.txt", test::SampleText(40000, 5), 9, 9}};
    const Bytes package = pack::EncodePackage({"dir"}, files);

    memsys::fail(memsys::op::create_directory, 1, u"dir");
    EXPECT_EQ(package_status::folder_not_created, Extract(package));

    memsys::reset();
    memsys::fail(memsys::op::open_file, 1);
    EXPECT_EQ(package_status::file_not_opened, Extract(package));

    memsys::reset();
    memsys::fail(memsys::op::write_file, 1);
    EXPECT_EQ(package_status::write_failed, Extract(package));
    EXPECT_FALSE(Exists(Out(u"dir\\f.txt")));

    memsys::reset();
    memsys::limit_writes(100); // a short write is a failed write
    EXPECT_EQ(package_status::write_failed, Extract(package));

    memsys::reset();
    test::FailNextInflateInit(1);
    EXPECT_EQ(package_status::inflate_not_started, Extract(package));
    EXPECT_FALSE(Exists(Out(u"dir\\f.txt")));

    // Times that cannot be set are not a failure of the extraction.
    memsys::reset();
    memsys::fail(memsys::op::set_file_times);
    EXPECT_EQ(0, Extract(package));
    EXPECT_FALSE(memsys::find(Out(u"dir\\f.txt"))->last_write.has_value());
}

TEST(FileTimes, ConvertWithoutOverflow)
{
    int64_t ticks = 0;
    EXPECT_TRUE(UnixTimeToFileTime(0, &ticks));
    EXPECT_EQ(116444736000000000, ticks);
    EXPECT_TRUE(UnixTimeToFileTime(-11644473600, &ticks));
    EXPECT_EQ(0, ticks);
    EXPECT_FALSE(UnixTimeToFileTime(-11644473601, &ticks));
    EXPECT_FALSE(UnixTimeToFileTime(INT64_MAX, &ticks));
    EXPECT_FALSE(UnixTimeToFileTime(INT64_MIN, &ticks));
}

} // namespace
} // namespace nimbic
