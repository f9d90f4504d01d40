// The built-in style defaults: every key any toolkit control knows, in the dark look.
#include "toolkit/core/style/builtin_defaults.h"

#include <bit>

namespace zksdk::ui {
namespace {

template <size_t N>
constexpr builtin_value fixed(style_kind kind, const std::array<uint8_t, N>& bytes)
{
    builtin_value value;
    value.kind = kind;
    value.size = static_cast<uint8_t>(N);
    for (size_t i = 0; i < N; ++i)
        value.bytes[i] = bytes[i];
    return value;
}

constexpr builtin_value rgba(float r, float g, float b, float a)
{
    return fixed(style_kind::color, std::bit_cast<std::array<uint8_t, 16>>(std::array{r, g, b, a}));
}

constexpr builtin_value real(float number)
{
    return fixed(style_kind::float32, std::bit_cast<std::array<uint8_t, 4>>(number));
}

constexpr builtin_value whole(int32_t number)
{
    return fixed(style_kind::int32, std::bit_cast<std::array<uint8_t, 4>>(number));
}

constexpr builtin_value flag(bool on)
{
    return fixed(style_kind::boolean, std::array<uint8_t, 1>{static_cast<uint8_t>(on ? 1 : 0)});
}

constexpr builtin_value pair(int32_t first, int32_t second)
{
    return fixed(style_kind::int_pair,
                 std::bit_cast<std::array<uint8_t, 8>>(std::array<int32_t, 2>{first, second}));
}

constexpr builtin_value quad(int32_t a, int32_t b, int32_t c, int32_t d)
{
    return fixed(style_kind::int_quad,
                 std::bit_cast<std::array<uint8_t, 16>>(std::array<int32_t, 4>{a, b, c, d}));
}

constexpr builtin_value text(const char* characters)
{
    builtin_value value;
    value.kind = style_kind::string;
    value.text = characters;
    return value;
}

constexpr builtin_value picture(const embedded_picture& file, int32_t frames, float scale)
{
    builtin_value value;
    value.kind = style_kind::image;
    value.picture = &file;
    value.frames = frames;
    value.scale = scale;
    return value;
}

constexpr builtin_value no_picture()
{
    builtin_value value;
    value.kind = style_kind::image;
    return value;
}

// Values nobody reads follow their neighbours: dark grey surfaces, light text, blue focus.
constexpr builtin_definition builtin_list[] = {
    // default
    {"default_back_color", rgba(0, 0, 0, 0)},
    {"default_back_color_disabled", rgba(0.118, 0.122, 0.133, 1)},
    {"default_border_color", rgba(0, 0, 0, 0)},
    {"default_border_width", real(1)},
    // checkbox
    {"checkbox_back_color", rgba(0, 0, 0, 0)},
    {"checkbox_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"checkbox_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"checkbox_border_color_focus", rgba(0.255, 0.584, 0.753, 1)},
    {"checkbox_border_width", real(1)},
    {"checkbox_font_name", text("Tahoma")},
    {"checkbox_font_style", whole(0)},
    {"checkbox_font_weight", whole(0)},
    {"checkbox_font_color", rgba(1, 1, 1, 1)},
    {"checkbox_font_size", real(11)},
    {"checkbox_text_gap", whole(5)},
    {"checkbox_image", picture(pictures::checkbox_image, 2, 1)},
    // message
    {"message_popup_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"message_popup_font_name", text("Tahoma")},
    {"message_popup_font_style", whole(0)},
    {"message_popup_font_weight", whole(0)},
    {"message_popup_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"message_popup_font_size", real(11)},
    {"message_popup_text_align", whole(0)},
    {"message_popup_button_align", whole(1)},
    {"message_popup_image", picture(pictures::message_popup_image, 1, 1)},
    {"message_popup_window_margins", pair(20, 20)},
    {"message_popup_component_margins", whole(10)},
    // colorcontrol
    {"colorcontrol_gradient_1", rgba(0.239, 0.247, 0.263, 1)},
    {"colorcontrol_gradient_2", rgba(0.173, 0.176, 0.192, 1)},
    {"colorcontrol_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"colorcontrol_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"colorcontrol_border_color_focus", rgba(0.255, 0.584, 0.753, 1)},
    {"colorcontrol_back_color_disabled", rgba(0.118, 0.122, 0.133, 1)},
    // color
    {"color_select_dialog_margins", pair(10, 10)},
    {"color_select_dialog_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"color_select_dialog_button_round_edges", flag(false)},
    {"color_select_dialog_button_back_color_normal", rgba(0.173, 0.176, 0.192, 1)},
    {"color_select_dialog_button_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"color_select_dialog_button_back_color_pressed", rgba(0.133, 0.137, 0.149, 1)},
    {"color_select_dialog_button_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"color_select_dialog_button_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"color_select_dialog_borders_color", rgba(0.29, 0.31, 0.325, 1)},
    {"color_select_dialog_text_color", rgba(0.863, 0.863, 0.863, 1)},
    {"color_select_hue_margins", pair(4, 4)},
    {"color_select_hue_mark", rgba(0.78, 0.78, 0.78, 1)},
    {"color_select_hex_round_edges", flag(false)},
    {"color_select_hex_round_edges_radius", real(3)},
    {"color_select_hex_back_color", rgba(0.098, 0.102, 0.114, 1)},
    {"color_select_hex_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"color_select_hex_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"color_select_hex_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"color_select_dialog_button_back_image", no_picture()},
    // dropdown
    {"dropdown_text_part_color", rgba(0.173, 0.176, 0.192, 1)},
    {"dropdown_text_part_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"dropdown_text_part_color_disabled", rgba(0.118, 0.122, 0.133, 1)},
    {"dropdown_gradient_text", flag(false)},
    {"dropdown_gradient_text_1", rgba(0.239, 0.247, 0.263, 1)},
    {"dropdown_gradient_text_2", rgba(0.173, 0.176, 0.192, 1)},
    {"dropdown_button_part_color", rgba(0.173, 0.176, 0.192, 1)},
    {"dropdown_button_part_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"dropdown_gradient_button", flag(false)},
    {"dropdown_gradient_button_1", rgba(0.239, 0.247, 0.263, 1)},
    {"dropdown_gradient_button_2", rgba(0.173, 0.176, 0.192, 1)},
    {"dropdown_button_image", picture(pictures::dropdown_button_image, 1, 1)},
    {"dropdown_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"dropdown_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"dropdown_border_color_focus", rgba(0.255, 0.584, 0.753, 1)},
    {"dropdown_font_name", text("Tahoma")},
    {"dropdown_font_style", whole(0)},
    {"dropdown_font_weight", whole(0)},
    {"dropdown_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"dropdown_font_color_hover", rgba(1, 1, 1, 1)},
    {"dropdown_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"dropdown_font_color_extra", rgba(0.655, 0.655, 0.655, 1)},
    {"dropdown_font_size", real(11)},
    {"dropdown_font_size_extra", real(9)},
    {"dropdown_text_align", whole(0)},
    {"dropdown_text_margins", quad(5, 1, 5, 1)},
    {"dropdown_back_image", no_picture()},
    {"dropdown_change_on_mouse_wheel", flag(true)},
    {"dropdown_change_on_mouse_wheel_ctrl", flag(false)},
    {"dropdown_round_edges", flag(false)},
    {"dropdown_round_radius", real(3)},
    {"dropdown_icon_offset", pair(0, 0)},
    {"dropdown_icon_image", no_picture()},
    // button
    {"button_color_normal", rgba(0.173, 0.176, 0.192, 1)},
    {"button_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"button_color_toggle", rgba(0.188, 0.29, 0.506, 1)},
    {"button_color_pressed", rgba(0, 0, 0, 0)},
    {"button_round_edges", flag(false)},
    {"button_round_radius", real(0)},
    {"button_border_color_normal", rgba(0, 0, 0, 0)},
    {"button_border_color_hover", rgba(1, 1, 1, 1)},
    {"button_border_color_focus", rgba(0.6, 0.6, 0.6, 1)},
    {"button_font_name", text("Tahoma")},
    {"button_font_style", whole(0)},
    {"button_font_weight", whole(2)},
    {"button_font_color", rgba(1, 1, 1, 1)},
    {"button_font_color_hover", rgba(1, 1, 1, 1)},
    {"button_font_color_pressed", rgba(1, 1, 1, 1)},
    {"button_font_size", real(11)},
    {"button_font_alignment", whole(1)},
    {"button_font_vertical_alignment", whole(0)},
    {"button_text_underlined", flag(false)},
    {"button_text_clip", flag(false)},
    {"button_text_margins", pair(0, 0)},
    {"button_image", no_picture()},
    {"button_image_filter_multiply", rgba(1, 1, 1, 1)},
    {"button_image_filter_multiply_area", quad(0, 0, 0, 0)},
    {"button_image_strech", flag(false)},
    {"button_back_image", no_picture()},
    {"button_auto_size", flag(false)},
    {"button_auto_size_min_max", pair(65, 0)},
    {"button_reset_hover", flag(false)},
    // menubar
    {"menubar_back_color_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"menubar_back_color_highlight", rgba(0.188, 0.29, 0.506, 1)},
    {"menubar_font_name", text("Tahoma")},
    {"menubar_font_style", whole(0)},
    {"menubar_font_weight", whole(0)},
    {"menubar_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"menubar_font_color_selected", rgba(1, 1, 1, 1)},
    {"menubar_font_color_highlight", rgba(0.255, 0.584, 0.753, 1)},
    {"menubar_font_size", real(11)},
    // splitpanel
    {"splitpanel_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"splitpanel_border_color_1", rgba(0.067, 0.071, 0.078, 1)},
    {"splitpanel_border_color_2", rgba(0.29, 0.31, 0.325, 1)},
    {"splitpanel_mark_color", rgba(0.78, 0.78, 0.78, 1)},
    {"splitpanel_split_thickness", real(4)},
    {"splitpanel_split_area", whole(6)},
    // tooltip
    {"tooltip_back_color", rgba(0.106, 0.106, 0.11, 1)},
    {"tooltip_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"tooltip_border_color_1", rgba(0, 0, 0, 1)},
    {"tooltip_font_name", text("Tahoma")},
    {"tooltip_font_style", whole(0)},
    {"tooltip_font_weight", whole(0)},
    {"tooltip_font_color", rgba(0.655, 0.655, 0.655, 1)},
    {"tooltip_font_size", real(11)},
    {"tooltip_title_font_name", text("Tahoma")},
    {"tooltip_title_font_style", whole(0)},
    {"tooltip_title_font_weight", whole(2)},
    {"tooltip_title_font_color", rgba(1, 1, 1, 1)},
    {"tooltip_title_font_size", real(11)},
    // multicolumn
    {"multicolumn_header_color", rgba(0.145, 0.149, 0.165, 1)},
    {"multicolumn_header_divider_color", rgba(0.325, 0.325, 0.325, 1)},
    {"multicolumn_header_font_name", text("Verdana")},
    {"multicolumn_header_font_style", whole(0)},
    {"multicolumn_header_font_weight", whole(2)},
    {"multicolumn_header_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"multicolumn_header_font_size", real(11)},
    {"multicolumn_font_name", text("Tahoma")},
    {"multicolumn_font_style", whole(0)},
    {"multicolumn_font_weight", whole(0)},
    {"multicolumn_font_size", real(11)},
    {"multicolumn_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"multicolumn_font_color_selected", rgba(1, 1, 1, 1)},
    {"multicolumn_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"multicolumn_back_color_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"multicolumn_font_color_highlighted", rgba(0.255, 0.584, 0.753, 1)},
    {"multicolumn_divider_color", rgba(0.325, 0.325, 0.325, 1)},
    {"multicolumn_line_color", rgba(0.325, 0.325, 0.325, 1)},
    // tabcontainer
    {"tabcontainer_line_color", rgba(0.325, 0.325, 0.325, 1)},
    // tabbutton
    {"tabbutton_gradient_1", rgba(0.239, 0.247, 0.263, 1)},
    {"tabbutton_gradient_2", rgba(0.173, 0.176, 0.192, 1)},
    {"tabbutton_gradient_1_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"tabbutton_gradient_2_selected", rgba(0.145, 0.22, 0.384, 1)},
    {"tabbutton_gradient_1_hover", rgba(0.275, 0.282, 0.302, 1)},
    {"tabbutton_font_name", text("Tahoma")},
    {"tabbutton_font_style", whole(0)},
    {"tabbutton_font_weight", whole(0)},
    {"tabbutton_font_size", real(11)},
    {"tabbutton_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"tabbutton_font_color_selected", rgba(1, 1, 1, 1)},
    // float
    {"float_font_name", text("Tahoma")},
    {"float_font_style", whole(0)},
    {"float_font_weight", whole(0)},
    {"float_text_align", whole(0)},
    {"float_text_valign", whole(0)},
    {"float_text_valign_offset", whole(0)},
    {"float_font_size", real(11)},
    {"float_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"float_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"float_units_font_name", text("Tahoma")},
    {"float_units_font_style", whole(0)},
    {"float_units_font_weight", whole(0)},
    {"float_units_font_size", real(10)},
    {"float_units_font_color", rgba(0.655, 0.655, 0.655, 1)},
    {"float_units_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"float_input_back_color", rgba(0.098, 0.102, 0.114, 1)},
    {"float_input_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"float_input_font_default_text_color", rgba(0.451, 0.451, 0.451, 1)},
    {"float_input_size_extra", pair(0, 0)},
    {"float_input_margins", pair(4, 2)},
    {"float_input_round_edges", flag(false)},
    {"float_input_round_radius", real(3)},
    {"float_precision", whole(2)},
    {"float_underline", flag(false)},
    {"float_round_edges", flag(false)},
    {"float_round_radius", real(5)},
    {"float_min_width", whole(40)},
    {"float_margins", pair(0, 0)},
    {"float_size_auto", flag(true)},
    {"float_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"float_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"float_border_color_pressed", rgba(1, 1, 1, 1)},
    {"float_border_style", whole(0)},
    {"float_border_width", real(1)},
    {"float_label_font_name", text("Tahoma")},
    {"float_label_font_style", whole(0)},
    {"float_label_font_weight", whole(0)},
    {"float_label_font_size", real(10)},
    {"float_label_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"float_label_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"float_label_margins", pair(4, 0)},
    {"float_scale_bar_color_normal", rgba(0.255, 0.584, 0.753, 0.5)},
    {"float_scale_bar_color_hover", rgba(1, 1, 1, 1)},
    {"float_angle_watch", flag(false)},
    {"float_angle_watch_back_color", rgba(0.173, 0.176, 0.192, 1)},
    {"float_angle_watch_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"float_angle_watch_fill_color", rgba(0.78, 0.78, 0.78, 1)},
    {"float_angle_watch_fill_color_hover", rgba(1, 1, 1, 1)},
    {"float_angle_watch_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"float_angle_watch_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    // multicontrol
    {"multicontrol_font_name", text("Tahoma")},
    {"multicontrol_font_size", real(11)},
    {"multicontrol_font_weight", whole(0)},
    {"multicontrol_font_style", whole(0)},
    {"multicontrol_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"multicontrol_lock_image", picture(pictures::multicontrol_lock_image, 8, 1)},
    // input
    {"input_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"input_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"input_round_edges", flag(false)},
    {"input_round_radius", real(3)},
    {"input_selection_color", rgba(0.255, 0.584, 0.753, 0.6)},
    {"input_ime_cursor_color", rgba(1, 1, 1, 1)},
    {"input_ime_block_color", rgba(0.255, 0.584, 0.753, 0.35)},
    {"input_font_name", text("Tahoma")},
    {"input_font_style", whole(0)},
    {"input_font_weight", whole(0)},
    {"input_font_size", real(11)},
    {"input_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"input_font_color_selected", rgba(1, 1, 1, 1)},
    {"input_inside_margins", pair(4, 2)},
    {"input_font_default_text_color", rgba(0.451, 0.451, 0.451, 1)},
    // scroll
    {"scroll_button_back_color", rgba(0.22, 0.235, 0.251, 1)},
    {"scroll_button_line_color", rgba(0.325, 0.325, 0.325, 1)},
    {"scroll_button_arrow_image", picture(pictures::scroll_button_arrow_image, 1, 1)},
    {"scroll_bar_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"scroll_bar_line_color", rgba(0.314, 0.314, 0.314, 1)},
    {"scroll_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"scroll_min_size", whole(50)},
    {"scroll_speed_multiplier", whole(2)},
    {"scroll_auto_hide", flag(false)},
    // label
    {"label_font_name", text("Tahoma")},
    {"label_font_style", whole(0)},
    {"label_font_weight", whole(0)},
    {"label_font_size", real(11)},
    {"label_font_color", rgba(1, 1, 1, 1)},
    {"label_text_align", whole(0)},
    {"label_text_valign", whole(0)},
    {"label_text_clip_width", flag(false)},
    {"label_text_clip_height", flag(false)},
    {"label_text_underlined", flag(false)},
    // browser
    {"browser_back_color", rgba(0.067, 0.067, 0.071, 1)},
    {"browser_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"browser_back_color_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"browser_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"browser_font_color_hover", rgba(1, 1, 1, 1)},
    {"browser_font_color_selected", rgba(1, 1, 1, 1)},
    {"browser_font_name", text("Tahoma")},
    {"browser_font_style", whole(0)},
    {"browser_font_weight", whole(0)},
    {"browser_font_weight_selected", whole(2)},
    {"browser_font_size", real(11)},
    {"browser_scroll_width", whole(12)},
    {"browser_expand_image", picture(pictures::browser_expand_image, 2, 1)},
    {"browser_folder_image", picture(pictures::browser_folder_image, 1, 1)},
    {"browser_pack_image", picture(pictures::browser_pack_image, 1, 1)},
    {"browser_stared_image", picture(pictures::browser_stared_image, 1, 1)},
    {"browser_alien_image", picture(pictures::browser_alien_image, 1, 1)},
    {"browser_virtual_image", picture(pictures::browser_virtual_image, 1, 1)},
    // editparam
    {"editparam_height", whole(24)},
    {"editparam_margins", pair(6, 2)},
    {"editparam_flex_param", flag(false)},
    {"editparam_param_offset", pair(0, 0)},
    {"editparam_text_offset", pair(0, 0)},
    {"editparam_back_color", rgba(0.173, 0.176, 0.192, 1)},
    {"editparam_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"editparam_back_color_flash", rgba(0.298, 0.353, 0.447, 1)},
    {"editparam_text_align", whole(0)},
    {"editparam_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"editparam_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"editparam_font_name", text("Tahoma")},
    {"editparam_font_style", whole(0)},
    {"editparam_font_weight", whole(0)},
    {"editparam_font_size", real(11)},
    {"editparam_button_drives_image", no_picture()},
    {"editparam_title_height", whole(22)},
    {"editparam_title_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"editparam_title_font_weight", whole(2)},
    {"editparam_title_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"editparam_title_font_color_hover", rgba(1, 1, 1, 1)},
    {"editparam_null_height", whole(6)},
    {"editparam_icon_image", no_picture()},
    {"editparam_inputbox_size", pair(120, 22)},
    {"editparam_inputbox_size_auto", flag(false)},
    {"editparam_inputbox_size_auto_max", whole(300)},
    {"editparam_inputbox_back_color", rgba(0.098, 0.102, 0.114, 1)},
    {"editparam_inputbox_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"editparam_inputbox_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_inputbox_round_edges", flag(false)},
    {"editparam_inputbox_round_radius", real(3)},
    {"editparam_inputbox_inside_margins", pair(4, 2)},
    {"editparam_inputbox_font_size", real(11)},
    {"editparam_inputbox_font_name", text("Tahoma")},
    {"editparam_combo_size", pair(120, 22)},
    {"editparam_combo_size_auto", flag(false)},
    {"editparam_combo_size_auto_max", whole(300)},
    {"editparam_dropdown_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_dropdown_font_color_hover", rgba(1, 1, 1, 1)},
    {"editparam_dropdown_font_size", real(11)},
    {"editparam_dropdown_round_edges", flag(false)},
    {"editparam_dropdown_round_radius", real(3)},
    {"editparam_dropdown_back_color_normal", rgba(0.173, 0.176, 0.192, 1)},
    {"editparam_dropdown_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"editparam_dropdown_back_color_disabled", rgba(0.118, 0.122, 0.133, 1)},
    {"editparam_dropdown_text_margins", pair(5, 1)},
    {"editparam_dropdown_icon_offset", pair(0, 0)},
    {"editparam_dropdown_icon_image", no_picture()},
    {"editparam_colorcontrol_size", pair(40, 18)},
    {"editparam_colorcontrol_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_button_size", pair(80, 22)},
    {"editparam_button_auto_size", flag(false)},
    {"editparam_button_auto_size_min_max", pair(65, 0)},
    {"editparam_float_size", pair(60, 20)},
    {"editparam_float_round_edges", flag(false)},
    {"editparam_float_round_radius", real(3)},
    {"editparam_float_back_color", rgba(0.173, 0.176, 0.192, 1)},
    {"editparam_float_back_color_disabled", rgba(0.118, 0.122, 0.133, 1)},
    {"editparam_float_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"editparam_float_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_float_border_color_pressed", rgba(1, 1, 1, 1)},
    {"editparam_float_min_width", whole(40)},
    {"editparam_float_margins", pair(0, 0)},
    {"editparam_float_input_margins", pair(4, 2)},
    {"editparam_float_input_round_edges", flag(false)},
    {"editparam_float_input_round_radius", real(3)},
    {"editparam_float_divider", text(",  ")},
    {"editparam_float_size_fit", flag(false)},
    {"editparam_float_size_fit_max", whole(120)},
    {"editparam_float_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"editparam_float_font_color_driven", rgba(0.976, 0.69, 0.235, 1)},
    {"editparam_float_units_font_color", rgba(0.655, 0.655, 0.655, 1)},
    {"editparam_float_units_font_size", real(10)},
    {"editparam_float_font_size", real(11)},
    {"editparam_float_lock_span", whole(4)},
    {"editparam_float_lock_size", pair(14, 14)},
    {"editparam_float_label_inclusive", flag(false)},
    {"editparam_float_label_font_size", real(10)},
    {"editparam_float_label_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"editparam_float_label_font_color_disabled", rgba(0.392, 0.392, 0.392, 1)},
    {"editparam_float_label_margins", pair(4, 0)},
    {"editparam_float_scale_bar_color_normal", rgba(0.255, 0.584, 0.753, 0.5)},
    {"editparam_float_scale_bar_color_hover", rgba(1, 1, 1, 1)},
    {"editparam_float_precision_int", whole(0)},
    {"editparam_float_precision_float", whole(2)},
    {"editparam_float_precision_angle", whole(1)},
    {"editparam_float_precision_percent", whole(1)},
    {"editparam_float_precision_cm", whole(2)},
    {"editparam_float_angle_watch", flag(false)},
    {"editparam_float_angle_watch_back_color", rgba(0.173, 0.176, 0.192, 1)},
    {"editparam_float_angle_watch_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"editparam_float_angle_watch_fill_color", rgba(0.78, 0.78, 0.78, 1)},
    {"editparam_float_angle_watch_fill_color_hover", rgba(1, 1, 1, 1)},
    {"editparam_float_angle_watch_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"editparam_float_angle_watch_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_checkbox_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"editparam_checkbox_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"editparam_keyframe_color", rgba(0.863, 0.863, 0.863, 1)},
    {"editparam_keyframe_color_active", rgba(0.976, 0.69, 0.235, 1)},
    {"editparam_keyframe_color_inactive", rgba(0.392, 0.392, 0.392, 1)},
    {"editparam_keyframe_color_available", rgba(0.6, 0.6, 0.6, 1)},
    {"editparam_keyframe_size", pair(9, 9)},
    {"editparam_keyframe_button_size", pair(16, 16)},
    {"editparam_keyframe_span", whole(4)},
    {"editparam_image_full_area", flag(false)},
    {"editparam_image_max_image_height", whole(128)},
    {"editparam_image_text_alignment", whole(0)},
    {"editparam_image_browse_button_background", no_picture()},
    {"editparam_image_browse_button_image",
     picture(pictures::editparam_image_browse_button_image, 1, 1)},
    {"editparam_image_expand_button_background", no_picture()},
    {"editparam_image_expand_button_image",
     picture(pictures::editparam_image_expand_button_image, 2, 1)},
    {"editparam_image_expandable", flag(true)},
    {"editparam_image_expanded_default", flag(false)},
    {"editparam_image_full_highlight", no_picture()},
    {"editparam_image_default_image", picture(pictures::editparam_image_default_image, 1, 1)},
    {"editparam_curve_size", pair(200, 120)},
    {"editparam_curve_size_auto", flag(false)},
    {"editparam_curve_size_auto_max", whole(400)},
    {"editparam_curve_grid_color", rgba(0.2, 0.204, 0.22, 1)},
    {"editparam_curve_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"editparam_curve_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"editparam_curve_line_color", rgba(0.325, 0.325, 0.325, 1)},
    {"editparam_curve_timeline_color", rgba(0.325, 0.325, 0.325, 1)},
    // multiwindow
    {"multiwindow_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"multiwindow_border_width", real(1)},
    {"multiwindow_gap_size", whole(4)},
    {"multiwindow_border_color", rgba(0.29, 0.31, 0.325, 1)},
    {"multiwindow_title_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"multiwindow_tab_color", rgba(0.145, 0.149, 0.165, 1)},
    {"multiwindow_tab_color_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"multiwindow_tab_gradient", flag(false)},
    {"multiwindow_tab_gradient_1", rgba(0.239, 0.247, 0.263, 1)},
    {"multiwindow_tab_gradient_2", rgba(0.173, 0.176, 0.192, 1)},
    {"multiwindow_tab_gradient_1_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"multiwindow_tab_gradient_2_selected", rgba(0.145, 0.22, 0.384, 1)},
    {"multiwindow_tab_round_edges", flag(false)},
    {"multiwindow_tab_round_radius", real(3)},
    {"multiwindow_tab_line_color", rgba(0.325, 0.325, 0.325, 1)},
    {"multiwindow_tab_line_color_selected", rgba(0.255, 0.584, 0.753, 1)},
    {"multiwindow_tab_split_line_color", rgba(0.067, 0.071, 0.078, 1)},
    {"multiwindow_tab_font_name", text("Tahoma")},
    {"multiwindow_tab_font_style", whole(0)},
    {"multiwindow_tab_font_weight", whole(0)},
    {"multiwindow_tab_font_size", real(11)},
    {"multiwindow_tab_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"multiwindow_tab_font_color_selected", rgba(1, 1, 1, 1)},
    {"multiwindow_tab_height", whole(24)},
    {"multiwindow_button_color", rgba(0.173, 0.176, 0.192, 1)},
    {"multiwindow_button_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"multiwindow_button_color_pressed", rgba(0.133, 0.137, 0.149, 1)},
    {"multiwindow_button_image", picture(pictures::multiwindow_button_image, 3, 1)},
    {"multiwindow_button_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"multiwindow_button_border_color_focus", rgba(0.255, 0.584, 0.753, 1)},
    // node
    {"node_back_color", rgba(0.145, 0.149, 0.165, 1)},
    {"node_expand_button_image", picture(pictures::node_expand_button_image, 2, 1)},
    {"node_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"node_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"node_border_color_hover_link", rgba(0.463, 0.482, 0.502, 1)},
    {"node_border_color_selected", rgba(0.255, 0.584, 0.753, 1)},
    {"node_border_color_focus", rgba(0.255, 0.584, 0.753, 1)},
    {"node_port_back_color_normal", rgba(0.173, 0.176, 0.192, 1)},
    {"node_port_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"node_port_border_color_normal", rgba(0.29, 0.31, 0.325, 1)},
    {"node_port_border_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"node_port_output_image", picture(pictures::node_port_output_image, 2, 4)},
    {"node_port_input_image", picture(pictures::node_port_input_image, 2, 4)},
    {"node_port_image_filter_multiply", rgba(1, 1, 1, 1)},
    {"node_port_image_filter_multiply_area", quad(0, 0, 0, 0)},
    {"node_link_color_normal", rgba(0.6, 0.6, 0.6, 1)},
    {"node_link_color_hover", rgba(1, 1, 1, 1)},
    {"node_link_color_selected", rgba(0.255, 0.584, 0.753, 1)},
    {"node_link_color_selected_hover", rgba(1, 1, 1, 1)},
    {"node_link_color_invalid", rgba(0.85, 0.26, 0.23, 1)},
    {"node_link_color_ghost", rgba(0.6, 0.6, 0.6, 0.4)},
    {"node_link_glow", flag(true)},
    {"node_link_thickness", real(2)},
    {"node_canvas_grid_color", rgba(0.2, 0.204, 0.22, 1)},
    {"node_canvas_selection_back_color", rgba(0.255, 0.584, 0.753, 0.2)},
    {"node_canvas_selection_border_color", rgba(0.255, 0.584, 0.753, 1)},
    {"node_canvas_relink_on_duplicate", flag(false)},
    {"node_canvas_grid_snap", flag(true)},
    {"node_canvas_back_color", rgba(0.067, 0.071, 0.078, 1)},
    // params
    {"params_node_panel_size", pair(160, 80)},
    {"params_node_panel_expanded_extra_height", whole(60)},
    {"params_node_panel_new_distance", whole(40)},
    {"params_node_panel_new_offset", pair(20, 20)},
    {"params_node_panel_port_output_size", pair(10, 20)},
    {"params_node_panel_port_input_size", pair(10, 20)},
    {"params_node_panel_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"params_node_panel_font_name", text("Verdana")},
    {"params_node_panel_font_size", real(11)},
    {"params_node_panel_font_weight", whole(0)},
    {"params_node_panel_font_style", whole(0)},
    // timeline
    {"timeline_back_color", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_margins", quad(10, 10, 10, 0)},
    {"timeline_max_height", whole(60)},
    {"timeline_mark_min_span", whole(8)},
    {"timeline_mark_height", whole(6)},
    {"timeline_mark_color", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_mark_align", whole(0)},
    {"timeline_mark_first_last_height", whole(10)},
    {"timeline_half_marks", flag(true)},
    {"timeline_half_mark_color", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_indicator_width", whole(11)},
    {"timeline_indicator_line_rect", quad(0, 0, 1, 22)},
    {"timeline_indicator_line_color_normal", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_indicator_line_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"timeline_indicator_image", picture(pictures::timeline_indicator_image, 1, 1)},
    {"timeline_label_margins", pair(2, 2)},
    {"timeline_label_align", whole(0)},
    {"timeline_show_labels", flag(true)},
    {"timeline_label_precision", whole(0)},
    {"timeline_label_units", flag(false)},
    {"timeline_font_name", text("Verdana")},
    {"timeline_font_style", whole(0)},
    {"timeline_font_weight", whole(0)},
    {"timeline_font_size", real(11)},
    {"timeline_font_color", rgba(0.863, 0.863, 0.863, 1)},
    {"timeline_key_mark_size", pair(9, 9)},
    {"timeline_key_mark_color_normal", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_key_mark_color_hover", rgba(0.463, 0.482, 0.502, 1)},
    {"timeline_key_mark_image", picture(pictures::timeline_key_mark_image, 2, 1)},
    {"timeline_work_area_mark_image", picture(pictures::timeline_work_area_mark_image, 1, 1)},
    {"timeline_work_area_mark_color", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_work_area_back_color", rgba(0.353, 0.557, 0.204, 0.2)},
    {"timeline_work_area_resize_margin", whole(4)},
    {"timeline_work_area_offset", pair(0, 0)},
    {"timeline_grid_back_color", rgba(0.325, 0.325, 0.325, 1)},
    {"timeline_grid_line_color", rgba(0.325, 0.325, 0.325, 1)},
    // curve
    {"curve_editor_mark_color_normal", rgba(0.78, 0.78, 0.78, 1)},
    {"curve_editor_mark_color_hover", rgba(1, 1, 1, 1)},
    {"curve_editor_mark_image", picture(pictures::curve_editor_mark_image, 3, 4)},
    {"curve_editor_mark_control_image", picture(pictures::curve_editor_mark_control_image, 3, 4)},
    {"curve_editor_mark_control_color", rgba(0.78, 0.78, 0.78, 1)},
    {"curve_editor_curve_thickness", real(1.5)},
    {"curve_editor_grid_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"curve_editor_grid_color", rgba(0.2, 0.204, 0.22, 1)},
    {"curve_editor_guide_thickness", real(1)},
    {"curve_editor_guide_style", whole(1)},
    // keyframe
    {"keyframe_editor_grid_color", rgba(0.2, 0.204, 0.22, 1)},
    {"keyframe_editor_axis_color", rgba(0.173, 0.176, 0.192, 1)},
    // list
    {"list_back_color", rgba(0.067, 0.071, 0.078, 1)},
    {"list_item_back_color_normal", rgba(0.173, 0.176, 0.192, 1)},
    {"list_item_back_color_hover", rgba(0.239, 0.247, 0.263, 1)},
    {"list_item_back_color_selected", rgba(0.188, 0.29, 0.506, 1)},
    {"list_item_font_name", text("Tahoma")},
    {"list_item_font_style", whole(0)},
    {"list_item_font_weight", whole(0)},
    {"list_item_font_weight_selected", whole(2)},
    {"list_item_font_size", real(11)},
};

style_map build_defaults()
{
    style_map defaults;
    for (const builtin_definition& definition : builtin_list)
        defaults.insert(definition.key, encode_builtin_value(definition.value));
    return defaults;
}

// Fills the layer during start-up, before the entry point and before any other thread exists.
[[maybe_unused]] const style_map& startup_defaults = builtin_defaults();

} // namespace

std::span<const builtin_definition> builtin_definitions()
{
    return builtin_list;
}

const style_map& builtin_defaults()
{
    static const style_map defaults = build_defaults();
    return defaults;
}

style_bytes encode_builtin_value(const builtin_value& value)
{
    if (value.kind == style_kind::string)
        return encode_style_value(std::string_view(value.text));
    if (value.kind == style_kind::image) {
        if (!value.picture)
            return encode_style_value(style_image{});
        return encode_style_value(
            style_image{value.picture->data, value.picture->length, value.frames, value.scale});
    }
    return style_bytes(value.bytes.begin(), value.bytes.begin() + value.size);
}

} // namespace zksdk::ui
