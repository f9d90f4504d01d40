// The two ways the Apps entry uninstalls: the window (UninstallString) and the quiet run
// (QuietUninstallString).
#include "installer/entry.h"

#include "installer/hand_uninstall.h"
#include "installer/product.h"
#include "installer/uninstall_ui.h"

#include "engine/setup_lock.h"

#include <algorithm>
#include <exception>

namespace nimbic {

int RunUninstaller(const EntrySystem& system, const std::vector<uint32_t>& waited)
{
    HandUninstall uninstall;
    std::string reason;
    int code = uninstall_exit::unusable;
    if (uninstall.Load() == record_status::unreadable) {
        reason = "the install record cannot be read, so nothing was removed";
    } else {
        // Stopped, whatever it had removed by then: the entry stays until a later try.
        code = uninstall_exit::failed;
        try {
            UninstallUI window(uninstall, waited);
            return window.run_modal();
        } catch (const std::exception& error) {
            reason = error.what();
        } catch (...) {
            reason = "unable to continue after an unknown failure";
        }
    }
    system.show_error(std::string(product::name), "The uninstaller stopped: " + reason + ".");
    return code;
}

int RunQuietUninstall(const std::vector<uint32_t>& waited)
{
    SetupLock lock;
    if (lock.Acquire(deploy_lock_wait_ms) != sys::lock_result::acquired)
        return uninstall_exit::another_setup;
    HandUninstall uninstall;
    if (uninstall.Load() == record_status::unreadable)
        return uninstall_exit::unusable;
    if (uninstall.msi_product()) {
        uninstall.Run(when_held::delete_at_restart, {}, waited);
        return uninstall_exit::msi_product;
    }
    // Unattended: a plug-in a running host has loaded is renamed aside and deleted when Windows
    // restarts, as nimbic-deploy does it; a file held so that it cannot be renamed fails.
    const UninstallReport report = uninstall.Run(when_held::delete_at_restart, {}, waited);
    if (!uninstall.complete())
        return uninstall_exit::failed;
    const bool restart =
        std::any_of(report.files.begin(), report.files.end(), [](const auto& item) {
            return item.outcome == uninstall_outcome::scheduled_for_restart;
        });
    return restart ? uninstall_exit::restart_needed : uninstall_exit::done;
}

} // namespace nimbic
