// The Welcome page: greeting, what will be installed, the licence sentence and link, the version.
#include "installer/installer_style.h"
#include "installer/installer_ui.h"
#include "installer/product.h"

#include <algorithm>
#include <string>

namespace nimbic {

using namespace zksdk::ui;

namespace {

std::string WelcomeTitle()
{
    std::string title = "Welcome to the " + std::string(product::installer_name);
    if (!product::host_name.empty()) {
        title += " for " + std::string(product::host_name);
    }
    return title + "!";
}

} // namespace

void InstallerUI::BuildWelcomePage()
{
    generic_panel& page = PlacePage(Welcome);
    const int32_t pw = page.width();

    AttachTitle(m_welcome_title, page, pw - 140, WelcomeTitle());
    page.set_labelled_by(&m_welcome_title);
    // The page opens with the focus on I AGREE, outside it, so the title tells it (ShowPage). As
    // a live text it is, in both interfaces, a polite live region where the sentence's live
    // change is raised (for Active Accessibility, and UI Automation without notifications).
    m_welcome_title.set_live(access_live::polite);
    const int32_t title_height = m_welcome_title.height();

    Attach(m_welcome_text, page, {0, title_height + 15, pw - 150, 60});
    SetNone(m_welcome_text, "default_back_color");
    StyleIntroLabel(m_welcome_text);
    m_welcome_text.set_text("This will install " + std::string(product::name) + " " +
                                std::string(product::version) +
                                " on your computer!\n\nIt is recommended that you close all other "
                                "applications before continuing.\n",
                            label_fit::fixed, label_fit::to_text);
    const int32_t text_height = m_welcome_text.height();

    Attach(m_agree_label, page, {0, title_height + 15 + text_height, pw - 150, 60});
    SetNone(m_agree_label, "default_back_color");
    m_agree_label.style().set("label_text_valign", int32_t{0});
    Redirect(m_agree_label, {{"label_font_size", "intro_font_size"},
                             {"label_font_name", "intro_font_name"},
                             {"label_font_color", "intro_font_color"}});
    m_agree_label.set_text("By installing you agree to the ", label_fit::to_text, label_fit::fixed);

    StyleWelcomeLink(m_welcome_license_link);
    Attach(m_welcome_license_link, page,
           {m_agree_label.x() + m_agree_label.width(), m_agree_label.y(), 250,
            m_agree_label.height()});
    m_welcome_license_link.set_caption(product::license_link);
    m_welcome_license_link.update_size();
    m_welcome_license_link.invalidate(false);
    event_dispatcher::instance().connect(&m_welcome_license_link, this, event_type::clicked,
                                         bind_event(this, &InstallerUI::OnNavigationClick));

    Attach(m_version_label, page,
           {0, title_height + 15 + text_height + m_agree_label.height() + 15, pw - 150, 60});
    SetNone(m_version_label, "default_back_color");
    StyleVersionLineLabel(m_version_label);
    m_version_label.set_text("Version: " + std::string(product::version), label_fit::fixed,
                             label_fit::to_text);

    const int32_t content_width = std::max({m_welcome_title.width(), m_welcome_text.width(),
                                            m_agree_label.width(), m_version_label.width()});
    const int32_t content_height =
        title_height + text_height + m_agree_label.height() + m_version_label.height() + 45;
    CentreBlock(Welcome, content_width, content_height);
}

} // namespace nimbic
