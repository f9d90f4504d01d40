// The uninstall as the window runs it: the progress line, a failure's popup with its retry, and
// the result.
#include "installer/entry.h"
#include "installer/installer_style.h"
#include "installer/product.h"
#include "installer/run_log.h"
#include "installer/uninstall_ui.h"
#include "installer/widgets/notification_popup.h"

#include "engine/install_messages.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr uint32_t removal_timer = 1;
constexpr uint32_t removal_poll_ms = 100;
constexpr std::string_view retry_question =
    "\n\nPlease contact support if you continue to have trouble.\n\nDo you want to retry?";

const UninstallItem* FirstFailure(const UninstallReport& report)
{
    for (const UninstallItem& item : report.files) {
        if (item.outcome == uninstall_outcome::failed && !item.leftover) {
            return &item;
        }
    }
    return nullptr;
}

std::string FailureMessage(const UninstallItem& failed)
{
    const bool plugin = failed.entry.component == record_component::plugin;
    std::string message = "The removal of " + std::string(plugin ? "" : "script ") +
                          std::string(product::with_host) + " " + failed.entry.target +
                          " failed!\n\nCould not remove the " +
                          (plugin ? "plugin file" : "script files") + " (" + failed.reason +
                          ").\n - Make sure that After Effects is closed\n - Make sure you have "
                          "administrative privileges.";
    const std::string in_use = InUseLine({failed.entry.path});
    return message + (in_use.empty() ? "" : "\n" + in_use) + std::string(retry_question);
}

size_t KeptFiles(const UninstallReport& report)
{
    return static_cast<size_t>(
        std::count_if(report.files.begin(), report.files.end(), [](const UninstallItem& item) {
            return item.outcome == uninstall_outcome::kept_changed ||
                   item.outcome == uninstall_outcome::kept_linked;
        }));
}

} // namespace

// The writing lock only while files go: a window that waits for its user keeps nobody waiting.
bool UninstallUI::NoOtherSetupWrites()
{
    while (m_write_lock.Acquire(0) != sys::lock_result::acquired) {
        NotificationPopup popup;
        SetupFailurePopup(popup, this, "Another setup is running",
                          "Another setup of " + std::string(product::name) +
                              " (nimbic-deploy, or its Windows Installer package) is installing "
                              "or removing files right now.\n\nNothing has been removed yet. "
                              "Wait until it has finished.\n\nDo you want to check again?");
        if (popup.run_modal() != 1) {
            return false;
        }
    }
    return true;
}

void UninstallUI::RemoveAll()
{
    if (!NoOtherSetupWrites()) {
        return;
    }
    // Read again under the lock: a setup that ran since the window opened may have added to
    // the record, and the record saved after the removal must keep what it added.
    m_uninstall.Load();
    if (!m_uninstall.refusal().empty()) {
        m_write_lock.Release();
        ShowOutcome(Ended(RefusedResult(m_uninstall.refusal()), uninstall_exit::unusable), false,
                    uninstall_exit::unusable);
        return;
    }
    if (m_uninstall.msi_product()) {
        m_uninstall.Run(when_held::fail, {});
        m_write_lock.Release();
        ShowOutcome(Ended(std::string(msi_product_note) + " Nothing was removed here.",
                          uninstall_exit::msi_product),
                    false, uninstall_exit::msi_product);
        return;
    }
    m_running = true;
    m_kept = 0;
    m_progress_bar.set_visible(true);
    m_progress_label.set_visible(true);
    ShowProgress(0, m_uninstall.record().entries().size());
    // The focus goes to the progress bar, which a reader follows while files go, before UNINSTALL
    // is disabled: no event may report the focus on a control that cannot be used.
    m_progress_bar.set_tab_stop(true);
    focus_and_announce(&m_progress_bar);
    m_cancel.set_enabled(false);
    m_uninstall_button.set_enabled(false);
    m_uninstall_button.set_caption("UNINSTALLING...");
    m_uninstall_button.update_size();
    StartRemoval();
}

// The files go on a worker, as the wizard's do, so that the window keeps answering (screen
// readers ask it while files go); the timer shows what the worker did.
void UninstallUI::StartRemoval()
{
    m_removed.store(0);
    m_selected.store(m_uninstall.record().entries().size());
    m_removal_ended.store(false);
    m_worker = std::thread([this] { RemoveOnWorker(); });
    set_timer(&m_page, removal_timer, removal_poll_ms, false);
    m_timer_connection = event_dispatcher::instance().connect(
        &m_page, this, event_type::timer, bind_event(this, &UninstallUI::OnRemovalTimer));
}

// Touches no widget: the window reads the counts and, once the flag is set, the report.
void UninstallUI::RemoveOnWorker()
{
    m_report = m_uninstall.Run(
        when_held::fail,
        [this](size_t done, size_t total) {
            m_selected.store(total);
            m_removed.store(done);
        },
        m_waited);
    m_removal_ended.store(true);
}

void UninstallUI::OnRemovalTimer()
{
    // The flag before the counts: counts read after it is seen set are final.
    const bool ended = m_removal_ended.load();
    ShowProgress(m_removed.load(), m_selected.load());
    if (!ended) {
        return;
    }
    kill_timer(&m_page, removal_timer);
    event_dispatcher::instance().disconnect(m_timer_connection);
    m_worker.join();
    m_kept += KeptFiles(m_report);
    if (FirstFailure(m_report) != nullptr && AskRetry(m_report)) {
        StartRemoval();
        return;
    }
    m_running = false;
    m_write_lock.Release();
    ShowResult(m_uninstall.complete(), m_kept);
}

void UninstallUI::ShowProgress(size_t done, size_t total)
{
    const std::string line = "Removed " + std::to_string(done) + " of " + std::to_string(total) +
                             (total == 1 ? " file" : " files");
    if (line == m_progress_label.text()) {
        return;
    }
    m_progress_bar.set_progress(total == 0 ? 1.0f
                                           : static_cast<float>(done) / static_cast<float>(total));
    m_progress_bar.invalidate(false);
    m_progress_label.set_text(line, label_fit::fixed, label_fit::fixed);
    update_now();
}

bool UninstallUI::AskRetry(const UninstallReport& report)
{
    NotificationPopup popup;
    SetupFailurePopup(popup, this, "Failed to uninstall", FailureMessage(*FirstFailure(report)));
    return popup.run_modal() == 1;
}

void UninstallUI::ShowResult(bool complete, size_t kept)
{
    // The places stay listed: on success they are where it was removed from.
    const std::string from = m_place_labels.empty() ? "this computer" : "these places";
    std::string text =
        complete ? std::string(product::name) + " was removed from " + from + "."
                 : "Some components of " + std::string(product::name) + " were not removed.";
    if (m_uninstall.program() == program_folder::left) {
        text = std::string(product::name) + " was removed from " + from +
               ", but its program folder could not be.";
    }
    if (kept > 0) {
        text += " " + std::to_string(kept) + (kept == 1 ? " file was" : " files were") +
                " kept: changed since it was installed, or reached through a link.";
    }
    if (complete && m_uninstall.restart_needed()) {
        text += " " + m_uninstall.RestartNote();
    }
    const int code = !complete                      ? uninstall_exit::failed
                     : m_uninstall.restart_needed() ? uninstall_exit::restart_needed
                                                    : uninstall_exit::done;
    ShowOutcome(Ended(text, code), complete, code);
}

// What stayed, and why, is for whoever looks into it later: a failure's page says where to look.
std::string UninstallUI::Ended(const std::string& result, int exit_code)
{
    m_uninstall.LogEnd(exit_code, result);
    std::u16string logs;
    const bool failed =
        exit_code == uninstall_exit::failed || exit_code == uninstall_exit::unusable;
    if (!failed || !m_uninstall.log().is_written() || !SetupLogFolder(&logs))
        return result;
    return result + " See the uninstall log in " + zksdk::ui::utf16_to_utf8(logs) + ".";
}

void UninstallUI::ShowOutcome(const std::string& text, bool complete, int exit_code)
{
    m_exit_code = exit_code;
    // The line is told once, by announce_text below; its own live change would tell it again.
    m_status.set_live(access_live::off);
    m_status.set_text(text, label_fit::fixed, label_fit::to_text);
    m_status.set_live(access_live::polite);
    if (complete) {
        m_title.set_text("Uninstalled", label_fit::fixed, label_fit::to_text);
    }
    m_finish_hint.set_visible(true);
    m_finished = true;
    m_uninstall_button.set_caption("FINISH");
    m_uninstall_button.update_size();
    m_uninstall_button.set_enabled(true);
    m_uninstall_button.invalidate(false);
    // FINISH takes the focus before CANCEL, which may have it (no removal ran before a refusal),
    // is disabled: no event may report the focus on a control that cannot be used. Nothing is
    // left to cancel.
    focus_and_announce(&m_uninstall_button);
    m_cancel.set_enabled(false);
    m_progress_bar.set_tab_stop(false);
    announce(access_event::structure_changed);
    root().invalidate(false);
    update_now();
    // Told once, last, as the wizard tells its result: a notification to UI Automation clients,
    // the line's live change to Active Accessibility readers. In the background the focus
    // landed on FINISH untold: it tells the result when the window gets the focus back.
    announce_text(text, &m_status);
    m_result_told = !native().is_focus_window();
}

} // namespace nimbic
