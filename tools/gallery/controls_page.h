// The gallery's controls page: every control in each of its states.
#pragma once

#include "toolkit/controls/check_box.h"
#include "toolkit/controls/generic_button.h"
#include "toolkit/controls/scroll_bar.h"
#include "toolkit/controls/text_label.h"
#include "tools/gallery/gallery_widgets.h"

#include <array>
#include <memory>
#include <vector>

namespace gallery {

// Builds its widgets under a parent that belongs to the gallery window; owns them.
class controls_page : public zksdk::ui::event_object {
public:
    explicit controls_page(zksdk::ui::widget& parent);

private:
    void build_buttons(zksdk::ui::widget& parent);
    void build_check_boxes(zksdk::ui::widget& parent);
    void build_scrolling(zksdk::ui::widget& parent);
    void build_labels(zksdk::ui::widget& parent);
    void on_menu_click(const zksdk::ui::event_info& info);

    std::array<zksdk::ui::generic_button, 5> m_buttons;
    std::array<zksdk::ui::check_box, 4> m_check_boxes;
    std::array<bool, 4> m_flags = {false, true, true, false};
    caption_panel m_viewport{""};
    zksdk::ui::widget m_content;
    std::vector<std::unique_ptr<caption_panel>> m_rows;
    zksdk::ui::scroll_bar m_scroll;
    zksdk::ui::text_label m_plain;
    zksdk::ui::text_label m_markup;
    caption_panel m_menu_target{"Right-click here for a popup menu"};
};

} // namespace gallery
