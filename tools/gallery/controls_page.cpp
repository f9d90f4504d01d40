// The controls page: buttons, check boxes, a scrolled list and labels, each in its states.
#include "tools/gallery/controls_page.h"

#include "toolkit/controls/popup_menu.h"
#include "toolkit/core/window/window.h"

namespace gallery {

using namespace zksdk::ui;

controls_page::controls_page(widget& parent)
{
    build_buttons(parent);
    build_check_boxes(parent);
    build_scrolling(parent);
    build_labels(parent);
}

// Normal, disabled, toggle off, toggle on, and one with the keyboard focus.
void controls_page::build_buttons(widget& parent)
{
    const char* captions[] = {"Normal", "Disabled", "Toggle off", "Toggle on", "Focused"};
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        generic_button& button = m_buttons[i];
        attach(button, parent, {20 + static_cast<int32_t>(i) * 130, 60, 120, 32});
        button.set_caption(captions[i]);
    }
    m_buttons[1].set_enabled(false);
    m_buttons[2].set_mode(button_mode::toggle);
    m_buttons[3].set_mode(button_mode::toggle);
    m_buttons[3].set_toggled(true);
    parent.window()->set_focus(&m_buttons[4], 1);
}

// Unchecked, checked, checked but disabled, and the caption before the box.
void controls_page::build_check_boxes(widget& parent)
{
    const char* captions[] = {"Unchecked", "Checked", "Disabled", "Caption first"};
    for (size_t i = 0; i < m_check_boxes.size(); ++i) {
        check_box& box = m_check_boxes[i];
        attach(box, parent, {20 + static_cast<int32_t>(i) * 160, 115, 150, 24});
        box.set_enabled(true);
        box.set_caption(captions[i]);
        box.bind(&m_flags[i]);
        box.layout(i == 3 ? 4 : 0);
    }
    m_check_boxes[2].set_enabled(false);
}

void controls_page::build_scrolling(widget& parent)
{
    attach(m_viewport, parent, {20, 160, 300, 180});
    m_viewport.set_fill({0.14f, 0.15f, 0.18f, 1});
    attach(m_content, m_viewport, {0, 0, 300, 30 * 20});
    const color shades[] = {{0.22f, 0.26f, 0.34f, 1}, {0.18f, 0.21f, 0.28f, 1}};
    for (int32_t row = 0; row < 20; ++row) {
        m_rows.push_back(
            std::make_unique<caption_panel>("Scrolled row " + std::to_string(row + 1)));
        attach(*m_rows.back(), m_content, {0, row * 30, 300, 30});
        m_rows.back()->set_fill(shades[row % 2]);
    }
    attach(m_scroll, parent, {322, 160, 16, 180});
    m_scroll.set_buttons(scroll_buttons::shown);
    m_scroll.set_step(30);
    m_scroll.attach(&m_content);
}

void controls_page::build_labels(widget& parent)
{
    attach(m_plain, parent, {360, 160, 440, 40});
    m_plain.set_text("A plain text label that wraps its words when the line is full.");
    attach(m_markup, parent, {360, 210, 440, 120});
    m_markup.set_mode(label_mode::markup);
    m_markup.set_markup("<html><body><b>Markup</b> labels mix <i>italic</i>, <u>underlined</u> "
                        "and <font color=\"#e0a040\">coloured</font> text with a "
                        "<a href=\"https://example.com/nimbic\">link</a>.</body></html>");
    m_markup.update_size();
    m_markup.update_links();
    m_markup.invalidate(false);

    attach(m_menu_target, parent, {360, 350, 440, 50});
    m_menu_target.set_fill({0.24f, 0.20f, 0.30f, 1});
    event_dispatcher::instance().connect(&m_menu_target, this, event_type::mouse_up,
                                         bind_event(this, &controls_page::on_menu_click));
}

// The right button (2) opens the menu; the caption says what was chosen.
void controls_page::on_menu_click(const event_info& info)
{
    if (reinterpret_cast<uintptr_t>(info.data) != 2)
        return;
    popup_menu menu;
    menu.add_item(1, -1, "Copy");
    menu.add_item(2, -1, "Select all");
    menu.add_item(3, -1, "More");
    menu.add_item(4, 3, "Nested item");
    const uint32_t chosen = menu.show(*m_menu_target.window());
    m_menu_target.set_caption(chosen == 0 ? "Menu dismissed"
                                          : "Chose item " + std::to_string(chosen));
}

} // namespace gallery
