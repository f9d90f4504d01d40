// The uninstaller's window: where the plug-in and panel are, UNINSTALL and CANCEL, a progress
// line and the result, in the wizard's frame and theme.
#pragma once

#include "installer/hand_uninstall.h"
#include "installer/widgets/break_line.h"
#include "installer/widgets/progress_bar.h"
#include "installer/widgets/rounded_button.h"
#include "installer/wizard_frame.h"

#include "engine/setup_lock.h"
#include "toolkit/controls/text_label.h"
#include "toolkit/core/widget/generic_panel.h"
#include "toolkit/core/window/window.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace nimbic {

class NotificationPopup;

// What the window says when the Windows Installer package installed the product.
inline constexpr std::string_view msi_product_note =
    "Nimbic Plug-in was installed by its Windows Installer package, which removes it from every "
    "place listed here: remove \"Nimbic Plug-in for After Effects\" in Settings > Apps.";

// Built whole by its constructor (hidden, centred, UNINSTALL focused; on its result page when the
// record stops the uninstall), run modally by the entry
// point (which ends with the code the window closes with, see uninstall_exit) and destroyed.
// Owns its widgets and the worker that removes the files; the uninstall it works on is the
// caller's, loaded. `waited`: processes the program folder's removal waits for.
class UninstallUI : public zksdk::ui::window {
public:
    explicit UninstallUI(HandUninstall& uninstall, std::vector<uint32_t> waited = {});
    ~UninstallUI() override;
    UninstallUI(const UninstallUI&) = delete;
    UninstallUI& operator=(const UninstallUI&) = delete;

    // What tests observe.
    bool is_finished() const { return m_finished; }
    // Files are being removed; the worker has ended once removal_ended() (the window's timer then
    // takes its result).
    bool is_running() const { return m_running; }
    bool removal_ended() const { return m_removal_ended.load(); }
    RoundedButton& uninstall_button() { return m_uninstall_button; }
    RoundedButton& cancel_button() { return m_cancel; }
    zksdk::ui::text_label& title() { return m_title; }
    zksdk::ui::text_label& status_label() { return m_status; }
    zksdk::ui::text_label& progress_label() { return m_progress_label; }
    ProgressBar& progress_bar() { return m_progress_bar; }
    const std::vector<std::unique_ptr<zksdk::ui::text_label>>& place_labels() const
    {
        return m_place_labels;
    }

private:
    void Attach(zksdk::ui::widget& child, zksdk::ui::widget& parent, const zksdk::ui::rect& area);
    void BuildPage();
    int32_t BuildPlaces(int32_t y, int32_t width);
    void BuildFooter();
    void PaintFrame();
    void OnButton(const zksdk::ui::event_info& info);
    void OnKey(const zksdk::ui::event_info& info);
    void DescribeUninstall(const zksdk::ui::event_info& info);
    void DescribeFolders(const zksdk::ui::event_info& info);
    void OnUninstallFocusLost();
    void OnCloseRequest();
    void RemoveAll();
    void StartRemoval();
    void RemoveOnWorker();
    void OnRemovalTimer();
    void ShowProgress(size_t done, size_t total);
    void ShowResult(bool complete, size_t kept);
    std::string Ended(const std::string& result, int exit_code);
    void ShowOutcome(const std::string& text, bool complete, int exit_code);
    bool AskRetry(const UninstallReport& report);
    bool NoOtherSetupWrites();

    HandUninstall& m_uninstall;
    WizardFrame m_frame;
    std::string m_header_notice;
    std::string m_refused; // the result page the window opens on when the record stops it
    zksdk::ui::generic_panel m_page;
    zksdk::ui::text_label m_title;
    zksdk::ui::text_label m_status;
    BreakLine m_separator;
    std::vector<std::unique_ptr<zksdk::ui::text_label>> m_place_labels;
    // Each folder list and its folders whole, which its lines may shorten.
    std::vector<std::pair<const zksdk::ui::widget*, std::string>> m_whole_folders;
    ProgressBar m_progress_bar;
    zksdk::ui::text_label m_progress_label;
    zksdk::ui::text_label m_finish_hint;
    RoundedButton m_cancel;
    RoundedButton m_uninstall_button;
    SetupLock m_write_lock; // from UNINSTALL until the removal (and any retry) has ended
    std::vector<uint32_t> m_waited;
    std::thread m_worker;
    std::atomic<size_t> m_removed{0};
    std::atomic<size_t> m_selected{0};
    std::atomic<bool> m_removal_ended{false}; // stored last by the worker
    UninstallReport m_report;                 // the worker's, read once it has ended
    size_t m_kept = 0;
    zksdk::ui::connection_id m_timer_connection = 0;
    int m_exit_code = 0;
    bool m_running = false;
    bool m_finished = false;
    bool m_result_told = false; // the result was said and the focus left FINISH since
};

} // namespace nimbic
