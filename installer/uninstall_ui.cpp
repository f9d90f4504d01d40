// UninstallUI: construction, the page with the places the plug-in is in, the footer and keys.
#include "installer/uninstall_ui.h"

#include "installer/entry.h"
#include "installer/installer_style.h"
#include "installer/product.h"
#include "installer/rights_notice.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_services.h"

#include <algorithm>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr int32_t content_width = 424;
// The page holds this many places; more are summed up in one line.
constexpr size_t places_shown = 4;

std::string Introduction(bool anything_installed)
{
    if (!anything_installed) {
        return std::string(product::name) + " is not installed in any " +
               std::string(product::host_name) +
               " version. UNINSTALL removes its entry in Apps and its program folder.";
    }
    return std::string(product::name) +
           " is installed in these places. UNINSTALL removes it from all of them; a file "
           "changed since it was installed is kept.";
}

std::string FolderLines(const UninstallPlace& place)
{
    std::string lines;
    for (const std::u16string& folder : place.folders) {
        lines += (lines.empty() ? "" : "\n") + utf16_to_utf8(folder);
    }
    return lines;
}

// The folder on one line of `label`: whole when it fits, else its drive and as many of its last
// folders as fit, with "…" for those between (a wrapped line would split "ScriptUI Panels").
std::string OneLine(text_label& label, const std::u16string& folder)
{
    const auto fits = [&label](const std::string& text) {
        label.set_text(text, label_fit::fixed, label_fit::fixed);
        return label.line_geometry().size() <= 1;
    };
    const std::string whole = utf16_to_utf8(folder);
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t end = whole.find('\\', start);
        parts.push_back(whole.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (parts.size() < 3 || fits(whole))
        return whole;
    std::string shortest;
    for (size_t kept = parts.size() - 2; kept >= 1; --kept) {
        std::string candidate = parts.front() + "\\\u2026";
        for (size_t i = parts.size() - kept; i < parts.size(); ++i)
            candidate += "\\" + parts[i];
        shortest = candidate;
        if (fits(candidate))
            break;
    }
    return shortest;
}

} // namespace

UninstallUI::UninstallUI(HandUninstall& uninstall, std::vector<uint32_t> waited)
    : m_uninstall(uninstall), m_waited(std::move(waited))
{
    create(product::uninstaller_title, {600, 200, 1024, 610}, 0);
    ApplyWizardTheme();
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(&root(), this, event_type::paint, bind_event(this, &UninstallUI::PaintFrame));
    events.connect(this, this, event_type::key_down, bind_event(this, &UninstallUI::OnKey));
    events.connect(this, this, event_type::key_down_extended,
                   bind_event(this, &UninstallUI::OnKey));
    events.connect(this, this, event_type::close_request,
                   bind_event(this, &UninstallUI::OnCloseRequest));
    // Laid out around the result it opens with, which is longer than the introduction.
    if (!m_uninstall.refusal().empty())
        m_refused = Ended(RefusedResult(m_uninstall.refusal()), uninstall_exit::unusable);
    BuildPage();
    BuildFooter();
    native().center();
    m_header_notice = RightsNotice(local_calendar_year());
    // Enter uninstalls at once, as Enter goes on in the wizard; a screen reader starts there.
    set_default_button(&m_uninstall_button);
    events.connect(&m_uninstall_button, this, event_type::describe,
                   bind_event(this, &UninstallUI::DescribeUninstall));
    events.connect(&m_uninstall_button, this, event_type::focus_lost,
                   bind_event(this, &UninstallUI::OnUninstallFocusLost));
    set_focus(&m_uninstall_button, focus_by_program);
    if (!m_refused.empty())
        ShowOutcome(m_refused, false, uninstall_exit::unusable);
}

// The members go before the window base does: the tree is taken apart while they are whole. A
// window closed while its worker runs waits for it: the files are whole, and so is the record.
UninstallUI::~UninstallUI()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_page.remove_all_children();
    root().remove_all_children();
}

void UninstallUI::Attach(widget& child, widget& parent, const rect& area)
{
    child.set_window(this);
    child.set_parent(&parent);
    child.create(area);
    event_dispatcher::instance().emit(&child, event_type::created);
    parent.add_child(&child);
}

void UninstallUI::BuildPage()
{
    const style_table& style = root().style();
    const int32_t header = style.read_int("header_size");
    const int32_t footer = style.read_int("footer_size");
    const int32_t banner = style.read_int_pair("banner_size")[0];
    const rect area{banner, header, root().width() - banner, root().height() - footer - header};
    Attach(m_page, root(), area);
    SetNone(m_page, "default_back_color");

    Attach(m_title, m_page, {0, 0, area.width, 60});
    StyleTitleLabel(m_title);
    m_title.set_text(product::uninstaller_title, label_fit::fixed, label_fit::to_text);
    // A reader names the page by its title, as it names the wizard's pages.
    m_page.set_labelled_by(&m_title);

    Attach(m_status, m_page, {0, m_title.height() + 15, content_width, 60});
    SetNone(m_status, "default_back_color");
    StyleIntroLabel(m_status);
    m_status.set_text(!m_refused.empty()          ? m_refused
                      : m_uninstall.msi_product() ? std::string(msi_product_note)
                                                  : Introduction(!m_uninstall.record().empty()),
                      label_fit::fixed, label_fit::to_text);

    const int32_t separator_y = m_status.y() + m_status.height() + 15;
    Attach(m_separator, m_page, {0, separator_y, content_width, 20});
    int32_t y = BuildPlaces(separator_y + 35, content_width);

    Attach(m_progress_bar, m_page, {0, y, content_width, 15});
    m_progress_bar.set_labelled_by(&m_progress_label);
    m_progress_bar.set_visible(false);
    Attach(m_progress_label, m_page, {0, y + 30, content_width, 20});
    SetNone(m_progress_label, "default_back_color");
    Redirect(m_progress_label, {{"label_text_valign", "label_intro_text_valign"},
                                {"label_font_size", "progress_label_font_size"},
                                {"label_font_name", "intro_font_name"},
                                {"label_font_color", "intro_font_color"}});
    m_progress_label.set_live(access_live::polite);
    m_progress_label.set_visible(false);
    Attach(m_finish_hint, m_page, {0, y + 60, content_width, 20});
    SetNone(m_finish_hint, "default_back_color");
    StyleIntroLabel(m_finish_hint);
    m_finish_hint.set_text("Click Finish to close the uninstaller.", label_fit::fixed,
                           label_fit::to_text);
    m_finish_hint.set_visible(false);

    const int32_t height = m_finish_hint.y() + m_finish_hint.height() + 15;
    const int32_t width = std::max(m_title.width(), content_width);
    m_page.set_geometry({area.x + (area.width - width) / 2,
                         area.y + std::max(0, (area.height - height) / 2), width, height});
}

// One name and its folders per place, the folders indented below the name.
int32_t UninstallUI::BuildPlaces(int32_t y, int32_t width)
{
    // A refused record's places are not what an uninstall would remove.
    const std::vector<UninstallPlace> places =
        m_refused.empty() ? m_uninstall.Places() : std::vector<UninstallPlace>{};
    for (size_t i = 0; i < places.size() && i <= places_shown; ++i) {
        auto name = std::make_unique<text_label>();
        Attach(*name, m_page, {0, y, width, 20});
        SetNone(*name, "default_back_color");
        Redirect(*name, {{"label_font_size", "intro_font_size"},
                         {"label_font_name", "intro_font_name"},
                         {"label_font_color", "checkbox_font_color"},
                         {"label_text_valign", "label_intro_text_valign"}});
        if (i == places_shown) {
            name->set_text("and " + std::to_string(places.size() - places_shown) + " more",
                           label_fit::fixed, label_fit::to_text);
            y += name->height() + 10;
            m_place_labels.push_back(std::move(name));
            break;
        }
        name->set_text(places[i].target, label_fit::fixed, label_fit::to_text);
        y += name->height() + 2;
        auto folders = std::make_unique<text_label>();
        Attach(*folders, m_page, {15, y, width - 15, 20});
        SetNone(*folders, "default_back_color");
        Redirect(*folders, {{"label_font_size", "label_path_font_size"},
                            {"label_font_name", "intro_font_name"},
                            {"label_font_color", "intro_font_color"},
                            {"label_text_valign", "label_path_text_valign"}});
        std::string lines;
        for (const std::u16string& folder : places[i].folders) {
            lines += (lines.empty() ? "" : "\n") + OneLine(*folders, folder);
        }
        folders->set_text(lines, label_fit::fixed, label_fit::to_text);
        // A reader hears each folder whole.
        m_whole_folders.emplace_back(folders.get(), FolderLines(places[i]));
        event_dispatcher::instance().connect(folders.get(), this, event_type::describe,
                                             bind_event(this, &UninstallUI::DescribeFolders));
        y += folders->height() + 10;
        m_place_labels.push_back(std::move(name));
        m_place_labels.push_back(std::move(folders));
    }
    return y + 10;
}

void UninstallUI::BuildFooter()
{
    const int32_t footer = root().style().read_int("footer_size");
    const int32_t w = root().width();
    const int32_t y = root().height() - footer + (footer - 30) / 2;
    const auto button = [&](RoundedButton& target, const rect& area, std::string_view caption) {
        Attach(target, root(), area);
        target.set_caption(caption);
        target.update_size();
        target.invalidate(false);
        event_dispatcher::instance().connect(&target, this, event_type::clicked,
                                             bind_event(this, &UninstallUI::OnButton));
    };
    StyleBackButton(m_cancel);
    button(m_cancel, {w - 380, y, 110, 30}, "CANCEL");
    StyleNextButton(m_uninstall_button);
    button(m_uninstall_button, {w - 210, y, 170, 30}, "UNINSTALL");
}

void UninstallUI::PaintFrame()
{
    m_frame.Paint(painter(), root().style(), root().width(), root().height(), m_header_notice);
}

void UninstallUI::OnButton(const event_info& info)
{
    if (info.phase != 2 || m_running) {
        return;
    }
    if (info.sender == &m_cancel || (info.sender == &m_uninstall_button && m_finished)) {
        close(m_finished ? m_exit_code : uninstall_exit::cancelled);
    } else if (info.sender == &m_uninstall_button) {
        RemoveAll();
    }
}

// Nothing has changed before UNINSTALL: Escape and Alt+F4, like CANCEL, just close; once it has
// finished Alt+F4 closes as FINISH does. Nothing closes the window while files go.
void UninstallUI::OnKey(const event_info& info)
{
    constexpr int32_t alt_held = 1 << 29;
    if (m_running)
        return;
    if (info.type == static_cast<uint32_t>(event_type::key_down_extended)) {
        const auto& message = *static_cast<const key_message*>(info.data);
        if (message.virtual_key == key_code::f4 && (message.flags & alt_held) != 0)
            close(m_finished ? m_exit_code : uninstall_exit::cancelled);
    } else if (reinterpret_cast<uintptr_t>(info.data) == key_code::escape &&
               m_cancel.accepts_input()) {
        close(uninstall_exit::cancelled);
    }
}

// The title bar's X, and Alt+F4 as Windows turns it into WM_CLOSE: left to the system the window
// would end with 0, which Apps and scripts take for an uninstall done. Before UNINSTALL it is
// CANCEL, on the result page FINISH; nothing closes the window while files go.
void UninstallUI::OnCloseRequest()
{
    if (!m_running)
        close(m_finished ? m_exit_code : uninstall_exit::cancelled);
}

// The focus starts on UNINSTALL, in the footer, outside the page a reader would name: the button
// says what it does until it has done it. FINISH then carries the result, as the wizard's does,
// once the result has been told and the focus comes back to it (told as the removal ended, the
// first landing would say it twice).
void UninstallUI::DescribeUninstall(const event_info& info)
{
    if ((!m_finished && !m_running) || (m_finished && m_result_told))
        static_cast<access_node*>(info.data)->description = m_status.text();
}

void UninstallUI::DescribeFolders(const event_info& info)
{
    for (const auto& [label, whole] : m_whole_folders) {
        if (label == info.sender)
            static_cast<access_node*>(info.data)->name = whole;
    }
}

void UninstallUI::OnUninstallFocusLost()
{
    m_result_told = m_finished;
}

} // namespace nimbic
