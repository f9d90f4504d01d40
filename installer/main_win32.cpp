// NimbicSetup.exe's entry point: relaunch elevated, or run the wizard in the elevated copy.
#include "installer/installer_ui.h"

#include "engine/system/win32/dll_search.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

// The first copy only asks the shell to start an elevated second copy and leaves; the marker
// tells that copy it is the one that shows the wizard.
int RelaunchElevated()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(nullptr), path, MAX_PATH);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = L"runas";
    info.lpFile = path;
    info.lpParameters = L"/UAC";
    info.nShow = SW_SHOWDEFAULT;
    return ShellExecuteExW(&info) ? 0 : 1;
}

void RunInstaller()
{
    nimbic::InstallerUI installer;
    installer.run_modal();
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int)
{
    nimbic::sys::restrict_dll_search_to_system32();
    if (command_line != nullptr && std::wcsstr(command_line, L"/UAC") != nullptr) {
        RunInstaller();
        return 0;
    }
    return RelaunchElevated();
}
