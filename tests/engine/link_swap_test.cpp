// Writes through opened folders on the memory machine: a folder swapped for a link between any
// two steps of a write is caught, and nothing lands where the link leads.
#include "engine/install_worker.h"

#include "engine/script_package.h"
#include "tests/engine/memory_fixture.h"
#include "tests/engine/package_bytes.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic {
namespace {

const std::string old_plugin = "MZ older module";
const std::string old_panel = "// older panel";
const std::string victim = "a file the link leads to";

class LinkSwapTest : public test::MemoryMachineTest {
protected:
    void SetUp() override
    {
        test::MemoryMachineTest::SetUp();
        memsys::set_resource(plugin_resource_id, "MZ" + std::string(9000, 'n'));
        const test::Bytes package = pack::EncodePackage(
            {"ScriptUI Panels"}, {{"ScriptUI Panels\\Nimbic.jsx", "// new panel", 1, 2}});
        memsys::set_resource(scripts_resource_id, std::string(package.begin(), package.end()));
        memsys::add_folder(u"C:\\Host");
        memsys::add_folder(u"C:\\Host\\Plug-ins");
        memsys::add_folder(u"C:\\Host\\Plug-ins\\Vantrel");
        memsys::add_file(u"C:\\Host\\Plug-ins\\Vantrel\\Nimbic.aex", old_plugin);
        memsys::add_folder(u"C:\\Host\\Scripts");
        memsys::add_folder(u"C:\\Host\\Scripts\\ScriptUI Panels");
        memsys::add_file(u"C:\\Host\\Scripts\\ScriptUI Panels\\Nimbic.jsx", old_panel);
        // Where a planted link would lead every name we write.
        memsys::add_folder(u"D:\\Elsewhere");
        memsys::add_folder(u"D:\\Elsewhere\\Vantrel");
        memsys::add_folder(u"D:\\Elsewhere\\ScriptUI Panels");
        for (const char16_t* file :
             {u"D:\\Elsewhere\\Nimbic.aex", u"D:\\Elsewhere\\Nimbic.jsx",
              u"D:\\Elsewhere\\Vantrel\\Nimbic.aex", u"D:\\Elsewhere\\ScriptUI Panels\\Nimbic.jsx"})
            memsys::add_file(file, victim);
        // The shared folder is left out: only the write itself is stepped through.
        memsys::fail(memsys::op::known_folder);
    }

    static std::vector<std::u16string> Below(std::u16string_view folder)
    {
        std::vector<std::u16string> found;
        for (const memsys::entry& entry : memsys::entries()) {
            if (entry.path.starts_with(folder))
                found.push_back(entry.path + u" " +
                                std::u16string(entry.bytes.begin(), entry.bytes.end()));
        }
        return found;
    }

    int32_t Run(bool plugin)
    {
        InstallState state;
        if (plugin) {
            RunInstall(state, {u"C:\\Host\\Plug-ins"}, {});
            return state.plugin_cells().get(0);
        }
        RunInstall(state, {}, {u"C:\\Host\\Scripts"});
        return state.scripts_cells().get(0);
    }
};

TEST_F(LinkSwapTest, AFolderSwappedForALinkBetweenAnyTwoStepsIsCaught)
{
    const struct {
        bool plugin;
        std::u16string swapped; // moved away, and a link to D:\Elsewhere put in its place
        std::u16string file;    // where the earlier file is found afterwards
        int32_t status;
    } cases[] = {
        {true, u"C:\\Host\\Plug-ins\\Vantrel", u"C:\\Host\\Plug-ins\\Vantrel (moved)\\Nimbic.aex",
         install_status::plugin_folder_redirected},
        {true, u"C:\\Host\\Plug-ins", u"C:\\Host\\Plug-ins (moved)\\Vantrel\\Nimbic.aex",
         install_status::plugin_folder_redirected},
        {false, u"C:\\Host\\Scripts\\ScriptUI Panels",
         u"C:\\Host\\Scripts\\ScriptUI Panels (moved)\\Nimbic.jsx",
         install_status::scripts_extraction_base + package_status::redirected},
    };
    for (const auto& test : cases) {
        SetUp();
        const std::vector<std::u16string> elsewhere = Below(u"D:\\");
        size_t start = memsys::file_calls();
        ASSERT_EQ(install_status::done, Run(test.plugin));
        const size_t steps = memsys::file_calls() - start;
        ASSERT_GE(steps, 7u);
        for (size_t step = 1; step <= steps; ++step) {
            SCOPED_TRACE(zksdk::ui::utf16_to_utf8(test.swapped) + ", before step " +
                         std::to_string(step));
            TearDown();
            SetUp();
            start = memsys::file_calls();
            memsys::before_file_call(start + step, [&] {
                memsys::move(test.swapped, test.swapped + u" (moved)");
                memsys::add_link(test.swapped, u"D:\\Elsewhere");
            });
            EXPECT_EQ(test.status, Run(test.plugin));
            EXPECT_EQ(elsewhere, Below(u"D:\\"));
            EXPECT_EQ(test.plugin ? old_plugin : old_panel, Content(test.file));
            for (const memsys::entry& entry : memsys::entries())
                EXPECT_EQ(std::u16string::npos, entry.path.find(u".nimbic-")) << "left behind";
        }
    }
}

} // namespace
} // namespace nimbic
