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

#include <memory>
#include <string>
#include <vector>

namespace nimbic {

class NotificationPopup;

// What the window says when the Windows Installer package installed the product.
inline constexpr std::string_view msi_product_note =
    "Nimbic Plug-in was installed by its Windows Installer package, which removes it from every "
    "place listed here: remove \"Nimbic Plug-in for After Effects\" in Settings > Apps.";

// Built whole by its constructor (hidden, centred, UNINSTALL focused), run modally by the entry
// point and destroyed. Owns its widgets; the uninstall it works on is the caller's, loaded.
class UninstallUI : public zksdk::ui::window {
public:
    explicit UninstallUI(HandUninstall& uninstall);
    ~UninstallUI() override;
    UninstallUI(const UninstallUI&) = delete;
    UninstallUI& operator=(const UninstallUI&) = delete;

    // What tests observe.
    bool is_finished() const { return m_finished; }
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
    void RemoveAll();
    void ShowProgress(size_t done, size_t total);
    void ShowResult(bool complete, size_t kept);
    void ShowOutcome(const std::string& text, bool complete);
    bool AskRetry(const UninstallReport& report);
    bool NoOtherSetupWrites();

    HandUninstall& m_uninstall;
    WizardFrame m_frame;
    std::string m_header_notice;
    zksdk::ui::generic_panel m_page;
    zksdk::ui::text_label m_title;
    zksdk::ui::text_label m_status;
    BreakLine m_separator;
    std::vector<std::unique_ptr<zksdk::ui::text_label>> m_place_labels;
    ProgressBar m_progress_bar;
    zksdk::ui::text_label m_progress_label;
    zksdk::ui::text_label m_finish_hint;
    RoundedButton m_cancel;
    RoundedButton m_uninstall_button;
    SetupLock m_write_lock; // while RemoveAll runs
    bool m_running = false;
    bool m_finished = false;
};

} // namespace nimbic
