// The two ways the Apps entry uninstalls: the window (UninstallString) and the quiet run
// (QuietUninstallString).
#include "installer/entry.h"

#include "installer/hand_uninstall.h"
#include "installer/product.h"
#include "installer/uninstall_ui.h"

#include "engine/setup_lock.h"
#include "toolkit/core/text_conversion.h"

#include <exception>

namespace nimbic {

int RunUninstaller(const EntrySystem& system, const std::vector<uint32_t>& waited)
{
    // A record that stops the uninstall opens the window on its result page, which says why.
    HandUninstall uninstall;
    uninstall.Load();
    std::string reason;
    try {
        UninstallUI window(uninstall, waited);
        return window.run_modal();
    } catch (const std::exception& error) {
        reason = error.what();
    } catch (...) {
        reason = "unable to continue after an unknown failure";
    }
    // Stopped, whatever it had removed by then: the entry stays until a later try.
    system.show_error(std::string(product::name), "The uninstaller stopped: " + reason + ".");
    return uninstall_exit::failed;
}

int RunQuietUninstall(const EntrySystem& system, const std::vector<uint32_t>& waited)
{
    HandUninstall uninstall("/uninstall /quiet");
    // The log's last line, and the quiet run's only output, for the script that started it.
    const auto ended = [&](int code, const std::string& result) {
        uninstall.LogEnd(code, result);
        if (system.print)
            system.print(std::string(product::name) + " uninstall ended with " +
                         std::to_string(code) + ": " + result +
                         (uninstall.log().is_written()
                              ? " (log: " + zksdk::ui::utf16_to_utf8(uninstall.log().path()) + ")"
                              : ""));
        return code;
    };
    SetupLock lock;
    if (lock.Acquire(deploy_lock_wait_ms) != sys::lock_result::acquired)
        return ended(uninstall_exit::another_setup,
                     "another setup kept writing for 30 seconds; nothing was changed");
    uninstall.Load();
    if (!uninstall.refusal().empty())
        return ended(uninstall_exit::unusable, RefusedResult(uninstall.refusal()));
    if (uninstall.msi_product()) {
        uninstall.Run(when_held::delete_at_restart, {}, waited);
        return ended(uninstall_exit::msi_product, std::string(msi_product_note));
    }
    // Unattended: a plug-in a running host has loaded is renamed aside and deleted when Windows
    // restarts, as nimbic-deploy does it; a file held so that it cannot be renamed fails.
    uninstall.Run(when_held::delete_at_restart, {}, waited);
    if (uninstall.program() == program_folder::left)
        return ended(uninstall_exit::failed, "removed, but not its program folder");
    if (!uninstall.complete())
        return ended(uninstall_exit::failed,
                     "some components were not removed; the entry stays for another try");
    if (uninstall.restart_needed())
        return ended(uninstall_exit::restart_needed, "removed. " + uninstall.RestartNote());
    return ended(uninstall_exit::done, "removed");
}

} // namespace nimbic
