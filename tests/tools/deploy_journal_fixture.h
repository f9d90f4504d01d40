// nimbic-deploy's journal tests on the memory machine: two versions holding an older plug-in,
// CC2018 also the older panels and the user's own file beside the plug-in, and the older
// version's install record; "byte for byte as before" as a list of every file, its bytes and
// times.
#pragma once

#include "tests/tools/deploy_fixture.h"

#include "engine/install_record.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic::test {

inline const std::u16string journal = u"C:\\Work\\journal.txt";
inline const std::u16string record_path = u"C:\\Work\\install-record.txt";
inline const std::string old_plugin = "MZ older module";
inline const std::string old_panel = "// older panel";
inline const std::string retired_panel = "// a panel the older version shipped";

inline std::u16string Retired(const std::u16string& support)
{
    return support + u"\\Scripts\\ScriptUI Panels\\NimbicLegacy.jsx";
}

class DeployJournalTest : public DeployTest {
protected:
    // Both versions hold an older plug-in; CC2018 also the older panel and one this version no
    // longer ships, the user's own file beside the plug-in, and the older version's record.
    void SetUp() override
    {
        DeployTest::SetUp();
        InstallRecord record;
        auto place = [&](const std::string& target, record_component component,
                         const std::u16string& path, const std::string& bytes) {
            memsys::add_file(path, bytes);
            sys::set_file_times(path, 131000000000000000, 132000000000000000);
            record.Add({component, target, path, bytes.size(), Sha256Of(bytes)});
        };
        memsys::add_folder(cc2018 + u"\\Plug-ins\\Vantrel");
        memsys::add_folder(v2019 + u"\\Plug-ins\\Vantrel");
        memsys::add_folder(cc2018 + u"\\Scripts\\ScriptUI Panels");
        place("CC2018", record_component::plugin, Plugin(cc2018), old_plugin);
        place("2019", record_component::plugin, Plugin(v2019), old_plugin);
        place("CC2018", record_component::script, Panel(cc2018), old_panel);
        place("CC2018", record_component::script, Retired(cc2018), retired_panel);
        memsys::add_file(cc2018 + u"\\Plug-ins\\Vantrel\\settings.txt", "the studio's own");
        ASSERT_EQ(record_status::ok, record.Save(record_path));
    }

    // Every folder and file with its bytes and times: "byte for byte as before".
    static std::vector<std::string> Tree()
    {
        std::vector<std::string> tree;
        for (const memsys::entry& entry : memsys::entries())
            tree.push_back(zksdk::ui::utf16_to_utf8(entry.path) + (entry.folder ? "\\ " : " ") +
                           entry.bytes + " " + std::to_string(entry.creation.value_or(-1)) + " " +
                           std::to_string(entry.last_write.value_or(-1)));
        return tree;
    }

    // What differs from `before`: "-" what is gone or changed, "+" what is new or changed.
    static std::vector<std::string> Changes(const std::vector<std::string>& before)
    {
        const std::vector<std::string> now = Tree();
        std::vector<std::string> changes;
        for (const std::string& line : before) {
            if (std::find(now.begin(), now.end(), line) == now.end())
                changes.push_back("- " + line.substr(0, 160));
        }
        for (const std::string& line : now) {
            if (std::find(before.begin(), before.end(), line) == before.end())
                changes.push_back("+ " + line.substr(0, 160));
        }
        return changes;
    }

    static bool AnyNamed(std::u16string_view piece)
    {
        const std::vector<memsys::entry> all = memsys::entries();
        return std::any_of(all.begin(), all.end(), [&](const memsys::entry& entry) {
            return entry.path.find(piece) != std::u16string::npos;
        });
    }
};

} // namespace nimbic::test
