// The end of an installation run: success, the failure popup with its explanation, retry, FINISH.
#include "engine/install_messages.h"
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/product.h"
#include "installer/run_log.h"
#include "installer/widgets/notification_popup.h"

#include "toolkit/core/text_conversion.h"

#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr std::string_view nothing_installed =
    "Nothing was installed: no After Effects version and no Custom folder was chosen.";
constexpr std::string_view retry_question =
    "\n\nPlease contact support if you continue to have trouble.\n\nDo you want to retry?";

} // namespace

// FINISH takes the focus before CANCEL, which may have it, is disabled: no event may report the
// focus on a control that cannot be used.
void InstallerUI::FinishButtons()
{
    m_next.set_enabled(true);
    m_cancel.set_visible(true);
    m_back.set_visible(true);
    SetNextCaption("FINISH");
    focus_and_announce(&m_next);
    m_cancel.set_enabled(false);
    m_back.set_enabled(false);
}

// The result line is told once, by AnnounceResult; its own live change would tell it again.
void InstallerUI::SetResultText(const std::string& text)
{
    m_status_label.set_live(access_live::off);
    m_status_label.set_text(text, label_fit::fixed, label_fit::fixed);
    m_status_label.set_live(access_live::polite);
    m_status_label.invalidate(false);
}

bool InstallerUI::AskRetry(const std::string& message)
{
    NotificationPopup popup;
    SetupFailurePopup(popup, this, "Failed to install", message);
    return RunPopup(popup) == 1;
}

void InstallerUI::CompleteRun(int32_t plugin_failure_index, int32_t plugin_failure_code,
                              int32_t scripts_failure_index, int32_t scripts_failure_code)
{
    event_dispatcher::instance().disconnect(m_timer_connection);
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_write_lock.Release();
    const bool plugin_failed = plugin_failure_index >= 0;
    const bool scripts_failed = scripts_failure_index >= 0;
    if (!plugin_failed && !scripts_failed) {
        // With no version ticked and no Custom folder chosen the run wrote nothing; saying
        // "successfully installed" would claim a plug-in the user does not have.
        FinishButtons();
        SetResultText(AnythingScheduled() ? std::string(product::name) + " successfully installed."
                                          : std::string(nothing_installed));
        ShowRegistrationNote();
        m_finished = true;
        UpdateProgress();
        AnnounceResult();
        return;
    }

    // With both kinds of failure the scripts message is the one shown.
    // One line more when the Restart Manager names the program holding the file.
    const auto in_use = [this](int32_t index, bool plugin) {
        const std::string line = HeldFilesLine(index, plugin);
        return line.empty() ? line : "\n" + line;
    };
    std::string message;
    if (plugin_failed && !scripts_failed) {
        message = "The installation of " + std::string(product::with_host) + " " +
                  VersionName(plugin_failure_index) + " failed!\n\n" +
                  InstallErrorText(plugin_failure_code) + in_use(plugin_failure_index, true) +
                  std::string(retry_question);
    }
    if (scripts_failed) {
        message = "The installation of script " + std::string(product::with_host) + " " +
                  VersionName(scripts_failure_index) + " failed!\n\n" +
                  InstallErrorText(scripts_failure_code) + in_use(scripts_failure_index, false) +
                  std::string(retry_question);
    }
    UpdateProgress();
    if (AskRetry(message) && NoOtherSetupWrites()) {
        StartInstall();
    } else {
        FinishButtons();
        SetResultText("Some components of " + std::string(product::name) +
                      " not correctly installed.");
        ShowRegistrationNote();
        m_finished = true;
    }
    UpdateProgress();
    if (m_finished) {
        AnnounceResult();
    }
}

// A plug-in that works is a success even when Settings > Apps cannot list it: the page says so
// above the finish hint, with where the log is, and the result told includes it, without a popup
// that would read as a failed install. The block grows by those lines and is centred again.
std::string InstallerUI::RegistrationNote() const
{
    if (m_registration_problem.empty()) {
        return {};
    }
    std::u16string logs;
    const std::string log_hint = m_run_logged && SetupLogFolder(&logs)
                                     ? " (see the setup log in " + utf16_to_utf8(logs) + ")"
                                     : "";
    return "It is not listed in Settings > Apps: " + m_registration_problem + log_hint + ".";
}

void InstallerUI::ShowRegistrationNote()
{
    const std::string note = RegistrationNote();
    if (note.empty()) {
        return;
    }
    m_finish_hint.set_text(note + "\n\n" + std::string(finish_hint_text), label_fit::fixed,
                           label_fit::to_text);
    m_finish_hint.invalidate(false);
    const generic_panel& page = m_pages[Installing];
    CentreBlock(Installing, page.width(), m_finish_hint.y() + m_finish_hint.height() + 15);
}

std::string InstallerUI::ResultSentence() const
{
    const std::string note = RegistrationNote();
    return m_status_label.text() + (note.empty() ? "" : " " + note);
}

// Last, once the page shows the whole result, and once for each reader: UI Automation clients
// hear it as a notification, Active Accessibility readers as the status line's live change
// (window::announce_text). FINISH, focused before, says only its name the first time.
void InstallerUI::AnnounceResult()
{
    announce_text(ResultSentence(), &m_status_label);
    // In the background the focus landed on FINISH untold: it tells the result when the window
    // gets the focus back.
    m_result_told = !native().is_focus_window();
}

} // namespace nimbic
