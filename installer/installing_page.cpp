// The Installing page: its widgets, the start of a run, the 200 ms poll and the progress display.
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/product.h"

#include "installer/registration.h"
#include "installer/run_log.h"

#include "engine/install_record.h"
#include "engine/install_worker.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr uint32_t install_timer = 1;
constexpr uint32_t poll_interval_ms = 200;
const color clear_white{1, 1, 1, 0};
const color clear_grey{0.5f, 0.5f, 0.5f, 0};

bool IsFinal(int32_t status)
{
    return status >= install_status::done;
}

// Nothing in place yet reads "0" in the total's unit ("0MB of 1.7MB"), never "0.0".
std::string DoneText(uint64_t done, uint64_t total)
{
    if (done != 0) {
        return CompactSizeText(done);
    }
    const std::string whole = CompactSizeText(total);
    return "0" + whole.substr(whole.find_first_not_of("0123456789."));
}

std::string CheckCaption(const std::string& version_name, std::string_view result)
{
    return std::string(product::with_host) + " " + version_name + std::string(result);
}

} // namespace

void InstallerUI::BuildInstallingPage()
{
    generic_panel& page = PlacePage(Installing);
    const int32_t pw = page.width();

    AttachTitle(m_installing_title, page, pw - 140, product::window_title);

    const int32_t y2 = m_installing_title.height() + 15;
    Attach(m_status_label, page, {0, y2, pw - 150, 60});
    m_status_label.style().set("default_back_color", clear_white);
    StyleIntroLabel(m_status_label);
    m_status_label.set_text("Installing " + std::string(product::with_host) + ", please wait...",
                            label_fit::fixed, label_fit::to_text);
    m_status_label.set_live(access_live::polite);
    // The title repeats the window's name until it says "Mission Success!"; till then the status
    // line is what the page says, and names it.
    page.set_labelled_by(&m_status_label);

    const int32_t y3 = y2 + m_status_label.height() + 15;
    Attach(m_installing_separator, page, {0, y3, pw - 150, 20});
    const int32_t y4 = y3 + m_installing_separator.height() + 15;
    Attach(m_progress_bar, page, {0, y4, pw - 150, 15});
    m_progress_bar.set_labelled_by(&m_installing_label);

    const int32_t y5 = y4 + m_progress_bar.height() + 15;
    Attach(m_installing_label, page, {0, y5, 100, 20});
    m_installing_label.style().set("default_back_color", clear_grey);
    Redirect(m_installing_label, {{"label_text_valign", "label_intro_text_valign"},
                                  {"label_font_size", "intro_font_size"},
                                  {"label_font_name", "intro_font_name"},
                                  {"label_font_color", "installing_label_font_color"},
                                  {"label_font_style", "installing_label_font_style"}});
    m_installing_label.set_text("Installing...", label_fit::fixed, label_fit::fixed);

    Attach(m_progress_label, page, {0, y5, pw - 150, 20});
    m_progress_label.style().set("default_back_color", clear_grey);
    Redirect(m_progress_label, {{"label_text_valign", "label_intro_text_valign"},
                                {"label_font_size", "progress_label_font_size"},
                                {"label_font_name", "intro_font_name"},
                                {"label_font_color", "intro_font_color"}});
    m_progress_label.style().set("label_text_align", int32_t{2});
    m_progress_label.set_live(access_live::polite);

    int32_t y = y5 + m_progress_label.height() + 15;
    for (const InstallTarget& target : m_targets) {
        if (!target.ticked) {
            continue;
        }
        auto line = std::make_unique<InstalledCheckbox>();
        Redirect(*line, {{"checkbox_font_name", "installed_check_font_name"},
                         {"checkbox_font_weight", "installed_check_font_wight"},
                         {"checkbox_font_color", "installed_check_font_color"},
                         {"checkbox_font_size", "installed_check_font_size"},
                         {"checkbox_image", "installed_check_image"}});
        Attach(*line, page, {0, y, pw - 150, 20});
        SetNone(*line, "default_back_color");
        line->style().set("checkbox_text_gap", int32_t{10});
        line->layout(0);
        line->set_caption(CheckCaption(VersionName(target.index), ""));
        line->layout(line->layout_kind());
        line->set_checked(false);
        line->invalidate(false);
        line->set_visible(false);
        line->set_live(access_live::polite);
        m_installed_checks.push_back(std::move(line));
        y += 25;
    }

    y += 20;
    Attach(m_finish_hint, page, {0, y, pw - 150, 60});
    m_finish_hint.style().set("default_back_color", clear_white);
    StyleIntroLabel(m_finish_hint);
    m_finish_hint.set_fit(label_fit::fixed, label_fit::to_text);
    m_finish_hint.set_text(finish_hint_text, label_fit::fixed, label_fit::to_text);
    m_finish_hint.update_size();
    m_finish_hint.invalidate(false);
    m_finish_hint.set_visible(false);

    const int32_t width = std::max({m_installing_title.width(), m_status_label.width(),
                                    m_installing_separator.width(), m_progress_bar.width(),
                                    m_progress_label.width(), m_finish_hint.width()});
    CentreBlock(Installing, width, m_finish_hint.y() + m_finish_hint.height() + 15);
}

void InstallerUI::StartInstall()
{
    m_cancel.set_enabled(true);
    m_cancel.set_visible(true);
    m_back.set_enabled(false);
    m_back.set_visible(true);
    m_next.set_enabled(false);
    SetNextCaption("INSTALLING...");

    // Every scheduled component counts, also one an earlier run did: a retry starts from what
    // is there already.
    m_components_total = 0;
    m_total_bytes = 0;
    for (const InstallTarget& target : m_targets) {
        if (PluginScheduled(target)) {
            ++m_components_total;
            m_total_bytes += m_payload_sizes.plugin;
        }
        if (ScriptsScheduled(target)) {
            ++m_components_total;
            m_total_bytes += m_payload_sizes.scripts;
        }
    }

    generic_panel& page = m_pages[Installing];
    set_timer(&page, install_timer, poll_interval_ms, false);
    m_timer_connection = event_dispatcher::instance().connect(
        &page, this, event_type::timer, bind_event(this, &InstallerUI::OnInstallTimer));

    std::vector<std::u16string> plugin_folders;
    std::vector<std::u16string> scripts_folders;
    for (const InstallTarget& target : m_targets) {
        const bool plugin = PluginScheduled(target) && target.plugin_status != install_status::done;
        const bool scripts =
            ScriptsScheduled(target) && target.scripts_status != install_status::done;
        plugin_folders.push_back(plugin ? target.plugin_folder : std::u16string());
        scripts_folders.push_back(scripts ? target.scripts_folder : std::u16string());
    }
    // The starter sizes the cells and clears the done flag before the thread exists, so the
    // first tick never reads a cell the worker is still resizing.
    m_worker = StartInstallWorker(m_state, plugin_folders, scripts_folders, RecordedRun());
}

// The wizard's files go into the install record nimbic-deploy and the MSI keep, and the run ends
// by updating the Apps entry and logging what it did, all on the worker thread. What keeps the
// product out of Settings > Apps is kept for the result line, read once the worker has ended.
InstallRun InstallerUI::RecordedRun()
{
    m_registration_problem.clear();
    m_run_logged = false;
    InstallRun run;
    std::u16string folder;
    if (!ProductFolderInUse(&folder)) {
        return run;
    }
    run.record = RecordPathIn(folder);
    for (const InstallTarget& target : m_targets) {
        run.target_names.push_back(VersionName(target.index));
    }
    run.finished = [this, folder, names = run.target_names](const InstallState& state) {
        if (state.installed_files().empty()) {
            return;
        }
        const registration registered = RegisterInstall(folder);
        m_run_logged = LogWizardRun(state.installed_files(), names, registered, folder);
        m_registration_problem = RegistrationProblem(registered, folder);
    };
    return run;
}

bool InstallerUI::AnythingScheduled() const
{
    return std::any_of(m_targets.begin(), m_targets.end(), [](const InstallTarget& target) {
        return PluginScheduled(target) || ScriptsScheduled(target);
    });
}

void InstallerUI::OnInstallTimer()
{
    // Ending the run under an open question would stack the failure popup on it and give the
    // wizard its input back while the question still waits; the page stays as it is until then.
    if (m_open_popups > 0) {
        m_tick_waiting = true;
        return;
    }
    const StatusCells& plugin_cells = m_state.plugin_cells();
    const StatusCells& scripts_cells = m_state.scripts_cells();
    // Read the flag before the cells: the worker stores it last, so cells read after seeing it
    // set are final.
    const bool done = m_state.done();
    int32_t plugin_failure = -1;
    int32_t plugin_code = 0;
    int32_t scripts_failure = -1;
    int32_t scripts_code = 0;
    for (size_t i = 0; i < m_targets.size(); ++i) {
        InstallTarget& target = m_targets[i];
        if (i < plugin_cells.size()) {
            if (const int32_t cell = plugin_cells.get(i); cell != 0) {
                target.plugin_status = cell;
            }
            if (target.plugin_status > install_status::done) {
                plugin_failure = target.index;
                plugin_code = target.plugin_status;
            }
        }
        if (i < scripts_cells.size()) {
            if (const int32_t cell = scripts_cells.get(i); cell != 0) {
                target.scripts_status = cell;
            }
            if (target.scripts_status > install_status::done) {
                scripts_failure = target.index;
                scripts_code = target.scripts_status;
            }
        }
    }
    if (!done) {
        UpdateProgress();
        return;
    }
    CompleteRun(plugin_failure, plugin_code, scripts_failure, scripts_code);
}

void InstallerUI::UpdateProgress()
{
    uint64_t done_bytes = 0;
    for (const InstallTarget& target : m_targets) {
        if (PluginScheduled(target) && target.plugin_status == install_status::done) {
            done_bytes += m_payload_sizes.plugin;
        }
        if (ScriptsScheduled(target) && target.scripts_status == install_status::done) {
            done_bytes += m_payload_sizes.scripts;
        }
    }
    // The bar, the percentage and the sizes all say the same: what is in place of what the run
    // writes, also when it ended with a failure. A run with nothing to write shows 0 % until it
    // ends, then 100 %.
    float progress = m_finished ? 1.0f : 0.0f;
    if (m_total_bytes != 0) {
        progress = std::min(1.0f, static_cast<float>(static_cast<double>(done_bytes) /
                                                     static_cast<double>(m_total_bytes)));
    }
    m_progress_bar.set_progress(progress);
    m_progress_bar.invalidate(false);

    // Rounded down: 100 % only once everything is in place.
    const long percent = static_cast<long>(std::floor(progress * 100.0f));
    m_progress_label.set_mode(label_mode::markup);
    m_progress_label.set_fit(label_fit::fixed, label_fit::fixed);
    m_progress_label.set_markup("<html><body><font color = \"#1b6936\">" + std::to_string(percent) +
                                "% </font> Complete (" + DoneText(done_bytes, m_total_bytes) +
                                " of " + CompactSizeText(m_total_bytes) + ")</body></html>");
    m_progress_label.update_size();
    m_progress_label.update_links();
    m_progress_label.invalidate(false);

    // A line reports the components its target was given: one without any (a Custom target
    // with no folder chosen) stays hidden and claims nothing.
    size_t line = 0;
    bool all_installed = true;
    for (const InstallTarget& target : m_targets) {
        if (!target.ticked) {
            continue;
        }
        if (line >= m_installed_checks.size()) {
            break;
        }
        InstalledCheckbox& check = *m_installed_checks[line++];
        const bool plugin = PluginScheduled(target);
        const bool scripts = ScriptsScheduled(target);
        if (!plugin && !scripts) {
            continue;
        }
        const bool ok = (!plugin || target.plugin_status == install_status::done) &&
                        (!scripts || target.scripts_status == install_status::done);
        all_installed = all_installed && ok;
        if ((plugin && !IsFinal(target.plugin_status)) ||
            (scripts && !IsFinal(target.scripts_status))) {
            continue;
        }
        check.set_caption(
            CheckCaption(VersionName(target.index), ok ? " installed." : " not installed."));
        check.layout(check.layout_kind());
        check.invalidate(false);
        check.set_checked(ok);
        check.invalidate(false);
        check.set_visible(true);
    }

    if (m_finished) {
        // The bar's own label goes; the line beside it tells what it reached.
        if (m_progress_bar.labelled_by() != m_progress_label.access_id()) {
            m_progress_bar.set_labelled_by(&m_progress_label);
            announce(access_event::name_changed, &m_progress_bar);
        }
        m_installing_label.set_visible(false);
        m_finish_hint.set_visible(true);
        if (all_installed && AnythingScheduled()) {
            m_installing_title.set_text("Mission Success!", label_fit::fixed, label_fit::fixed);
            m_installing_title.invalidate(false);
            m_pages[Installing].set_labelled_by(&m_installing_title);
        }
    }
    // Everything this tick changed reaches the screen at once: repainting the bar before the
    // lines and the title were updated showed a half-finished page for a moment.
    update_now();
}

} // namespace nimbic
