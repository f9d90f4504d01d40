// The install record on the memory machine: what it keeps across runs, how it reads a damaged
// file, and that saving replaces it whole.
#include "engine/install_record.h"

#include "tests/engine/memory_fixture.h"

namespace nimbic {
namespace {

const std::u16string record_path =
    u"C:\\Program Files\\Vantrel\\Nimbic Plug-in\\install-record.txt";

RecordEntry Entry(record_component component, std::string target, std::u16string path,
                  std::string_view bytes)
{
    return {component, std::move(target), std::move(path), bytes.size(), Sha256Of(bytes)};
}

class InstallRecordTest : public test::MemoryMachineTest {};

TEST_F(InstallRecordTest, GrowsAcrossRunsAndReadsBackWhatWasSaved)
{
    std::u16string folder;
    ASSERT_TRUE(ProductFolder(&folder));
    EXPECT_EQ(record_path, RecordPathIn(folder));

    InstallRecord first;
    EXPECT_EQ(record_status::missing, first.Load(record_path));
    // Each target's files together, its plug-in first, whatever order they came in (a plug-in
    // a host held goes in after the panel, at a retry).
    first.Add(Entry(record_component::script, "2019",
                    u"C:\\AE\\Scripts\\ScriptUI Panels\\Nimbic.jsx", "panel"));
    first.Add(
        Entry(record_component::script, "Custom", u"D:\\S\\ScriptUI Panels\\Nimbic.jsx", "panel"));
    first.Add(
        Entry(record_component::plugin, "2019", u"C:\\AE\\Plug-ins\\Vantrel\\Nimbic.aex", "old"));
    // The product folder is made on the first save.
    ASSERT_EQ(record_status::ok, first.Save(record_path));

    // A later run (the wizard's Custom target, then the same version again) adds to it; an
    // entry for the same path, in any case, replaces the earlier one where it stood.
    InstallRecord later;
    ASSERT_EQ(record_status::ok, later.Load(record_path));
    later.Add(
        Entry(record_component::plugin, "Custom", u"D:\\M\u00FCller\\Vantrel\\Nimbic.aex", "new"));
    later.Add(
        Entry(record_component::plugin, "2019", u"c:\\ae\\PLUG-INS\\Vantrel\\Nimbic.aex", "newer"));
    ASSERT_EQ(record_status::ok, later.Save(record_path));

    InstallRecord read;
    ASSERT_EQ(record_status::ok, read.Load(record_path));
    ASSERT_EQ(4u, read.entries().size());
    EXPECT_EQ(u"c:\\ae\\PLUG-INS\\Vantrel\\Nimbic.aex", read.entries()[0].path);
    EXPECT_EQ(Sha256Of("newer"), read.entries()[0].sha256);
    EXPECT_EQ(5u, read.entries()[0].size);
    EXPECT_EQ(record_component::script, read.entries()[1].component);
    EXPECT_EQ("Custom", read.entries()[2].target);
    EXPECT_EQ(u"D:\\M\u00FCller\\Vantrel\\Nimbic.aex", read.entries()[2].path);
    EXPECT_EQ(u"D:\\S\\ScriptUI Panels\\Nimbic.jsx", read.entries()[3].path);
    EXPECT_NE(nullptr, read.Find(u"C:\\AE\\SCRIPTS\\ScriptUI Panels\\nimbic.jsx"));
    EXPECT_TRUE(read.Remove(u"C:\\AE\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_FALSE(read.Remove(u"C:\\AE\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_EQ(3u, read.entries().size());
}

TEST_F(InstallRecordTest, DamagedRecordsKeepTheirGoodLinesAndOthersAreRefused)
{
    const std::string good = "plug-in\t2019\t3\t" + HexDigest(Sha256Of("old")) + "\tC:\\A\\x.aex";
    const struct {
        const char* name;
        std::string text;
        record_status status;
        size_t entries;
    } cases[] = {
        {"whole", "Nimbic install record 1\r\n" + good + "\r\n", record_status::ok, 1},
        {"no final line break", "Nimbic install record 1\n" + good, record_status::ok, 1},
        {"not a record", "[Settings]\r\n" + good + "\r\n", record_status::damaged, 0},
        {"empty file", "", record_status::damaged, 0},
        {"bad lines among good ones",
         "Nimbic install record 1\r\n" + good + "\r\nplug-in\t2019\tlots\t" +
             HexDigest(Sha256Of("x")) + "\tC:\\b\r\nmodule\t2019\t1\t" + HexDigest(Sha256Of("x")) +
             "\tC:\\c\r\nscript\t2019\t1\tabc\tC:\\d\r\nscript\t2019\t1\t" +
             HexDigest(Sha256Of("x")) + "\t\r\nscript\t2019\t1\r\n",
         record_status::damaged, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        memsys::reset();
        memsys::add_folder(u"C:\\Program Files");
        memsys::add_file(u"C:\\Program Files\\record.txt", test.text);
        InstallRecord record;
        EXPECT_EQ(test.status, record.Load(u"C:\\Program Files\\record.txt"));
        EXPECT_EQ(test.entries, record.entries().size());
    }

    memsys::fail(memsys::op::read_file);
    InstallRecord record;
    EXPECT_EQ(record_status::unreadable, record.Load(u"C:\\Program Files\\record.txt"));
}

TEST_F(InstallRecordTest, AFailedSaveLeavesTheEarlierRecordWhole)
{
    InstallRecord record;
    record.Add(Entry(record_component::plugin, "2019", u"C:\\A\\Vantrel\\Nimbic.aex", "one"));
    ASSERT_EQ(record_status::ok, record.Save(record_path));
    const std::string earlier = Content(record_path);
    const size_t entries = memsys::entries().size();
    record.Add(Entry(record_component::plugin, "2020", u"C:\\B\\Vantrel\\Nimbic.aex", "two"));
    for (const memsys::op operation : {memsys::op::open_file, memsys::op::write_file,
                                       memsys::op::flush_file, memsys::op::replace_file}) {
        SCOPED_TRACE(static_cast<int>(operation));
        memsys::fail(operation, 1);
        EXPECT_EQ(record_status::not_written, record.Save(record_path));
        EXPECT_EQ(earlier, Content(record_path));
        EXPECT_EQ(entries, memsys::entries().size()) << "a temporary file was left";
    }
    EXPECT_EQ(record_status::ok, record.Save(record_path));
    EXPECT_EQ(record.Text(), Content(record_path));
}

} // namespace
} // namespace nimbic
