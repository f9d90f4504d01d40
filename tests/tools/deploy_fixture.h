// nimbic-deploy's tests on the memory machine: two registered versions, a setup program in a
// download folder, and a way to run a command line and keep what it printed.
#pragma once

#include "tools/nimbic_deploy/deploy.h"

#include "engine/install_worker.h"
#include "engine/system/memory/memory_system.h"
#include "engine/system/system.h"
#include "tests/engine/memory_fixture.h"
#include "tools/nimbic_pack/package_writer.h"

#include <algorithm>
#include <initializer_list>
#include <map>

namespace nimbic::test {

inline const std::u16string setup = u"C:\\Downloads\\NimbicSetup.exe";
inline const std::u16string cc2018 = u"C:\\AE\\Adobe After Effects CC 2018\\Support Files";
inline const std::u16string v2019 = u"C:\\AE\\Adobe After Effects 2019\\Support Files";
inline const std::string plugin_bytes =
    std::string("MZ\x90\0nimbic plug-in", 19) + std::string(5000, 'p');
inline const std::string panel_script = "// Nimbic panel\r\nvar panel = this;\r\n";

inline std::u16string Plugin(const std::u16string& support)
{
    return support + u"\\Plug-ins\\Vantrel\\Nimbic.aex";
}

inline std::u16string Panel(const std::u16string& support)
{
    return support + u"\\Scripts\\ScriptUI Panels\\Nimbic.jsx";
}

inline std::map<int, std::string> SetupResources()
{
    const std::vector<unsigned char> package = pack::EncodePackage(
        {"ScriptUI Panels"}, {{"ScriptUI Panels\\Nimbic.jsx", panel_script, 1, 2}});
    return {{plugin_resource_id, plugin_bytes},
            {scripts_resource_id, std::string(package.begin(), package.end())}};
}

// Every piece is in the text and no unwanted one is.
inline ::testing::AssertionResult Holds(const std::string& text,
                                        std::initializer_list<std::string_view> pieces,
                                        std::initializer_list<std::string_view> unwanted = {})
{
    for (const std::string_view piece : pieces) {
        if (text.find(piece) == std::string::npos)
            return ::testing::AssertionFailure() << "no \"" << piece << "\" in:\n" << text;
    }
    for (const std::string_view piece : unwanted) {
        if (text.find(piece) != std::string::npos)
            return ::testing::AssertionFailure() << "\"" << piece << "\" in:\n" << text;
    }
    return ::testing::AssertionSuccess();
}

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

class DeployTest : public MemoryMachineTest {
protected:
    void SetUp() override
    {
        MemoryMachineTest::SetUp();
        memsys::add_program(setup, SetupResources());
        Register(u"15.0", cc2018);
        Register(u"16.0", v2019);
    }

    static void Register(const std::u16string& sub_key, const std::u16string& support)
    {
        const std::u16string key = u"SOFTWARE\\Adobe\\After Effects\\" + sub_key;
        memsys::set_registry_string(memsys::registry_view::native, key, u"PluginInstallPath",
                                    support + u"\\Plug-ins");
        memsys::add_folder(support + u"\\Plug-ins");
        memsys::add_folder(support + u"\\Scripts");
    }

    static Outcome Deploy(std::vector<std::u16string> arguments)
    {
        Outcome outcome{0, {}, {}};
        deploy::Console console{[&](std::string_view text) { outcome.out += text; },
                                [&](std::string_view text) { outcome.err += text; }};
        outcome.code = deploy::Run(arguments, console);
        return outcome;
    }

    static std::vector<std::u16string> Paths()
    {
        std::vector<std::u16string> paths;
        for (const memsys::entry& entry : memsys::entries())
            paths.push_back(entry.path + (entry.folder ? u"\\" : u"") + u" " +
                            std::u16string(entry.bytes.begin(), entry.bytes.end()));
        return paths;
    }
};

} // namespace nimbic::test
