// The installer's one window: frame, theme, pages, navigation and the installation run.
#pragma once

#include "installer/size_text.h"
#include "installer/widgets/break_line.h"
#include "installer/widgets/installed_checkbox.h"
#include "installer/widgets/link_button.h"
#include "installer/widgets/progress_bar.h"
#include "installer/widgets/rounded_button.h"
#include "installer/wizard_frame.h"

#include "engine/install_state.h"
#include "engine/install_target.h"
#include "engine/install_worker.h"
#include "engine/payload_sizes.h"
#include "engine/setup_lock.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/generic_button.h"
#include "toolkit/controls/scroll_bar.h"
#include "toolkit/controls/text_label.h"
#include "toolkit/core/widget/flow_panel.h"
#include "toolkit/core/widget/generic_panel.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/image.h"

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace nimbic {

class NotificationPopup;

// The Installing page's last line once a run has ended.
inline constexpr std::string_view finish_hint_text = "Click Finish to close installer.";

// A component is installed exactly when its target is ticked and its folder is known: the
// Custom target gets a plug-in, its scripts, both or nothing, as its folders were chosen.
inline bool PluginScheduled(const InstallTarget& target)
{
    return target.ticked && !target.plugin_folder.empty();
}
inline bool ScriptsScheduled(const InstallTarget& target)
{
    return target.ticked && !target.scripts_folder.empty();
}

enum InstallerPage : int32_t { Welcome = 0, Versions = 1, Installing = 2, License = 3 };

// The wizard, built whole by its constructor (hidden, on the Welcome page, centred); the entry
// point runs it modally and destroys it, which first waits for a running install worker. Owns
// every widget of the wizard, the install state, the targets and the worker thread.
class InstallerUI : public zksdk::ui::window {
public:
    InstallerUI();
    ~InstallerUI() override;
    InstallerUI(const InstallerUI&) = delete;
    InstallerUI& operator=(const InstallerUI&) = delete;

    void ShowPage(int32_t page);
    void ApplyInstallerTheme();
    void StartInstall();
    void OnInstallTimer();
    void UpdateProgress();
    // Bytes the ticked targets still need (components already installed do not count).
    static uint64_t RequiredBytes(const std::vector<InstallTarget>& targets,
                                  const PayloadSizes& sizes);

    // What tests and the entry point observe.
    int32_t current_page() const { return m_current_page; }
    bool is_finished() const { return m_finished; }
    const std::string& header_notice() const { return m_header_notice; }
    std::vector<InstallTarget>& targets() { return m_targets; }
    InstallState& install_state() { return m_state; }
    zksdk::ui::generic_panel& page(int32_t index) { return m_pages.at(index); }
    RoundedButton& back_button() { return m_back; }
    RoundedButton& next_button() { return m_next; }
    RoundedButton& cancel_button() { return m_cancel; }
    LinkButton& footer_license_link() { return m_footer_license_link; }
    LinkButton& welcome_license_link() { return m_welcome_license_link; }
    const std::vector<std::unique_ptr<zksdk::ui::check_box>>& version_checks() const
    {
        return m_version_checks;
    }
    const std::vector<std::unique_ptr<InstalledCheckbox>>& installed_checks() const
    {
        return m_installed_checks;
    }
    zksdk::ui::generic_button& plugin_folder_button() { return m_plugin_folder_button; }
    zksdk::ui::generic_button& script_folder_button() { return m_script_folder_button; }
    zksdk::ui::text_label& custom_plugin_label() { return m_custom_plugin_label; }
    zksdk::ui::text_label& custom_script_label() { return m_custom_script_label; }
    zksdk::ui::text_label& required_space_label() { return m_required_space_label; }
    zksdk::ui::text_label& license_text() { return m_license_text; }
    zksdk::ui::scroll_bar& license_scroll_bar() { return m_license_scroll; }
    zksdk::ui::text_label& installing_title() { return m_installing_title; }
    zksdk::ui::text_label& status_label() { return m_status_label; }
    zksdk::ui::text_label& progress_label() { return m_progress_label; }
    zksdk::ui::text_label& installing_label() { return m_installing_label; }
    zksdk::ui::text_label& finish_hint() { return m_finish_hint; }
    ProgressBar& progress_bar() { return m_progress_bar; }
    zksdk::ui::flow_panel& versions_flow() { return m_versions_flow; }
    uint32_t components_total() const { return m_components_total; }
    uint64_t total_bytes() const { return m_total_bytes; }
    const PayloadSizes& payload_sizes() const { return m_payload_sizes; }

private:
    // Construction and the frame.
    void PaintFrame();
    void OnNavigationClick(const zksdk::ui::event_info& info);
    void ConfirmCancel();
    void OnWizardKey(const zksdk::ui::event_info& info);
    void DescribeFooter(const zksdk::ui::event_info& info);
    void AnnounceResult();
    void BuildFooter();
    void SetNextCaption(std::string_view caption);
    void FinishButtons();
    void SetResultText(const std::string& text);
    void OnNextFocusLost();
    zksdk::ui::generic_panel& PlacePage(int32_t page);
    void AttachTitle(zksdk::ui::text_label& title, zksdk::ui::widget& page, int32_t width,
                     std::string_view text);
    zksdk::ui::rect PageArea();
    void CentreBlock(int32_t page, int32_t width, int32_t height);
    // Widget plumbing shared by the builders.
    void Attach(zksdk::ui::widget& child, zksdk::ui::widget& parent, const zksdk::ui::rect& area);
    void AttachButton(zksdk::ui::generic_button& button, const zksdk::ui::rect& area,
                      std::string_view caption);
    // Pages.
    void BuildWelcomePage();
    void BuildLicensePage();
    void OnLicenseTextMouseUp(const zksdk::ui::event_info& info);
    void OnLicenseTextKey(const zksdk::ui::event_info& info);
    void DescribeLicense(const zksdk::ui::event_info& info);
    void OnLicenseScrollRequest(const zksdk::ui::event_info& info);
    void OnLicenseAccessText(const zksdk::ui::event_info& info);
    void BuildVersionsPage();
    void OnVersionsPageEvent(const zksdk::ui::event_info& info);
    void UpdateRequiredSpace();
    int32_t VersionsPageHeight() const;
    void BuildInstallingPage();
    void CompleteRun(int32_t plugin_failure_index, int32_t plugin_failure_code,
                     int32_t scripts_failure_index, int32_t scripts_failure_code);
    std::string VersionName(int32_t index) const;
    bool AskRetry(const std::string& message);
    bool EnoughSpaceToInstall();
    bool NoOtherSetupWrites();
    InstallRun RecordedRun();
    std::string RegistrationNote() const;
    void ShowRegistrationNote();
    std::string ResultSentence() const;
    std::string HeldFilesLine(int32_t failure_index, bool plugin) const;
    bool AnythingScheduled() const;
    int32_t RunPopup(NotificationPopup& popup);

    InstallState m_state;
    SetupLock m_write_lock; // from INSTALL (or YES to a retry) until the run's worker has ended
    std::thread m_worker;
    WizardFrame m_frame;
    std::string m_license_markup;
    std::string m_header_notice;
    std::array<zksdk::ui::generic_panel, 4> m_pages;
    zksdk::ui::connection_id m_timer_connection = 0;
    // Welcome page.
    zksdk::ui::text_label m_welcome_title;
    zksdk::ui::text_label m_welcome_text;
    zksdk::ui::text_label m_agree_label;
    zksdk::ui::text_label m_version_label;
    // Versions page.
    zksdk::ui::text_label m_versions_title;
    zksdk::ui::text_label m_versions_intro;
    zksdk::ui::text_label m_required_space_label;
    zksdk::ui::flow_panel m_versions_flow{zksdk::ui::flow_direction::vertical,
                                          zksdk::ui::auto_size::on, zksdk::ui::track_children::on};
    BreakLine m_versions_separator;
    // Installing page.
    zksdk::ui::text_label m_installing_title;
    zksdk::ui::text_label m_status_label;
    zksdk::ui::text_label m_finish_hint;
    BreakLine m_installing_separator;
    ProgressBar m_progress_bar;
    // License page.
    zksdk::ui::generic_panel m_license_panel;
    zksdk::ui::scroll_bar m_license_scroll;
    zksdk::ui::text_label m_license_text;
    int32_t m_license_caret_line = 0; // the reader's place: a line of the agreement
    // Footer.
    RoundedButton m_back;
    RoundedButton m_next;
    RoundedButton m_cancel;
    std::vector<std::unique_ptr<zksdk::ui::check_box>> m_version_checks;
    std::vector<std::unique_ptr<InstalledCheckbox>> m_installed_checks;
    zksdk::ui::text_label m_installing_label;
    zksdk::ui::text_label m_progress_label;
    zksdk::ui::generic_button m_plugin_folder_button;
    zksdk::ui::generic_button m_script_folder_button;
    LinkButton m_footer_license_link;
    LinkButton m_welcome_license_link;
    zksdk::ui::text_label m_custom_plugin_label;
    zksdk::ui::text_label m_custom_script_label;
    std::vector<InstallTarget> m_targets;
    int32_t m_current_page = Welcome;
    int32_t m_previous_page = Welcome;
    bool m_finished = false;
    bool m_result_told = false; // the run's result was said and the focus left FINISH since
    // While a popup runs its own loop the install timer still ticks; the run's end waits for
    // the popup to close (see OnInstallTimer).
    int32_t m_open_popups = 0;
    bool m_tick_waiting = false;
    // The folder button the last press went to: a release counts only over the same button.
    const zksdk::ui::widget* m_pressed_folder_button = nullptr;
    uint32_t m_components_total = 0;
    // What the run writes in all: every scheduled component, done or not, so that the progress
    // line's two numbers and its percentage always agree.
    uint64_t m_total_bytes = 0;
    // Why Settings > Apps does not list the product after the last run, and whether the run's
    // log was written; both written by its worker.
    std::string m_registration_problem;
    bool m_run_logged = false;
    PayloadSizes m_payload_sizes;
};

} // namespace nimbic
