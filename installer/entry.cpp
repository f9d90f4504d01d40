// The entry logic: relaunch elevated, or run the wizard and report what stopped it.
#include "installer/entry.h"

#include "installer/installer_ui.h"
#include "installer/product.h"

#include "engine/system/system.h"

#include <exception>

namespace nimbic {

namespace {

constexpr std::string_view relaunch_failed =
    "The installer could not start with administrator rights.\n\n";

} // namespace

int RunEntry(std::u16string_view command_line, const EntrySystem& system)
{
    if (command_line.find(u"/UAC") != std::u16string_view::npos) {
        // The elevated copy starts where the shell started its first copy, often Downloads:
        // nothing may ever be looked for, or land, there.
        sys::enter_system_folder();
        return RunInstaller(system);
    }
    // The whole path, however long: a copy cut at MAX_PATH would start some other file or none.
    std::u16string program;
    const bool found = sys::own_program_path(&program);
    const uint32_t error = found ? system.relaunch_elevated(program) : 0;
    if (found && error == 0) {
        return exit_success;
    }
    // A double click that ends in nothing needs a reason, unless the user said no themselves.
    if (error != relaunch_declined) {
        system.show_error(std::string(product::name),
                          std::string(relaunch_failed) +
                              (found ? system.describe_error(error)
                                     : std::string("The installer could not find its own file.")));
    }
    return exit_failure;
}

int RunInstaller(const EntrySystem& system)
{
    std::string reason;
    try {
        // Destroyed before the catch runs: its destructor waits for a running worker, so the
        // plug-in file is whole (or untouched) before the user reads anything.
        InstallerUI installer;
        installer.run_modal();
        return exit_success;
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (...) {
        reason = "unable to continue after an unknown failure";
    }
    // A windowed program's error output is seen by nobody; a message box is.
    system.show_error(std::string(product::name), "The installer stopped: " + reason + ".");
    return exit_failure;
}

} // namespace nimbic
