// The License page: the agreement in a white scrolling panel, copied through a right-click menu.
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/license/license_document.h"
#include "installer/product.h"

#include "toolkit/controls/popup_menu.h"
#include "toolkit/platform/native_services.h"

#include <algorithm>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr uint32_t copy_item = 2;
const color white{1, 1, 1, 1};

} // namespace

// Built when the page first opens: laying out the whole agreement costs the wizard's first frame
// more than anything the Welcome page draws.
void InstallerUI::BuildLicensePage()
{
    if (m_license_panel.is_created()) {
        return;
    }
    m_license_markup.assign(license_agreement.begin(), license_agreement.end());
    generic_panel& page = m_pages.at(License);

    Attach(m_license_panel, page, {0, 0, page.width(), page.height()});
    m_license_panel.style().set("default_back_color", white);
    const int32_t panel_width = m_license_panel.width();
    const int32_t panel_height = m_license_panel.height();

    Attach(m_license_scroll, m_license_panel, {panel_width - 15, 0, 15, panel_height});
    m_license_scroll.style().set("default_back_color", color{0.208f, 0.208f, 0.208f, 1});
    m_license_scroll.set_step(30);

    // Its height comes from the one layout of the agreement, below.
    Attach(m_license_text, m_license_panel, {10, 0, panel_width - 35, 0});
    m_license_text.style().set("default_back_color", white);
    Redirect(m_license_text, {{"label_text_valign", "label_intro_text_valign"},
                              {"label_font_name", "license_label_font_name"},
                              {"label_font_size", "license_label_font_size"},
                              {"label_font_color", "license_label_font_color"}});
    m_license_text.set_mode(label_mode::markup);
    m_license_text.set_fit(label_fit::fixed, label_fit::to_text);
    m_license_text.set_markup(m_license_markup);
    m_license_text.update_size();
    m_license_text.update_links();
    m_license_text.invalidate(false);
    event_dispatcher& events = event_dispatcher::instance();
    events.connect(&m_license_text, this, event_type::mouse_up,
                   bind_event(this, &InstallerUI::OnLicenseTextMouseUp));
    // The agreement takes the focus so that the keyboard can scroll it and a screen reader can
    // read it as one document.
    m_license_text.set_tab_stop(true);
    events.connect(&m_license_text, this, event_type::key_down,
                   bind_event(this, &InstallerUI::OnLicenseTextKey));
    events.connect(&m_license_text, this, event_type::describe,
                   bind_event(this, &InstallerUI::DescribeLicense));
    events.connect(&m_license_text, this, event_type::access_text,
                   bind_event(this, &InstallerUI::OnLicenseAccessText));
    events.connect(&m_license_text, this, event_type::access_scroll,
                   bind_event(this, &InstallerUI::OnLicenseScrollRequest));
    m_license_scroll.attach(&m_license_text);
}

// A reader's place in the agreement (its caret) moves a line at a time with the arrows, to
// either end with Home and End, and to the top of the new view with the page keys. The view
// follows with the place at its top where it can be, so the arrows scroll a line a time for
// those who read the screen too; every move is told as the caret's.
void InstallerUI::OnLicenseTextKey(const event_info& info)
{
    constexpr uint32_t page_up = 0x21, page_down = 0x22, end = 0x23, home = 0x24, up = 0x26,
                       down = 0x28;
    const auto key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info.data));
    const std::vector<text_line_geometry>& lines = m_license_text.line_geometry();
    const int32_t before_y = m_license_text.y();
    const int32_t before_line = m_license_caret_line;
    if (lines.empty()) {
        m_license_scroll.scroll_for_key(key);
    } else if (key == page_up || key == page_down) {
        m_license_scroll.scroll_for_key(key);
        const auto top = static_cast<float>(-m_license_text.y());
        const auto first = std::find_if(lines.begin(), lines.end(),
                                        [top](const auto& line) { return line.top >= top; });
        m_license_caret_line =
            static_cast<int32_t>(first == lines.end() ? lines.size() - 1 : first - lines.begin());
    } else if (key == up || key == down || key == home || key == end) {
        const auto last = static_cast<int32_t>(lines.size()) - 1;
        int32_t& line = m_license_caret_line;
        line = key == home  ? 0
               : key == end ? last
               : key == up  ? std::max(line - 1, 0)
                            : std::min(line + 1, last);
        const auto top = static_cast<int32_t>(lines[static_cast<size_t>(line)].top);
        const int32_t offset = -m_license_text.y();
        // Down and End bring the place to the top; Up and Home scroll only when it is above.
        const int32_t wanted =
            key == down || key == end ? std::max(offset, top) : std::min(offset, top);
        m_license_scroll.scroll_to(std::clamp(wanted, 0, m_license_scroll.range()),
                                   scroll_snap::exact);
    }
    if (m_license_caret_line != before_line || m_license_text.y() != before_y) {
        announce(access_event::text_selection_changed, &m_license_text);
    }
}

// After the label's own answer, which gives the text and its lines.
void InstallerUI::OnLicenseAccessText(const event_info& info)
{
    auto& source = *static_cast<access_text_source*>(info.data);
    if (source.lines != nullptr && !source.lines->empty()) {
        const auto line =
            std::min<size_t>(static_cast<size_t>(m_license_caret_line), source.lines->size() - 1);
        source.caret = (*source.lines)[line].first;
    }
}

// The rows asked for go to the top of the view, or, when they are below it, just into it.
void InstallerUI::OnLicenseScrollRequest(const event_info& info)
{
    const auto& request = *static_cast<const access_scroll_request*>(info.data);
    const int32_t shown = m_license_panel.height();
    const int32_t offset = request.align_to_top ? request.top : request.bottom - shown;
    m_license_scroll.scroll_to(std::clamp(offset, 0, m_license_scroll.range()), scroll_snap::exact);
    const auto lines = static_cast<int32_t>(m_license_text.line_geometry().size());
    if (request.place_line >= 0 && request.place_line < lines &&
        request.place_line != m_license_caret_line) {
        m_license_caret_line = request.place_line;
        announce(access_event::text_selection_changed, &m_license_text);
    }
}

// The label calls itself static text named by all it shows; the agreement is a document with
// a title, whose whole text is its value.
void InstallerUI::DescribeLicense(const event_info& info)
{
    auto& node = *static_cast<access_node*>(info.data);
    node.role = access_role::document;
    node.name = product::license_link;
    node.value = m_license_text.text();
}

void InstallerUI::OnLicenseTextMouseUp(const event_info& info)
{
    if (info.sender != &m_license_text ||
        info.type != static_cast<uint32_t>(event_type::mouse_up) ||
        reinterpret_cast<uintptr_t>(info.data) != mouse_button::right) {
        return;
    }
    popup_menu menu;
    menu.add_item(copy_item, -1, "Copy");
    if (menu.show(*this) == copy_item) {
        // In markup mode the label's text is the agreement as read, without its tags.
        set_clipboard_text(m_license_text.text());
    }
}

} // namespace nimbic
