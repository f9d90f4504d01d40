// The end of an installation run: success, the failure popup with its explanation, retry, FINISH.
#include "installer/installer_ui.h"
#include "installer/product.h"
#include "installer/widgets/notification_popup.h"

#include <initializer_list>
#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr std::string_view corrupt_hint = ").\n - The installer file may be corrupt.";
constexpr std::string_view create_hints =
    ").\n - Make sure that After Effects is closed\n - Make sure you have enough disk space.\n"
    " - Make sure you have administrative privileges.";
constexpr std::string_view space_hints =
    ").\n - Make sure you have enough disk space.\n - Make sure you have administrative "
    "privileges.";
constexpr std::string_view download_hint = ").\n - Please download the installer again.";
constexpr std::string_view retry_question =
    "\n\nPlease contact support if you continue to have trouble.\n\nDo you want to retry?";

struct ErrorRow {
    std::initializer_list<int32_t> codes;
    std::string_view lead;
    std::string_view tail;
};

bool Contains(std::initializer_list<int32_t> codes, int32_t code)
{
    for (const int32_t candidate : codes) {
        if (candidate == code) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string InstallerUI::InstallErrorText(int32_t code)
{
    static const ErrorRow rows[] = {
        {{20, 30}, "Could not load the plugin file from the installer (Error code: ", corrupt_hint},
        {{40, 50, 401}, "Could not create the plugin file (Error code: ", create_hints},
        {{60, 110, 111, 112, 130},
         "Could not load the script file from the installer (Error code: ",
         corrupt_hint},
        {{120, 131}, "Could not create the script files (Error code: ", create_hints},
        {{121, 122, 123, 124, 200},
         "Could not decompress the script files correctly (Error code: ",
         corrupt_hint},
        {{210, 211, 212, 230},
         "Could not load the assets file from the installer (Error code: ",
         corrupt_hint},
        {{220, 231}, "Could not create assets files (Error code: ", space_hints},
        {{221, 222, 223, 224, 300},
         "Could not decompress the assets files correctly (",
         corrupt_hint},
        {{400}, "Authorization request was denied (Error code: ", ")."},
        {{1000}, "Could not find the installer package (Error code: ", download_hint},
        {{1001}, "Could not find the installer package (Error code: ", corrupt_hint},
    };
    for (const ErrorRow& row : rows) {
        if (Contains(row.codes, code)) {
            return std::string(row.lead) + std::to_string(code) + std::string(row.tail);
        }
    }
    return "Unkown error (" + std::to_string(code) + ").";
}

void InstallerUI::FinishButtons()
{
    m_cancel.set_enabled(false);
    m_back.set_enabled(false);
    m_next.set_enabled(true);
    m_cancel.set_visible(true);
    m_back.set_visible(true);
    SetNextCaption("FINISH");
}

bool InstallerUI::AskRetry(const std::string& message)
{
    NotificationPopup popup;
    popup.root().style().redirect("message_popup_window_margins",
                                  "notifications_error_window_margins");
    popup.root().style().redirect("message_popup_component_margins",
                                  "notifications_error_component_margins");
    popup.setup(this, "Failed to install", message);
    return popup.run_modal() == 1;
}

void InstallerUI::CompleteRun(int32_t plugin_failure_index, int32_t plugin_failure_code,
                              int32_t scripts_failure_index, int32_t scripts_failure_code)
{
    event_dispatcher::instance().disconnect(m_timer_connection);
    if (m_worker.joinable()) {
        m_worker.join();
    }
    const bool plugin_failed = plugin_failure_index >= 0;
    const bool scripts_failed = scripts_failure_index >= 0;
    if (!plugin_failed && !scripts_failed) {
        m_status_label.set_text(std::string(product::name) + " successfully installed.",
                                label_fit::fixed, label_fit::fixed);
        m_status_label.invalidate(false);
        FinishButtons();
        m_finished = true;
        UpdateProgress();
        return;
    }

    // With both kinds of failure the scripts message is the one shown.
    std::string message;
    if (plugin_failed) {
        message = "The installation of " + std::string(product::with_host) + " " +
                  VersionName(plugin_failure_index) + " failed!\n\n" +
                  InstallErrorText(plugin_failure_code) + std::string(retry_question);
    }
    if (scripts_failed) {
        message = "The installation of script " + std::string(product::with_host) + " " +
                  VersionName(scripts_failure_index) + " failed!\n\n" +
                  InstallErrorText(scripts_failure_code) + std::string(retry_question);
    }
    UpdateProgress();
    if (AskRetry(message)) {
        StartInstall();
    } else {
        m_status_label.set_text("Some components of " + std::string(product::name) +
                                    " not correctly installed.",
                                label_fit::fixed, label_fit::fixed);
        m_status_label.invalidate(false);
        FinishButtons();
        m_finished = true;
    }
    UpdateProgress();
}

} // namespace nimbic
