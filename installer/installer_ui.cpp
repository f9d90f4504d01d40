// InstallerUI: construction, the painted frame, the page switch and the footer navigation.
#include "installer/installer_ui.h"

#include "installer/installer_style.h"
#include "installer/product.h"
#include "installer/rights_notice.h"
#include "installer/widgets/notification_popup.h"

#include "engine/install_worker.h"
#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_services.h"
#include "toolkit/platform/renderer.h"

#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr int32_t footer_link_x = 180;
constexpr std::string_view footer_sentence = "By installing, you agree to the";

} // namespace

InstallerUI::InstallerUI()
{
    create(product::window_title, {600, 200, 1024, 610}, 0);
    ApplyInstallerTheme();
    event_dispatcher::instance().connect(&root(), this, event_type::paint,
                                         bind_event(this, &InstallerUI::PaintFrame));
    event_dispatcher::instance().connect(this, this, event_type::key_down,
                                         bind_event(this, &InstallerUI::OnWizardKey));
    event_dispatcher::instance().connect(this, this, event_type::key_down_extended,
                                         bind_event(this, &InstallerUI::OnWizardKey));
    BuildInstallTargets(m_state, m_targets);
    m_payload_sizes = ReadPayloadSizes();
    BuildWelcomePage();
    BuildVersionsPage();
    PlacePage(License); // its content comes with its first opening
    BuildFooter();
    ShowPage(Welcome);
    native().center();
    m_header_notice = RightsNotice(local_calendar_year());
}

// The process must not end while the worker writes files: a cancelled run still completes
// (hidden) before the program exits.
InstallerUI::~InstallerUI()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void InstallerUI::Attach(widget& child, widget& parent, const rect& area)
{
    child.set_window(this);
    child.set_parent(&parent);
    child.create(area);
    event_dispatcher::instance().emit(&child, event_type::created);
    parent.add_child(&child);
}

void InstallerUI::AttachButton(generic_button& button, const rect& area, std::string_view caption)
{
    Attach(button, root(), area);
    button.set_caption(caption);
    button.update_size();
    button.invalidate(false);
    event_dispatcher::instance().connect(&button, this, event_type::clicked,
                                         bind_event(this, &InstallerUI::OnNavigationClick));
}

void InstallerUI::BuildFooter()
{
    const style_table& style = root().style();
    const int32_t footer = style.read_int("footer_size");
    const int32_t w = root().width();
    const int32_t h = root().height();
    const auto footer_y = [&](int32_t height) { return h - footer + (footer - height) / 2; };

    StyleFooterLink(m_footer_license_link);
    AttachButton(m_footer_license_link, {footer_link_x, footer_y(15), 210, 15},
                 product::license_link);
    StyleBackButton(m_cancel);
    AttachButton(m_cancel, {w - 520, footer_y(30), 110, 30}, "CANCEL");
    StyleBackButton(m_back);
    AttachButton(m_back, {w - 380, footer_y(30), 110, 30}, "BACK");
    StyleNextButton(m_next);
    AttachButton(m_next, {w - 210, footer_y(30), 170, 30}, "NEXT");
    set_default_button(&m_next);
    // After the buttons' own describers, which name them by their captions.
    event_dispatcher::instance().connect(&m_next, this, event_type::describe,
                                         bind_event(this, &InstallerUI::DescribeFooter));
    event_dispatcher::instance().connect(&m_footer_license_link, this, event_type::describe,
                                         bind_event(this, &InstallerUI::DescribeFooter));
    event_dispatcher::instance().connect(&m_next, this, event_type::focus_lost,
                                         bind_event(this, &InstallerUI::OnNextFocusLost));
}

// The footer's link is read with the sentence painted before it, which also tells it from the
// Welcome page's link. FINISH carries the result of the run once the result has been said and
// the focus comes back to it: readers read a description when the focus lands, and the result
// was told as the run ended (AnnounceResult), so the first landing would say it twice.
void InstallerUI::DescribeFooter(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    if (info.sender == &m_footer_license_link) {
        node.name = std::string(footer_sentence) + " " + node.name;
    } else if (m_finished && m_result_told) {
        node.description = ResultSentence();
    }
}

void InstallerUI::OnNextFocusLost()
{
    m_result_told = m_finished;
}

rect InstallerUI::PageArea()
{
    const style_table& style = root().style();
    const int32_t header = style.read_int("header_size");
    const int32_t footer = style.read_int("footer_size");
    const int32_t banner_width = style.read_int_pair("banner_size")[0];
    return {banner_width, header, root().width() - banner_width, root().height() - footer - header};
}

generic_panel& InstallerUI::PlacePage(int32_t page)
{
    generic_panel& panel = m_pages.at(page);
    Attach(panel, root(), PageArea());
    SetNone(panel, "default_back_color");
    if (panel.is_visible(false)) {
        panel.invalidate(false);
    }
    panel.set_visible(false);
    return panel;
}

void InstallerUI::AttachTitle(text_label& title, widget& page, int32_t width, std::string_view text)
{
    Attach(title, page, {0, 0, width, 60});
    StyleTitleLabel(title);
    title.set_text(text, label_fit::fixed, label_fit::to_text);
}

void InstallerUI::CentreBlock(int32_t page, int32_t width, int32_t height)
{
    const rect area = PageArea();
    m_pages.at(page).set_geometry(
        {area.x + (area.width - width) / 2, area.y + (area.height - height) / 2, width, height});
}

void InstallerUI::SetNextCaption(std::string_view caption)
{
    m_next.set_caption(caption);
    m_next.update_size();
    m_next.invalidate(false);
}

void InstallerUI::ShowPage(int32_t page)
{
    if (page == License) {
        BuildLicensePage();
    }
    if (page == Installing) {
        BuildInstallingPage();
    }
    const bool running = page == Installing;
    const bool back = !running && page != Welcome;
    const bool link = page == Welcome;
    // What the footer becomes is done in two halves around the focus move: what appears or
    // becomes usable first, what goes or becomes unusable only once the focus has left it, so
    // that no event ever reports the focus on a disabled or hidden control.
    m_cancel.set_caption("CANCEL");
    m_cancel.update_size();
    m_cancel.invalidate(false);
    m_cancel.set_visible(true);
    m_cancel.set_enabled(true);
    m_back.set_visible(true);
    if (back) {
        m_back.set_enabled(true);
    }
    SetNextCaption(running ? "INSTALLING..." : page == Versions ? "INSTALL" : "I AGREE");
    if (!running) {
        m_next.set_enabled(true);
    }
    if (link) {
        m_footer_license_link.set_visible(true);
        m_footer_license_link.set_enabled(true);
    }
    root().invalidate(false);
    m_pages.at(m_current_page).set_visible(false);
    m_pages.at(page).set_visible(true);
    m_previous_page = m_current_page;
    m_current_page = page;
    announce(access_event::structure_changed);
    // Each page opens on what it is about, so that a reader names the page around it: the
    // choices on Versions, the agreement on License, NEXT elsewhere (Enter goes on from any of
    // them), CANCEL while a run leaves nothing else.
    widget* entry = &m_next;
    if (page == Versions && !m_version_checks.empty()) {
        entry = m_version_checks.front().get();
    } else if (page == License) {
        entry = &m_license_text;
    } else if (running) {
        entry = &m_cancel;
    }
    focus_and_announce(entry);
    // A reader names the grouping of a page only when the focus enters it: a page whose entry is
    // in the footer (or one that keeps the focus where it was) is told by the line that names
    // it, a live text, after the focus, which readers speak first and which would cut a
    // sentence said before it. Before the window is shown (Welcome, from the constructor) the
    // window keeps the sentence until it opens and has told its focus.
    bool inside = false;
    for (const widget* up = entry->parent(); up != nullptr && !inside; up = up->parent()) {
        inside = up == &m_pages.at(page);
    }
    const widget* told = widget_by_access_id(m_pages.at(page).labelled_by());
    if (!inside && told != nullptr) {
        access_node node;
        if (describe(*told, node)) {
            announce_text(node.name, told);
        }
    }
    if (!back) {
        m_back.set_enabled(false);
    }
    if (!link) {
        m_footer_license_link.set_visible(false);
        m_footer_license_link.set_enabled(false);
    }
    if (running) {
        m_next.set_enabled(false);
        StartInstall();
    }
}

void InstallerUI::OnNavigationClick(const event_info& info)
{
    if (info.phase != 2) {
        return;
    }
    const event_object* sender = info.sender;
    const bool license_link = sender == &m_footer_license_link || sender == &m_welcome_license_link;
    if (m_current_page == License && (sender == &m_back || sender == &m_next)) {
        ShowPage(m_previous_page);
    } else if (license_link) {
        ShowPage(License);
    } else if (sender == &m_back) {
        ShowPage(m_current_page - 1);
    } else if (sender == &m_next) {
        if (m_finished) {
            close(1);
        } else if (m_current_page != Versions || (EnoughSpaceToInstall() && NoOtherSetupWrites())) {
            ShowPage(m_current_page + 1);
        }
    } else if (sender == &m_cancel) {
        ConfirmCancel();
    }
}

// Escape and Alt+F4 ask what CANCEL asks, and only while CANCEL could be pressed; once the run
// has finished Alt+F4 closes as FINISH does. While a popup runs, this window gets no keys (its
// owner is disabled).
void InstallerUI::OnWizardKey(const event_info& info)
{
    constexpr int32_t alt_held = 1 << 29;
    bool asks = false;
    if (info.type == static_cast<uint32_t>(event_type::key_down_extended)) {
        const auto& message = *static_cast<const key_message*>(info.data);
        asks = message.virtual_key == key_code::f4 && (message.flags & alt_held) != 0;
        if (asks && m_finished) {
            close(1);
            return;
        }
    } else {
        asks = reinterpret_cast<uintptr_t>(info.data) == key_code::escape;
    }
    if (asks && m_cancel.accepts_input() && m_cancel.is_visible(true)) {
        ConfirmCancel();
    }
}

void InstallerUI::ConfirmCancel()
{
    NotificationPopup popup;
    popup.root().style().redirect("message_popup_window_margins", "notifications_window_margins");
    popup.root().style().redirect("message_popup_component_margins",
                                  "notifications_component_margins");
    popup.setup(this, "Exit Installer",
                "Are you sure you want to cancel " + std::string(product::with_host) +
                    " installation?");
    const int32_t result = RunPopup(popup);
    if (result != 0) {
        close(result);
        return;
    }
    // NO promised that nothing changed: a run that ended meanwhile is reported only now.
    if (m_tick_waiting) {
        m_tick_waiting = false;
        OnInstallTimer();
    }
}

// A popup's loop dispatches every message of the thread, the install timer's included; the
// count lets the timer tell that a question is still open.
int32_t InstallerUI::RunPopup(NotificationPopup& popup)
{
    struct Counted {
        int32_t& count;
        explicit Counted(int32_t& open) : count(++open) {}
        ~Counted() { --count; }
        Counted(const Counted&) = delete;
        Counted& operator=(const Counted&) = delete;
    } counted(m_open_popups);
    return popup.run_modal();
}

void InstallerUI::ApplyInstallerTheme()
{
    ApplyWizardTheme();
}

void InstallerUI::PaintFrame()
{
    renderer& target = painter();
    const style_table& style = root().style();
    const int32_t h = root().height();
    const int32_t footer = style.read_int("footer_size");
    m_frame.Paint(target, style, root().width(), h, m_header_notice);

    if (m_current_page == Welcome) {
        target.set_font(style.read_string("footer_text_font_name"),
                        style.read_float("footer_text_font_size"), 0, 0, false);
        target.set_text_color(style.read_color("footer_text_font_color"));
        target.set_text_alignment(0, 0);
        target.draw_text({28, h - footer, footer_link_x, footer}, footer_sentence);
    }
}

} // namespace nimbic
