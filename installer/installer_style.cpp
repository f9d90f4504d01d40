// Shared style settings of the wizard's widgets.
#include "installer/installer_style.h"

#include "installer/widgets/notification_popup.h"

#include <string_view>

namespace nimbic {

using namespace zksdk::ui;

void Redirect(widget& target, std::initializer_list<StyleRedirect> redirects)
{
    for (const StyleRedirect& redirect : redirects) {
        target.style().redirect(redirect.from, redirect.to);
    }
}

void SetNone(widget& target, const style_key& key)
{
    target.style().set(key, std::string_view());
}

void StyleTitleLabel(widget& label)
{
    SetNone(label, "default_back_color");
    Redirect(label, {{"label_font_size", "title_font_size"},
                     {"label_font_weight", "title_font_weight"},
                     {"label_font_color", "title_font_color"},
                     {"label_font_name", "title_font_name"}});
}

void StyleIntroLabel(widget& label)
{
    Redirect(label, {{"label_text_valign", "label_intro_text_valign"},
                     {"label_font_size", "intro_font_size"},
                     {"label_font_name", "intro_font_name"},
                     {"label_font_color", "intro_font_color"}});
}

void StyleVersionLineLabel(widget& label)
{
    Redirect(label, {{"label_text_valign", "label_intro_text_valign"},
                     {"label_font_size", "intro_version_font_size"},
                     {"label_font_name", "intro_font_name"},
                     {"label_font_color", "intro_version_font_color"},
                     {"label_font_style", "intro_version_font_style"}});
}

void StyleBackButton(generic_button& button)
{
    Redirect(button, {{"button_color_normal", "rounded_button_back_color_normal"},
                      {"button_color_hover", "rounded_button_back_color_hover"},
                      {"button_font_color", "rounded_button_font_color_normal"},
                      {"button_font_color_hover", "rounded_button_font_color_hover"},
                      {"button_font_name", "rounded_button_font_name"},
                      {"button_font_size", "rounded_button_font_size"}});
}

// White caption in every state but disabled.
void StyleNextButton(generic_button& button)
{
    Redirect(button, {{"button_color_normal", "rounded_button_next_back_color_normal"},
                      {"button_color_hover", "rounded_button_next_back_color_hover"},
                      {"button_font_color", "rounded_button_font_color_hover"},
                      {"button_font_color_hover", "rounded_button_font_color_hover"},
                      {"button_font_name", "rounded_button_font_name"},
                      {"button_font_size", "rounded_button_font_size"}});
}

namespace {

void MakeTransparent(generic_button& link)
{
    for (const style_key& key :
         {style_key("button_color_normal"), style_key("button_color_hover"),
          style_key("button_border_color_normal"), style_key("button_border_color_hover"),
          style_key("button_border_color_focus")}) {
        SetNone(link, key);
    }
    link.style().set("button_font_alignment", int32_t{0});
}

} // namespace

void StyleFooterLink(generic_button& link)
{
    Redirect(link, {{"button_font_name", "footer_text_font_name"},
                    {"button_font_size", "footer_text_font_size"},
                    {"button_font_color", "title_font_color"}});
    link.style().set("button_font_weight", int32_t{1});
    MakeTransparent(link);
}

void StyleWelcomeLink(generic_button& link)
{
    Redirect(link, {{"button_font_name", "intro_font_name"},
                    {"button_font_size", "intro_font_size"},
                    {"button_font_color", "intro_font_color"}});
    MakeTransparent(link);
}

void SetupFailurePopup(NotificationPopup& popup, window* owner, std::string_view title,
                       std::string_view message)
{
    popup.root().style().redirect("message_popup_window_margins",
                                  "notifications_error_window_margins");
    popup.root().style().redirect("message_popup_component_margins",
                                  "notifications_error_component_margins");
    popup.set_urgency(popup_urgency::alert);
    popup.setup(owner, title, message);
}

} // namespace nimbic
