// The small borderless window that shows a widget's tooltip next to the pointer.
#pragma once

#include "toolkit/core/window/window.h"

#include <string>

namespace zksdk::ui {

// Owned by the window whose widgets have tooltips; that window decides when to show and hide it.
class tooltip : public window {
public:
    tooltip();

    // At a screen position in pixels; the style source supplies the tooltip keys (null: our own).
    void show_tip(point position, std::string_view title, std::string_view text,
                  widget* style_source);
    const std::string& title() const { return m_title; }
    const std::string& text() const { return m_text; }
    widget* style_source() const { return m_style_source; }
    // The source widget is going away; later paints read the tooltip window's own keys.
    void clear_style_source() { m_style_source = nullptr; }

private:
    void paint();
    const style_table& keys() const;
    size measure(std::string_view text, bool is_title) const;
    void use_font(bool is_title) const;

    std::string m_title;
    std::string m_text;
    size m_title_size;
    size m_text_size;
    size m_content_size;
    uint8_t m_spacing = 0;
    widget* m_style_source = nullptr;
};

} // namespace zksdk::ui
