// The program's entry logic, apart from the Windows calls it makes: relaunch or run the wizard,
// and what the user is told when either goes wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace nimbic {

// What the entry point needs from the system. NimbicSetup.exe fills it with the shell, the
// system's error texts and message boxes; tests fill it with fakes.
struct EntrySystem {
    // Starts `program` elevated, with "/UAC" alone as its command line. Returns 0 once the copy
    // has started, else the system's error code.
    std::function<uint32_t(const std::u16string& program)> relaunch_elevated;
    // The system's own words for an error code.
    std::function<std::string(uint32_t code)> describe_error;
    // A message box with an OK button, owned by no window (the wizard is gone by then).
    std::function<void(const std::string& title, const std::string& text)> show_error;
};

// The user declined the elevation prompt (ERROR_CANCELLED): nothing to tell them.
inline constexpr uint32_t relaunch_declined = 1223;
inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;

// "/UAC" anywhere in the command line (case-sensitive) runs the wizard; anything else relaunches.
// Returns the process exit code.
int RunEntry(std::u16string_view command_line, const EntrySystem& system);

// The wizard, run modally and destroyed. An exception from its construction or its loop is
// reported only after the wizard is gone, so a running install worker has finished its files.
int RunInstaller(const EntrySystem& system);

} // namespace nimbic
