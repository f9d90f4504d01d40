// nimbic-hosts: prints the install targets the installer would offer on this machine, one line
// each: index, display name, ticked, plug-in folder, scripts folder (tab separated, UTF-8).
#include "engine/install_state.h"
#include "engine/system/win32/dll_search.h"
#include "toolkit/core/text_conversion.h"

#include <windows.h>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

int wmain()
{
    nimbic::sys::restrict_dll_search_to_system32();
    // Raw UTF-8 bytes, so a redirected listing is the same text the console shows.
    _setmode(_fileno(stdout), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);

    nimbic::InstallState state;
    std::vector<nimbic::InstallTarget> targets;
    nimbic::BuildInstallTargets(state, targets);
    for (const nimbic::InstallTarget& target : targets) {
        const std::string line = std::to_string(target.index) + "\t" +
                                 state.version_names()[static_cast<size_t>(target.index)] + "\t" +
                                 (target.ticked ? "1" : "0") + "\t" +
                                 zksdk::ui::utf16_to_utf8(target.plugin_folder) + "\t" +
                                 zksdk::ui::utf16_to_utf8(target.scripts_folder) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}
