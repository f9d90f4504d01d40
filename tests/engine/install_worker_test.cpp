// The install worker on the in-memory machine: every status code it can record, the order of
// its work, retries, and (also under ThreadSanitizer) reading its cells while it runs.
#include "engine/install_worker.h"

#include "engine/script_package.h"
#include "tests/engine/memory_fixture.h"
#include "tests/engine/package_bytes.h"
#include "tests/engine/zlib_fault.h"

#include <functional>

namespace nimbic {
namespace {

using test::Bytes;

const std::string plugin_module = "MZ" + std::string(70000, '\x90');

class InstallWorkerTest : public test::MemoryMachineTest {
protected:
    void SetUp() override
    {
        test::MemoryMachineTest::SetUp();
        SetPackage(Package());
        memsys::set_resource(plugin_resource_id, plugin_module);
        for (const char16_t* host :
             {u"C:\\AE1", u"C:\\AE1\\Plug-ins", u"C:\\AE2", u"C:\\AE2\\Plug-ins"})
            memsys::add_folder(host);
    }

    static Bytes Package()
    {
        return pack::EncodePackage({"ScriptUI Panels"},
                                   {{"ScriptUI Panels\\Nimbic.jsx", test::SampleText(4084), 1, 2}});
    }
    static void SetPackage(const Bytes& package)
    {
        memsys::set_resource(scripts_resource_id, std::string(package.begin(), package.end()));
    }

    void Run(std::vector<std::u16string> plugins, std::vector<std::u16string> scripts)
    {
        RunInstall(m_state, std::move(plugins), std::move(scripts));
        EXPECT_TRUE(m_state.done());
    }

    std::vector<int32_t> PluginCells() const { return Cells(m_state.plugin_cells()); }
    std::vector<int32_t> ScriptsCells() const { return Cells(m_state.scripts_cells()); }
    static std::vector<int32_t> Cells(const StatusCells& cells)
    {
        std::vector<int32_t> values;
        for (size_t i = 0; i < cells.size(); ++i)
            values.push_back(cells.get(i));
        return values;
    }

    InstallState m_state;
};

TEST_F(InstallWorkerTest, InstallsEveryTickedTargetAndTheMakersFolder)
{
    Run({u"C:\\AE1\\Plug-ins", u"", u"C:\\AE2\\Plug-ins\\"},
        {u"C:\\AE1\\Scripts", u"", u"C:\\AE2\\Deep\\Missing\\Scripts"});
    EXPECT_EQ((std::vector<int32_t>{2, 0, 2}), PluginCells());
    EXPECT_EQ((std::vector<int32_t>{2, 0, 2}), ScriptsCells());
    EXPECT_EQ(plugin_module, Content(u"C:\\AE1\\Plug-ins\\Vantrel\\Nimbic.aex"));
    // A trailing backslash doubles the separator; the file lands in the same place.
    EXPECT_EQ(plugin_module, Content(u"C:\\AE2\\Plug-ins\\Vantrel\\Nimbic.aex"));
    EXPECT_EQ(test::SampleText(4084), Content(u"C:\\AE1\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    // The package's folder records make the missing parents the one-level create could not.
    EXPECT_TRUE(Exists(u"C:\\AE2\\Deep\\Missing\\Scripts\\ScriptUI Panels\\Nimbic.jsx"));
    EXPECT_TRUE(IsFolder(u"C:\\ProgramData\\Vantrel"));
}

TEST_F(InstallWorkerTest, PluginFailuresAreRecordedPerTargetAndEveryTargetIsTried)
{
    const struct {
        const char* name;
        memsys::op operation;
        int32_t status;
    } cases[] = {{"resource missing", memsys::op::resource_find, 20},
                 {"resource not loaded", memsys::op::resource_load, 30},
                 {"file not created", memsys::op::open_file, 40},
                 {"file not written", memsys::op::write_file, 50}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        SetUp();
        memsys::fail(test.operation, 1);
        Run({u"C:\\AE1\\Plug-ins", u"C:\\AE2\\Plug-ins"}, {});
        EXPECT_EQ((std::vector<int32_t>{test.status, 2}), PluginCells());
    }

    SetUp();
    memsys::hold_file(u"C:\\AE1\\Plug-ins\\Vantrel\\Nimbic.aex"); // loaded by a running host
    Run({u"C:\\AE1\\Plug-ins", u"C:\\NoSuchHost\\Plug-ins", u"C:\\AE2\\Plug-ins"}, {});
    EXPECT_EQ((std::vector<int32_t>{40, 40, 2}), PluginCells());
    memsys::release_file(u"C:\\AE1\\Plug-ins\\Vantrel\\Nimbic.aex");

    SetUp();
    memsys::limit_writes(4096); // fewer bytes than the module holds
    Run({u"C:\\AE1\\Plug-ins"}, {});
    EXPECT_EQ((std::vector<int32_t>{50}), PluginCells());

    // A Vantrel folder a standard user made could change under an elevated run: refused then.
    SetUp();
    memsys::add_folder(u"C:\\AE1\\Plug-ins\\Vantrel");
    memsys::set_administrator_owner(u"C:\\AE1\\Plug-ins\\Vantrel", false);
    Run({u"C:\\AE1\\Plug-ins", u"C:\\AE2\\Plug-ins"}, {});
    EXPECT_EQ((std::vector<int32_t>{46, 2}), PluginCells());
    EXPECT_FALSE(Exists(u"C:\\AE1\\Plug-ins\\Vantrel\\Nimbic.aex"));
    memsys::set_elevated(false);
    Run({u"C:\\AE1\\Plug-ins"}, {});
    EXPECT_EQ((std::vector<int32_t>{2}), PluginCells());
}

TEST_F(InstallWorkerTest, TheFirstScriptsFailureEndsTheRun)
{
    const Bytes good = Package();
    Bytes bad_magic = good;
    bad_magic[0] = 'x';
    const Bytes file_record_cut(good.begin(), good.begin() + 30);
    const Bytes folder_record_cut(good.begin(), good.begin() + 10);
    Bytes corrupt = good;
    corrupt.back() ^= 0x55;
    const Bytes stream_cut(good.begin(), good.end() - 10);

    const struct {
        const char* name;
        Bytes package;
        std::optional<memsys::op> fault;
        int32_t status;
    } cases[] = {
        {"resource not found", good, memsys::op::resource_find, 60},
        {"resource not loaded", good, memsys::op::resource_load, 60},
        {"resource not locked", good, memsys::op::resource_lock, 60},
        {"bad magic", bad_magic, std::nullopt, 111},
        {"file record past the end", file_record_cut, std::nullopt, 112},
        {"file not opened", good, memsys::op::open_file, 120},
        {"inflate error", corrupt, std::nullopt, 122},
        {"write error", good, memsys::op::write_file, 123},
        {"stream cut short", stream_cut, std::nullopt, 124},
        {"folder record past the end", folder_record_cut, std::nullopt, 130},
        {"folder not created", good, memsys::op::create_directory, 131},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        SetUp();
        SetPackage(test.package);
        if (test.status == 60)
            memsys::fail(*test.fault);
        else if (test.fault)
            memsys::fail(*test.fault, -1, u"AE1\\Scripts");
        Run({}, {u"C:\\AE1\\Scripts", u"C:\\AE2\\Scripts"});
        EXPECT_EQ((std::vector<int32_t>{test.status, 0}), ScriptsCells());
        EXPECT_FALSE(Exists(u"C:\\ProgramData\\Vantrel"));
    }

    SetUp();
    test::FailNextInflateInit(1);
    Run({}, {u"C:\\AE1\\Scripts", u"C:\\AE2\\Scripts"});
    EXPECT_EQ((std::vector<int32_t>{200, 0}), ScriptsCells());
}

// The plug-in and the script each replace an older copy whole or not at all: after any failure
// the old bytes are there and no temporary file is left; after success the new file is whole.
TEST_F(InstallWorkerTest, FilesAreReplacedWholeOrNotAtAll)
{
    const std::u16string plugin = u"C:\\AE1\\Plug-ins\\Vantrel\\Nimbic.aex";
    const std::u16string script = u"C:\\AE1\\Scripts\\ScriptUI Panels\\Nimbic.jsx";
    const std::string old_plugin = "MZ old module";
    const std::string old_script = "// old panel";
    const struct {
        const char* name;
        std::function<void()> fault;
        int32_t plugin_status;
        int32_t scripts_status;
    } cases[] = {
        {"temporary files not created", [] { memsys::fail(memsys::op::open_file); }, 40, 120},
        {"disk full part-way", [] { memsys::fail_writes_after(1000); }, 50, 123},
        {"short write", [] { memsys::limit_writes(512); }, 50, 123},
        {"write error", [] { memsys::fail(memsys::op::write_file); }, 50, 123},
        {"flush error", [] { memsys::fail(memsys::op::flush_file); }, 50, 123},
        {"move refused", [] { memsys::fail(memsys::op::replace_file); }, 40, 120},
        {"targets held by a running host",
         [&] {
             memsys::hold_file(plugin);
             memsys::hold_file(script);
         },
         40, 120},
        {"nothing wrong", [] {}, 2, 2},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        SetUp();
        memsys::add_folder(u"C:\\AE1\\Plug-ins\\Vantrel");
        memsys::add_folder(u"C:\\AE1\\Scripts\\ScriptUI Panels");
        memsys::add_file(plugin, old_plugin);
        memsys::add_file(script, old_script);
        test.fault();
        Run({u"C:\\AE1\\Plug-ins"}, {u"C:\\AE1\\Scripts"});
        memsys::release_file(plugin);
        memsys::release_file(script);
        EXPECT_EQ((std::vector<int32_t>{test.plugin_status}), PluginCells());
        EXPECT_EQ((std::vector<int32_t>{test.scripts_status}), ScriptsCells());
        const bool replaced = test.plugin_status == 2;
        EXPECT_EQ(replaced ? plugin_module : old_plugin, Content(plugin));
        EXPECT_EQ(replaced ? test::SampleText(4084) : old_script, Content(script));
        EXPECT_EQ(replaced, memsys::find(script)->last_write.has_value());
        for (const memsys::entry& entry : memsys::entries())
            EXPECT_EQ(std::u16string::npos, entry.path.find(u".nimbic-new"));
    }
}

TEST_F(InstallWorkerTest, ARetryRepeatsOnlyWhatFailedAndKeepsTheOtherCells)
{
    memsys::hold_file(u"C:\\AE2\\Plug-ins\\Vantrel\\Nimbic.aex");
    Run({u"C:\\AE1\\Plug-ins", u"C:\\AE2\\Plug-ins"}, {u"C:\\AE1\\Scripts", u"C:\\AE2\\Scripts"});
    EXPECT_EQ((std::vector<int32_t>{2, 40}), PluginCells());
    EXPECT_EQ((std::vector<int32_t>{2, 2}), ScriptsCells());

    memsys::release_file(u"C:\\AE2\\Plug-ins\\Vantrel\\Nimbic.aex");
    memsys::fail(memsys::op::open_file, -1, u"AE1"); // would fail if A were tried again
    Run({u"", u"C:\\AE2\\Plug-ins"}, {u"", u""});
    EXPECT_EQ((std::vector<int32_t>{2, 2}), PluginCells());
    EXPECT_EQ((std::vector<int32_t>{2, 2}), ScriptsCells());

    // Fewer entries drop the surplus cells; more entries add cells at 0.
    Run({u""}, {u"", u"", u""});
    EXPECT_EQ((std::vector<int32_t>{2}), PluginCells());
    EXPECT_EQ((std::vector<int32_t>{2, 2, 0}), ScriptsCells());
}

TEST_F(InstallWorkerTest, WithNothingTickedOnlyTheMakersFolderIsMade)
{
    Run({}, {});
    EXPECT_TRUE(PluginCells().empty());
    EXPECT_TRUE(IsFolder(u"C:\\ProgramData\\Vantrel"));

    // Without the shared folder nothing is made: the current folder is no place for it (the
    // elevated wizard's is System32).
    SetUp();
    memsys::fail(memsys::op::known_folder);
    const size_t before = memsys::entries().size();
    Run({}, {});
    EXPECT_EQ(before, memsys::entries().size());

    SetUp();
    memsys::set_common_app_data(u"C:/Shared/Data");
    Run({}, {});
    EXPECT_TRUE(IsFolder(u"C:\\Shared\\Data\\Vantrel"));
}

TEST_F(InstallWorkerTest, TheInterfaceThreadSeesSizedCellsAndFinalValuesOnceDone)
{
    std::vector<std::u16string> plugins;
    std::vector<std::u16string> scripts;
    for (int i = 0; i < 24; ++i) {
        const std::u16string host = u"C:\\Host" + std::u16string(1, char16_t(u'A' + i));
        memsys::add_folder(host);
        memsys::add_folder(host + u"\\Plug-ins");
        plugins.push_back(i % 5 == 4 ? u"" : host + u"\\Plug-ins");
        scripts.push_back(host + u"\\Scripts");
    }
    m_state.set_done(true); // left over from an earlier run
    std::thread worker = StartInstallWorker(m_state, plugins, scripts);
    // The starter sized the cells and cleared the flag before the thread existed.
    ASSERT_EQ(plugins.size(), m_state.plugin_cells().size());
    ASSERT_EQ(scripts.size(), m_state.scripts_cells().size());

    std::vector<int32_t> seen(plugins.size(), 0);
    while (!m_state.done()) {
        for (size_t i = 0; i < plugins.size(); ++i) {
            const int32_t value = m_state.plugin_cells().get(i);
            EXPECT_GE(value, seen[i]) << "a cell went backwards";
            seen[i] = value;
        }
        std::this_thread::yield();
    }
    // After the flag, every cell holds its final value without further waiting.
    for (size_t i = 0; i < plugins.size(); ++i)
        EXPECT_EQ(plugins[i].empty() ? 0 : 2, m_state.plugin_cells().get(i));
    for (size_t i = 0; i < scripts.size(); ++i)
        EXPECT_EQ(2, m_state.scripts_cells().get(i));
    worker.join();
}

} // namespace
} // namespace nimbic
