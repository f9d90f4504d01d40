// nimbic-deploy: lists, installs, verifies and removes the Nimbic plug-in on the registered host
// versions from the command line, reading the payloads out of a shipped NimbicSetup.exe.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic::deploy {

namespace exit_code {
constexpr int done = 0;
constexpr int usage = 1;  // a usage error, or the setup program cannot be used
constexpr int failed = 2; // at least one target or file failed
constexpr int nothing_to_do = 3;
constexpr int another_setup = 4; // the wizard or another nimbic-deploy ran on for 30 s
// Done, and Windows must restart to finish: a file in use goes then. Windows Installer's own
// ERROR_SUCCESS_REBOOT_REQUIRED, which deployment tools count as success with a restart.
constexpr int restart_needed = 3010;
} // namespace exit_code

// Where the program's words go: `report` takes the result lines (standard output), `problem`
// the errors and warnings (standard error). Each call is one or more whole lines.
struct Console {
    std::function<void(std::string_view)> report;
    std::function<void(std::string_view)> problem;
};

// Runs one command line (the arguments after the program name) and returns the exit code.
int Run(const std::vector<std::u16string>& arguments, const Console& console);

const char* HelpText();

} // namespace nimbic::deploy
