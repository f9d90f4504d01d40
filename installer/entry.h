// The program's entry logic, apart from the Windows calls it makes: relaunch or run the wizard
// (or the uninstaller), and what the user is told when either goes wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

// What the entry point needs from the system. NimbicSetup.exe fills it with the shell, the
// system's error texts and message boxes; tests fill it with fakes.
struct EntrySystem {
    // Starts `program` elevated, with `arguments` as its whole command line. Returns 0 once the
    // copy has started, else the system's error code. With `exit_code` it also waits for the
    // copy to end and puts its exit code there.
    std::function<uint32_t(const std::u16string& program, const std::u16string& arguments,
                           int* exit_code)>
        relaunch_elevated;
    // The system's own words for an error code.
    std::function<std::string(uint32_t code)> describe_error;
    // A message box with an OK button, owned by no window (the wizard is gone by then).
    std::function<void(const std::string& title, const std::string& text)> show_error;
    // Brings the window of the setup that already runs elevated (the wizard or the uninstaller)
    // to the front; false when there is none. A window a process without administrator rights
    // shows does not count: anyone could show one with that title.
    std::function<bool()> bring_to_front;
    // One line on the error stream, for the console or script that started the program: the
    // quiet uninstall's only output.
    std::function<void(const std::string& line)> print;
};

// The user declined the elevation prompt (ERROR_CANCELLED): nothing to tell them.
inline constexpr uint32_t relaunch_declined = 1223;
inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;

// "/uninstall" and "/uninstall /quiet" end with nimbic-deploy's exit codes, the window's with
// one more for a window closed before UNINSTALL.
namespace uninstall_exit {
constexpr int done = 0;
// The install record cannot be read, is damaged, or a standard user could have written it;
// nothing was changed.
constexpr int unusable = 1;
constexpr int failed = 2;        // a file or the entry could not be removed
constexpr int another_setup = 4; // another setup kept running for 30 s; nothing was changed
// Not run with administrator rights, and the elevation prompt was declined or could not be
// shown; nothing was changed (the window's relaunch ends with exit_failure then).
constexpr int not_elevated = 5;
// The Windows Installer package installed the product: it removes it (Settings > Apps, or
// msiexec /x); no file was removed, only an entry of the wizard's that stood beside the package's.
constexpr int msi_product = 6;
// The window was closed (CANCEL, Escape, Alt+F4) before anything was removed: Windows
// Installer's code for an uninstall the user cancelled.
constexpr int cancelled = 1602;
// "/uninstall" found the wizard's or the uninstaller's window open and brought it to the front;
// nothing was changed. Windows Installer's code for another installation in progress, which
// deployment tools retry later.
constexpr int window_open = 1618;
// Removed, but a file another program holds goes only when Windows restarts: Windows
// Installer's code for the same, which deployment tools count as success with a restart pending.
constexpr int restart_needed = 3010;
} // namespace uninstall_exit

// What the command line asks for. "/UAC" (case-sensitive, anywhere) marks the elevated copy;
// "/uninstall" and "/quiet" choose the uninstall; "/finish-uninstall PID..." is the Temp copy
// that removes the program folder. Numbers after "/finish-uninstall" or "/caller" are processes
// to wait for: "/caller" names the uninstall's first copy, which runs from the program folder
// too.
struct EntryRequest {
    bool elevated_copy = false;
    bool uninstall = false;
    bool quiet = false;
    bool finish_uninstall = false;
    std::vector<uint32_t> processes;
};
EntryRequest ParseEntry(std::u16string_view command_line);

// Without "/UAC" the program relaunches itself elevated (a second setup's window comes forward
// instead); with it, the wizard or the uninstaller runs, one setup at a time. An uninstall's first
// copy waits for its elevated copy and ends with its code, so that whoever started it (Settings >
// Apps, a script) goes on only once the uninstall is over. Returns the process exit code.
int RunEntry(std::u16string_view command_line, const EntrySystem& system);

// The wizard, run modally and destroyed. An exception from its construction or its loop is
// reported only after the wizard is gone, so a running install worker has finished its files.
int RunInstaller(const EntrySystem& system);
// The uninstall window, the same way; ends with its uninstall_exit code. `waited`: processes the
// program folder's removal waits for.
int RunUninstaller(const EntrySystem& system, const std::vector<uint32_t>& waited = {});
// The uninstall with no window (waiting at most 30 s for another setup to end); a file another
// program holds is deleted at the next restart. It prints how it ended. `waited`: processes the
// program folder's removal waits for.
int RunQuietUninstall(const EntrySystem& system, const std::vector<uint32_t>& waited);

} // namespace nimbic
