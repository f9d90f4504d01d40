// The default pictures, PNG files compiled in as byte arrays by a source generated at build time.
#pragma once

#include <cstdint>

namespace zksdk::ui {

// The bytes of one embedded PNG file; lives for the whole program.
struct embedded_picture {
    const unsigned char* data = nullptr;
    uint64_t length = 0;
};

// One per file in toolkit/core/style/pictures/, named after it.
namespace pictures {
extern const embedded_picture browser_alien_image;
extern const embedded_picture browser_expand_image;
extern const embedded_picture browser_folder_image;
extern const embedded_picture browser_pack_image;
extern const embedded_picture browser_stared_image;
extern const embedded_picture browser_virtual_image;
extern const embedded_picture checkbox_image;
extern const embedded_picture curve_editor_mark_control_image;
extern const embedded_picture curve_editor_mark_image;
extern const embedded_picture dropdown_button_image;
extern const embedded_picture editparam_image_browse_button_image;
extern const embedded_picture editparam_image_default_image;
extern const embedded_picture editparam_image_expand_button_image;
extern const embedded_picture message_popup_image;
extern const embedded_picture multicontrol_lock_image;
extern const embedded_picture multiwindow_button_image;
extern const embedded_picture node_expand_button_image;
extern const embedded_picture node_port_input_image;
extern const embedded_picture node_port_output_image;
extern const embedded_picture scroll_button_arrow_image;
extern const embedded_picture timeline_indicator_image;
extern const embedded_picture timeline_key_mark_image;
extern const embedded_picture timeline_work_area_mark_image;
} // namespace pictures

} // namespace zksdk::ui
