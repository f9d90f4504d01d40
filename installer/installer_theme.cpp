// The installer's theme: the application-theme layer every wizard widget reads through.
#include "installer/wizard_frame.h"

#include "installer/theme/installer_pictures.h"

#include "toolkit/core/style/application_theme.h"
#include "toolkit/core/style/style_map.h"

#include <span>
#include <string_view>

namespace nimbic {

using namespace zksdk::ui;

namespace {

color Grey(float value)
{
    return {value, value, value, 1.0f};
}

style_image Picture(std::span<const unsigned char> png, int32_t frames, float scale)
{
    return {png.data(), png.size(), frames, scale};
}

} // namespace

void ApplyWizardTheme()
{
    style_map theme;
    theme.set("header_size", int32_t{64});
    theme.set("footer_size", int32_t{50});
    theme.set("banner_size", style_int_pair{450, 500});
    theme.set("banner_image", Picture(pictures::banner_image, 1, 1.0f));
    theme.set("background_image", Picture(pictures::background_image, 1, 1.0f));
    theme.set("logo_image", Picture(pictures::logo_image, 1, 2.0f));
    theme.set("main_back_color", Grey(0.071f));
    theme.set("main_back_gradient_color1", Grey(0.11f));
    theme.set("main_back_gradient_color2", Grey(0.078f));
    theme.set("label_font_color", Grey(0.784f));
    theme.set("label_font_name", "verdana");
    theme.set("checkbox_font_color", Grey(0.784f));
    theme.set("checkbox_font_name", "verdana");
    theme.set("checkbox_image", Picture(pictures::checkbox_image, 2, 1.0f));
    theme.set("title_font_size", 29.0f);
    theme.set("title_font_name", "tahoma");
    theme.set("title_font_weight", int32_t{0});
    theme.set("title_font_color", Grey(1.0f));
    theme.set("intro_font_size", 13.0f);
    theme.set("intro_font_name", "tahoma");
    theme.set("intro_font_color", Grey(0.575f));
    theme.set("intro_version_font_size", 12.0f);
    theme.set("intro_version_font_color", Grey(0.394f));
    theme.set("intro_version_font_style", int32_t{1});
    theme.set("label_intro_text_valign", int32_t{1});
    theme.set("label_path_text_valign", int32_t{1});
    theme.set("label_path_font_size", 11.0f);
    theme.set("label_adobe_version_weight", int32_t{2});
    theme.set("label_assets_weight", int32_t{2});
    theme.set("label_install_weight", int32_t{2});
    theme.set("license_label_font_name", "Arial");
    theme.set("license_label_font_size", 15.0f);
    theme.set("license_label_font_color", color{0, 0, 0, 1});
    theme.set("header_text_font_name", "tahoma");
    theme.set("header_text_font_size", 11.0f);
    theme.set("header_text_font_color", Grey(0.325f));
    theme.set("footer_text_font_name", "tahoma");
    theme.set("footer_text_font_size", 11.0f);
    theme.set("footer_text_font_color", Grey(0.494f));
    theme.set("rounded_button_back_color_normal", Grey(0.141f));
    theme.set("rounded_button_back_color_hover", Grey(0.216f));
    theme.set("rounded_button_back_color_disabled", Grey(0.09f));
    theme.set("rounded_button_font_name", "tahoma");
    theme.set("rounded_button_font_size", 11.0f);
    theme.set("rounded_button_font_color_normal", Grey(0.4f));
    theme.set("rounded_button_font_color_hover", Grey(1.0f));
    theme.set("rounded_button_font_color_disabled", Grey(0.4f));
    theme.set("rounded_button_next_back_color_normal", color{0.024f, 0.553f, 0.867f, 1});
    theme.set("rounded_button_next_back_color_hover", color{0.015f, 0.496f, 0.659f, 1});
    theme.set("button_color_normal", Grey(0.071f));
    theme.set("button_color_hover", Grey(0.141f));
    theme.set("button_border_color_normal", Grey(0.4f));
    theme.set("button_border_color_hover", Grey(0.784f));
    theme.set("button_font_name", "tahoma");
    theme.set("button_font_weight", int32_t{0});
    theme.set("button_font_size", 11.0f);
    theme.set("button_font_color", Grey(0.5f));
    theme.set("button_font_color_hover", Grey(0.884f));
    theme.set("breakline_color", Grey(0.204f));
    theme.set("summary_back_color", Grey(0.071f));
    theme.set("summary_scroll_color", color{0, 0, 0, 1});
    theme.set("summary_font_size", 10.0f);
    theme.set("summary_font_color", Grey(0.575f));
    theme.set("progress_label_font_size", 11.0f);
    theme.set("progress_bar_back_color", color{0, 0, 0, 1});
    theme.set("progress_bar_color1", color{0.023f, 0.535f, 0.838f, 1});
    theme.set("progress_bar_color2", color{0.012f, 0.287f, 0.445f, 1});
    theme.set("installing_label_font_style", int32_t{1});
    theme.set("installing_label_font_color", Grey(0.784f));
    theme.set("installed_check_font_name", "tahoma");
    theme.set("installed_check_font_color", Grey(0.729f));
    theme.set("installed_check_font_size", 12.0f);
    theme.set("installed_check_font_wight", int32_t{2});
    theme.set("installed_check_image", Picture(pictures::installed_check_image, 2, 2.0f));
    theme.set("notifications_text_font_name", "tahoma");
    theme.set("notifications_text_font_size", 12.0f);
    theme.set("notifications_text_font_color", Grey(0.784f));
    theme.set("notifications_text_alignment", int32_t{1});
    theme.set("notifications_window_margins", style_int_pair{70, 20});
    theme.set("notifications_component_margins", style_int_pair{20, 20});
    theme.set("notifications_error_window_margins", style_int_pair{40, 20});
    theme.set("notifications_error_component_margins", style_int_pair{20, 20});
    theme.set("notifications_back_color", Grey(0.071f));
    // The keyboard's focus mark, one for every wizard control; the toolkit's own dotted marks
    // would draw a second one inside it.
    theme.set("focus_mark_color", color{0.255f, 0.584f, 0.753f, 1.0f});
    theme.set("focus_mark_width", 2.0f);
    theme.set_bytes("button_border_color_focus", {});
    theme.set_bytes("checkbox_border_color_focus", {});
    // Windows and browsers of the toolkit fall back to no colour of their own under this theme.
    theme.set_bytes("default_window_back_color", {});
    theme.set_bytes("browser_back_color", *theme.find("default_window_back_color"));
    install_theme(theme);
}

} // namespace nimbic
