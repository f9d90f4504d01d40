// The Versions page: one check box per found host version, the Custom target with its folder
// buttons, and the line with the disk space the selection needs.
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/product.h"

#include "engine/install_worker.h"
#include "engine/paths.h"
#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/native_services.h"

#include <algorithm>
#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

constexpr int32_t column_width = 95;
constexpr int32_t row_height = 20;
constexpr int32_t custom_column_x = 190;

std::string SpaceLine(uint64_t bytes)
{
    return "At least " + SizeText(bytes) + " of free disk space is required.";
}

void StylePathLabel(widget& label)
{
    SetNone(label, "default_back_color");
    Redirect(label, {{"label_font_size", "label_path_font_size"},
                     {"label_font_name", "intro_font_name"},
                     {"label_font_color", "intro_font_color"},
                     {"label_text_valign", "label_path_text_valign"}});
}

} // namespace

uint64_t InstallerUI::RequiredBytes(const std::vector<InstallTarget>& targets,
                                    const PayloadSizes& sizes)
{
    uint64_t bytes = 0;
    for (const InstallTarget& target : targets) {
        if (PluginScheduled(target) && target.plugin_status != install_status::done) {
            bytes += sizes.plugin;
        }
        if (ScriptsScheduled(target) && target.scripts_status != install_status::done) {
            bytes += sizes.scripts;
        }
    }
    return bytes;
}

std::string InstallerUI::VersionName(int32_t index) const
{
    const std::vector<std::string>& names = m_state.version_names();
    if (index < 0 || static_cast<size_t>(index) >= names.size()) {
        return {};
    }
    return names[static_cast<size_t>(index)];
}

void InstallerUI::BuildVersionsPage()
{
    generic_panel& page = PlacePage(Versions);
    const int32_t pw = page.width();

    AttachTitle(m_versions_title, page, pw, product::window_title);

    Attach(m_versions_intro, page, {0, m_versions_title.height() + 15, pw - 150, 60});
    SetNone(m_versions_intro, "default_back_color");
    StyleIntroLabel(m_versions_intro);
    m_versions_intro.set_text("Select which versions of Adobe After Effects to install.",
                              label_fit::fixed, label_fit::to_text);
    // The title only repeats the window's name, which a reader has already heard; the line
    // under it is what changed, and a reader speaks the grouping's name as the focus enters it.
    page.set_labelled_by(&m_versions_intro);

    const int32_t y1 = m_versions_title.height() + 15 + m_versions_intro.height() + 15;
    Attach(m_versions_separator, page, {0, y1, pw - 150, 20});
    const int32_t y0 = y1 + m_versions_separator.height() + 15;
    int32_t content_width = std::max(
        {m_versions_title.width(), m_versions_intro.width(), m_versions_separator.width()});

    // Custom first, then the versions newest first, in two columns; Custom gets a third.
    int32_t x = 0;
    int32_t y = y0;
    int32_t bottom = y0;
    int32_t versions = 0;
    for (auto target = m_targets.rbegin(); target != m_targets.rend(); ++target) {
        const bool custom = target->index == custom_version_index;
        if (target == m_targets.rbegin()) {
            bottom += 14;
        }
        auto box = std::make_unique<check_box>();
        Attach(*box, page, custom ? rect{custom_column_x, y0, 85, 14} : rect{x, y, 85, 14});
        SetNone(*box, "default_back_color");
        box->layout(0);
        box->set_caption(custom ? "Custom" : VersionName(target->index));
        box->layout(box->layout_kind());
        box->invalidate(false);
        box->bind(&target->ticked);
        box->set_enabled(true);
        box->set_checked(target->ticked);
        box->invalidate(false);
        event_dispatcher::instance().connect(box.get(), this, event_type::value_changed,
                                             bind_event(this, &InstallerUI::OnVersionsPageEvent));
        add_tooltip(box.get(), {}, "",
                    "[Plugin] " + utf16_to_utf8(path_join(target->plugin_folder, u"Vantrel")) +
                        "\n[Script] " + utf16_to_utf8(target->scripts_folder));
        m_version_checks.push_back(std::move(box));
        if (custom) {
            continue;
        }
        ++versions;
        if (versions % 2 == 1) {
            x += column_width;
        } else {
            x = 0;
            y += row_height;
            bottom += row_height;
            content_width = std::max(content_width, 85);
        }
    }

    // A single row (one version or none) leaves the lines right under Custom's box: they keep
    // a gap from it.
    constexpr int32_t single_row_gap = 10;
    const int32_t flow_top = versions <= 1 ? bottom + single_row_gap : bottom;
    Attach(m_versions_flow, page, {0, flow_top, pw - 150, 10});

    const auto folder_button = [&](generic_button& button, int32_t top, std::string_view caption) {
        Attach(button, page, {285, top, 110, 25});
        button.set_caption(caption);
        button.update_size();
        button.invalidate(false);
        button.set_enabled(false);
        event_dispatcher::instance().connect(&button, this, event_type::mouse_up,
                                             bind_event(this, &InstallerUI::OnVersionsPageEvent));
        // The pointer acts through mouse_up (any button); Enter, Space and assistive technology
        // through clicked.
        event_dispatcher::instance().connect(&button, this, event_type::clicked,
                                             bind_event(this, &InstallerUI::OnVersionsPageEvent));
    };
    // The window hears every press after the widget under the pointer does: it tells a release
    // that ends a press on the folder button from one that ends a press elsewhere.
    event_dispatcher::instance().connect(this, this, event_type::mouse_down,
                                         bind_event(this, &InstallerUI::OnVersionsPageEvent));
    folder_button(m_plugin_folder_button, y0 - 5, "Plugin Path");
    Attach(m_custom_plugin_label, m_versions_flow, {0, 0, pw - 150, 0});
    StylePathLabel(m_custom_plugin_label);
    m_custom_plugin_label.set_visible(false);
    folder_button(m_script_folder_button, y0 + 30, "Script Path");
    Attach(m_custom_script_label, m_versions_flow, {0, 0, pw - 150, 0});
    StylePathLabel(m_custom_script_label);
    m_custom_script_label.set_visible(false);

    // The space line stands apart from the chosen folders above it.
    m_versions_flow.add_spacing(6);
    Attach(m_required_space_label, m_versions_flow, {0, 0, pw - 150, 60});
    SetNone(m_required_space_label, "default_back_color");
    StyleVersionLineLabel(m_required_space_label);
    m_required_space_label.set_fit(label_fit::fixed, label_fit::to_text);
    // From its first paint the line tells what the ticked boxes need.
    UpdateRequiredSpace();
    m_required_space_label.update_size();

    // A reader reads the folder buttons beside Custom, where they are, not after the grid.
    m_plugin_folder_button.set_read_after(m_version_checks.front().get());
    m_script_folder_button.set_read_after(m_version_checks.front().get());

    const int32_t width = std::max(content_width, m_versions_flow.width());
    CentreBlock(Versions, width, VersionsPageHeight());
    // Connected last: the flow panel resizes while its lines are first laid out, and the handler
    // would replace the first space line before the user changed anything.
    event_dispatcher::instance().connect(&m_versions_flow, this, event_type::resized,
                                         bind_event(this, &InstallerUI::OnVersionsPageEvent));
}

void InstallerUI::OnVersionsPageEvent(const event_info& info)
{
    // A release of the pointer has already come as mouse_up.
    if (info.type == static_cast<uint32_t>(event_type::clicked) &&
        info.extra != clicked_without_pointer) {
        return;
    }
    InstallTarget& custom = m_targets.back();
    if (info.sender == this) {
        m_pressed_folder_button = widget_at(root().pointer_position());
        return;
    }
    if (info.sender == &m_plugin_folder_button || info.sender == &m_script_folder_button) {
        const bool plugin = info.sender == &m_plugin_folder_button;
        // As with any button, only a press that is released over the button it began on
        // counts; dragging off is how a user takes a press back.
        const widget& button =
            *static_cast<const widget*>(plugin ? &m_plugin_folder_button : &m_script_folder_button);
        const bool pressed_here = m_pressed_folder_button == &button;
        m_pressed_folder_button = nullptr;
        const point at = button.pointer_position();
        const bool from_pointer = info.type == static_cast<uint32_t>(event_type::mouse_up);
        if (from_pointer && (!pressed_here || at.x < 0 || at.y < 0 || at.x > button.width() ||
                             at.y > button.height())) {
            return;
        }
        std::u16string& folder = plugin ? custom.plugin_folder : custom.scripts_folder;
        const std::u16string chosen = pick_folder(&native(), "Custom Folder", folder);
        if (!chosen.empty()) {
            folder = chosen;
            (plugin ? m_custom_plugin_label : m_custom_script_label)
                .set_text(
                    std::string(plugin ? "\nCustom Plugin Path: " : "\nCustom Script Path: ") +
                        utf16_to_utf8(folder),
                    label_fit::fixed, label_fit::to_text);
        }
    } else if (!m_version_checks.empty() && info.sender == m_version_checks.front().get() &&
               custom.index == custom_version_index) {
        const bool ticked = custom.ticked;
        m_plugin_folder_button.set_enabled(ticked);
        m_script_folder_button.set_enabled(ticked);
        m_custom_plugin_label.set_visible(ticked);
        m_custom_script_label.set_visible(ticked);
    } else if (info.sender == &m_versions_flow &&
               info.type == static_cast<uint32_t>(event_type::resized)) {
        generic_panel& page = m_pages[Versions];
        page.set_geometry({page.x(), page.y(), page.width(), VersionsPageHeight()});
    }
    UpdateRequiredSpace();
}

// Down to the lines under the grid, and never shorter than the Custom folder buttons: with one
// version or none the grid is a single row and the second button reaches below the lines.
int32_t InstallerUI::VersionsPageHeight() const
{
    const int32_t lines_bottom = m_versions_flow.y() + m_versions_flow.height();
    const int32_t buttons_bottom = m_script_folder_button.y() + m_script_folder_button.height();
    return std::max(lines_bottom, buttons_bottom) + 15;
}

void InstallerUI::UpdateRequiredSpace()
{
    const uint64_t bytes = RequiredBytes(m_targets, m_payload_sizes);
    m_required_space_label.set_text(bytes != 0 ? SpaceLine(bytes) : std::string(), label_fit::fixed,
                                    label_fit::to_text);
}

} // namespace nimbic
