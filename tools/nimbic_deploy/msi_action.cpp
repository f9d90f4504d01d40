// nimbic-deploy-action.dll: nimbic-deploy's commands as the MSI's custom actions. A deferred
// action's command line comes in CustomActionData, and every line the command prints goes to
// the Windows Installer log (msiexec /l*v), so the cause of a 1603 is in the log an admin
// already collects. The commands run inside the DLL rather than in nimbic-deploy.exe: the commit
// action of an uninstall runs after Windows Installer has removed the installed programs, when
// only the package's Binary table is left to run from.
#include "toolkit/core/text_conversion.h"
#include "tools/nimbic_deploy/action_arguments.h"
#include "tools/nimbic_deploy/deploy.h"

#include <windows.h>
#include <msiquery.h>

#include <string>
#include <type_traits>

namespace {

// The msi.dll calls the action makes, looked up in the msi.dll that loaded it: an import would
// make the loader search for msi.dll, which is no known DLL, beside our own file first.
struct InstallerCalls {
    decltype(&MsiGetPropertyW) get_property = nullptr;
    decltype(&MsiCreateRecord) create_record = nullptr;
    decltype(&MsiRecordSetStringW) set_string = nullptr;
    decltype(&MsiProcessMessage) process_message = nullptr;
    decltype(&MsiCloseHandle) close_handle = nullptr;

    bool Load()
    {
        const HMODULE msi = GetModuleHandleW(L"msi.dll");
        if (!msi)
            return false;
        auto find = [&](auto& call, const char* name) {
            call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(
                reinterpret_cast<void*>(GetProcAddress(msi, name)));
            return call != nullptr;
        };
        return find(get_property, "MsiGetPropertyW") && find(create_record, "MsiCreateRecord") &&
               find(set_string, "MsiRecordSetStringW") &&
               find(process_message, "MsiProcessMessage") && find(close_handle, "MsiCloseHandle");
    }
};

// Lines to the installer's log, one INSTALLMESSAGE_INFO each; a call may bring several lines
// or part of one.
class InstallerLog {
public:
    InstallerLog(const InstallerCalls& calls, MSIHANDLE install)
        : m_calls(calls), m_install(install)
    {
    }
    InstallerLog(const InstallerLog&) = delete;
    InstallerLog& operator=(const InstallerLog&) = delete;
    ~InstallerLog() { Flush(); }

    void Write(std::string_view text)
    {
        for (const char c : text) {
            if (c == '\n') {
                Flush();
            } else if (c != '\r') {
                m_line += c;
            }
        }
    }

    void Flush()
    {
        if (m_line.empty())
            return;
        Send(m_line);
        m_line.clear();
    }

    void Send(const std::string& line) const
    {
        const MSIHANDLE record = m_calls.create_record(1);
        if (!record)
            return;
        // The text is a field of its own, not the template: brackets in a path stay as written.
        const std::u16string wide = zksdk::ui::utf8_to_utf16(line);
        m_calls.set_string(record, 0, L"[1]");
        m_calls.set_string(record, 1, reinterpret_cast<const wchar_t*>(wide.c_str()));
        m_calls.process_message(m_install, INSTALLMESSAGE_INFO, record);
        m_calls.close_handle(record);
    }

private:
    const InstallerCalls& m_calls;
    MSIHANDLE m_install;
    std::string m_line;
};

// CustomActionData, the only property a deferred action can read.
std::u16string ActionData(const InstallerCalls& calls, MSIHANDLE install)
{
    wchar_t none[1] = {};
    DWORD length = 0;
    if (calls.get_property(install, L"CustomActionData", none, &length) != ERROR_MORE_DATA)
        return {};
    std::u16string data(length + 1, u'\0');
    length += 1;
    if (calls.get_property(install, L"CustomActionData", reinterpret_cast<wchar_t*>(data.data()),
                           &length) != ERROR_SUCCESS)
        return {};
    data.resize(length);
    return data;
}

} // namespace

// The entry point every action of the package names (the CustomAction table's Target).
//
// Unlike our programs, the action leaves the process's DLL search and mitigation policies
// alone: the process is Windows Installer's custom-action server, which may go on to run other
// actions, and both settings are process-wide (the redirection policy cannot be taken back).
// Nor would they protect anything: the server runs from System32, so its own folder is the
// system's, Windows Installer loads this DLL by its whole path from a folder only it writes,
// and the DLL imports known DLLs only and finds msi.dll among the modules already loaded.
// Every file the commands open is checked through its handle for links anyway.
extern "C" __declspec(dllexport) UINT __stdcall NimbicDeploy(MSIHANDLE install)
{
    InstallerCalls calls;
    if (!calls.Load())
        return ERROR_INSTALL_FAILURE;
    try {
        InstallerLog log(calls, install);
        const std::u16string data = ActionData(calls, install);
        log.Send("nimbic-deploy " + zksdk::ui::utf16_to_utf8(data));
        const int code = nimbic::deploy::Run(nimbic::deploy::ActionArguments(data),
                                             {[&](std::string_view text) { log.Write(text); },
                                              [&](std::string_view text) { log.Write(text); }});
        log.Flush();
        log.Send("nimbic-deploy ended with " + std::to_string(code));
        // A deferred action cannot ask Windows Installer for the restart (MsiSetMode is not
        // open to it); the files left for the restart go then all the same, and the log says so.
        return code == nimbic::deploy::exit_code::done ||
                       code == nimbic::deploy::exit_code::restart_needed
                   ? ERROR_SUCCESS
                   : ERROR_INSTALL_FAILURE;
    } catch (...) {
        // Nothing may leave the DLL into the installer; out of memory is the one way here.
        return ERROR_INSTALL_FAILURE;
    }
}
