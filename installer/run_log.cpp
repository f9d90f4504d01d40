// The wizard's and the uninstall's own logs, made as nimbic-deploy makes its logs.
#include "installer/run_log.h"

#include "installer/product.h"

#include "engine/log_file.h"
#include "engine/paths.h"
#include "toolkit/core/text_conversion.h"

#include <cstdio>

namespace nimbic {

namespace {

using zksdk::ui::utf16_to_utf8;

constexpr size_t logs_kept = 10;

std::string Stamp(const sys::local_clock& now)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return text;
}

// The product and its version, as both logs' first lines name them.
std::string Product()
{
    return std::string(product::with_host) + " " +
           std::string(product::version.substr(0, product::version.find(' ')));
}

std::string AppsLine(registration registered, const std::u16string& product_folder)
{
    switch (registered) {
    case registration::registered:
        return "Settings > Apps: listed, HKLM\\" +
               utf16_to_utf8(path_join(uninstall_keys, apps_entry_key));
    case registration::msi_product:
        return "Settings > Apps: listed by the Windows Installer package's entry";
    default:
        break;
    }
    return "Settings > Apps: NOT LISTED, " + RegistrationProblem(registered, product_folder);
}

} // namespace

bool SetupLogFolder(std::u16string* folder)
{
    std::u16string app_data;
    if (!sys::common_app_data_folder(&app_data) || app_data.empty())
        return false;
    *folder = path_join(to_backslashes(std::move(app_data)), maker_folder_name);
    return true;
}

std::string RegistrationProblem(registration registered, const std::u16string& product_folder)
{
    switch (registered) {
    case registration::program_not_copied:
        return "the program copy that uninstalls it could not be put in " +
               utf16_to_utf8(product_folder);
    case registration::entry_not_written:
        return "its entry could not be written in the registry";
    default:
        break;
    }
    return {};
}

bool LogWizardRun(const std::vector<InstalledFile>& installed,
                  const std::vector<std::string>& target_names, registration registered,
                  const std::u16string& product_folder)
{
    std::u16string folder;
    LogFile log;
    if (!SetupLogFolder(&folder) || log.OpenInFolder(folder, u"NimbicSetup-install", logs_kept))
        return false;
    std::string text =
        Stamp(sys::local_time()) + " " + Product() + ", installed by its installer\r\n";
    for (const InstalledFile& file : installed) {
        const std::string target =
            file.target < target_names.size() ? target_names[file.target] : std::string();
        text += "installed\t" + target + "\t" + std::string(ComponentName(file.component)) + "\t" +
                utf16_to_utf8(file.path) + "\r\n";
    }
    text += AppsLine(registered, product_folder) + "\r\n";
    return log.Write(text);
}

void UninstallLog::Line(const std::string& text)
{
    if (!m_tried) {
        m_tried = true;
        std::u16string folder;
        if (!SetupLogFolder(&folder) ||
            m_file.OpenInFolder(folder, u"NimbicSetup-uninstall", logs_kept) ||
            !m_file.Write(Stamp(sys::local_time()) + " " + Product() + ", uninstalled by " +
                          m_started_as + "\r\n"))
            return;
        m_written = true;
    }
    // A write that fails closes the log: what it holds so far stays.
    if (m_file.is_open())
        m_file.Write(text + "\r\n");
}

void UninstallLog::Report(const UninstallReport& report)
{
    for (const UninstallItem& item : report.files) {
        std::string line = std::string(OutcomeText(item.outcome)) + "\t" + item.entry.target +
                           "\t" + std::string(ComponentName(item.entry.component)) + "\t" +
                           utf16_to_utf8(item.entry.path);
        if (!item.reason.empty())
            line += "\t" + item.reason;
        if (!item.left.empty() && !same_path(item.left, item.entry.path))
            line += "\t(as " + utf16_to_utf8(item.left) + ")";
        Line(line);
    }
    for (const FolderItem& folder : report.folders) {
        if (folder.removed)
            Line("removed\tfolder\t" + utf16_to_utf8(folder.path));
        else if (folder.at_restart)
            Line("removed at restart when empty\tfolder\t" + utf16_to_utf8(folder.path));
    }
}

} // namespace nimbic
