// The entry logic: relaunch elevated, or run the wizard or the uninstaller and report what
// stopped it.
#include "installer/entry.h"

#include "installer/hand_uninstall.h"
#include "installer/installer_ui.h"
#include "installer/product.h"
#include "installer/run_log.h"

#include "engine/setup_lock.h"
#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"

#include <charconv>
#include <exception>

namespace nimbic {

namespace {

constexpr std::string_view relaunch_failed =
    "The installer could not start with administrator rights.\n\n";

bool SameSwitch(std::u16string_view token, std::u16string_view name)
{
    if (token.size() != name.size())
        return false;
    for (size_t i = 0; i < token.size(); ++i) {
        const char16_t c = token[i];
        if ((c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c) != name[i])
            return false;
    }
    return true;
}

bool ParseNumber(std::u16string_view token, uint32_t* number)
{
    std::string digits;
    for (const char16_t c : token) {
        if (c < u'0' || c > u'9')
            return false;
        digits += static_cast<char>(c);
    }
    return !digits.empty() &&
           std::from_chars(digits.data(), digits.data() + digits.size(), *number).ec == std::errc();
}

std::u16string Number(uint32_t value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// A second wizard has done what was asked once the first is in front; an uninstall has not, and
// whoever started it (Settings > Apps, a script) must not count it as done.
int WindowOpen(const EntryRequest& request)
{
    return request.uninstall ? uninstall_exit::window_open : exit_success;
}

} // namespace

EntryRequest ParseEntry(std::u16string_view command_line)
{
    EntryRequest request;
    request.elevated_copy = command_line.find(u"/UAC") != std::u16string_view::npos;
    bool numbers_follow = false;
    size_t start = 0;
    while (start < command_line.size()) {
        size_t end = command_line.find(u' ', start);
        if (end == std::u16string_view::npos)
            end = command_line.size();
        const std::u16string_view token = command_line.substr(start, end - start);
        start = end + 1;
        uint32_t number = 0;
        if (numbers_follow && ParseNumber(token, &number)) {
            request.processes.push_back(number);
            continue;
        }
        numbers_follow = false;
        if (SameSwitch(token, u"/uninstall")) {
            request.uninstall = true;
        } else if (SameSwitch(token, u"/quiet")) {
            request.quiet = true;
        } else if (SameSwitch(token, u"/finish-uninstall")) {
            request.finish_uninstall = true;
            numbers_follow = true;
        } else if (SameSwitch(token, u"/caller")) {
            numbers_follow = true;
        }
    }
    request.quiet = request.quiet && request.uninstall;
    return request;
}

int RunEntry(std::u16string_view command_line, const EntrySystem& system)
{
    const EntryRequest request = ParseEntry(command_line);
    if (request.finish_uninstall) {
        sys::enter_system_folder();
        return FinishUninstall(request.processes);
    }
    // Deployment tools run the quiet uninstall elevated already: nothing to relaunch.
    if (request.quiet && (request.elevated_copy || sys::is_elevated())) {
        sys::enter_system_folder();
        return RunQuietUninstall(system, request.processes);
    }
    if (request.elevated_copy) {
        // The elevated copy starts where the shell started its first copy, often Downloads:
        // nothing may ever be looked for, or land, there.
        sys::enter_system_folder();
        // One window at a time. The writing lock is taken only while files change, so that
        // nimbic-deploy and Windows Installer are not kept waiting by a window that waits for
        // the user.
        SetupLock window(setup_window_mutex_name);
        if (window.Acquire(0) != sys::lock_result::acquired) {
            if (system.bring_to_front)
                system.bring_to_front();
            return WindowOpen(request);
        }
        return request.uninstall ? RunUninstaller(system, request.processes) : RunInstaller(system);
    }
    // A second double click brings the open setup forward instead of asking for elevation
    // again. The first copy only looks for an elevated setup's window and holds nothing: its
    // elevated copy takes the lock.
    if (!request.quiet && system.bring_to_front && system.bring_to_front()) {
        return WindowOpen(request);
    }
    // The whole path, however long: a copy cut at MAX_PATH would start some other file or none.
    std::u16string program;
    const bool found = sys::own_program_path(&program);
    std::u16string arguments = u"/UAC";
    if (request.uninstall)
        arguments += u" /uninstall";
    if (request.quiet)
        arguments += u" /quiet";
    // Settings > Apps reads its list again once the program it started has ended: this copy
    // waits until the uninstall is over, and the program folder's removal waits for it in turn,
    // as it runs from that folder too.
    if (request.uninstall)
        arguments += u" /caller " + Number(sys::own_process_id());
    int exit_code = 0;
    const uint32_t error =
        found
            ? system.relaunch_elevated(program, arguments, request.uninstall ? &exit_code : nullptr)
            : 0;
    // A script that ran the quiet uninstall unelevated reads this copy's error output, not the
    // elevated copy's, which nobody sees: it says how that one ended and where its log is.
    const auto quiet_end = [&](int code, const std::string& result) {
        if (request.uninstall && request.quiet && system.print)
            system.print(std::string(product::name) + " uninstall ended with " +
                         std::to_string(code) + ": " + result);
        return code;
    };
    if (found && error == 0) {
        if (!request.uninstall)
            return exit_success;
        std::u16string logs;
        return quiet_end(exit_code,
                         "its elevated copy's code" +
                             (SetupLogFolder(&logs)
                                  ? " (its log is in " + zksdk::ui::utf16_to_utf8(logs) + ")"
                                  : std::string()));
    }
    // A double click that ends in nothing needs a reason, unless the user said no themselves;
    // a quiet run shows nothing at all.
    if (error != relaunch_declined && !request.quiet) {
        system.show_error(std::string(product::name),
                          std::string(relaunch_failed) +
                              (found ? system.describe_error(error)
                                     : std::string("The installer could not find its own file.")));
    }
    return request.quiet
               ? quiet_end(uninstall_exit::not_elevated, "it was not elevated; nothing was changed")
               : exit_failure;
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
