// The toolkit's push and toggle button.
#pragma once

#include "toolkit/core/widget/widget.h"
#include "toolkit/platform/image.h"

#include <string>
#include <string_view>

namespace zksdk::ui {

class renderer;

enum class button_mode { push, toggle };

// clicked's extra: 0 when the pointer was released over the button, this when a key or
// assistive technology pressed it.
constexpr uint64_t clicked_without_pointer = 1;

// A push or toggle button drawn from its style table (background, back image, icon strip,
// border, one caption); raises clicked with the toggled value when released over itself or on
// Enter or Space. The object that builds the interface owns it; RoundedButton and LinkButton
// derive.
class generic_button : public widget {
public:
    generic_button();
    ~generic_button() override;

    virtual void paint();
    virtual void paint_image();

    // Fits the width to the caption while button_auto_size is set; call after set_caption.
    void update_size();
    // What Enter, Space and assistive technology do: flips a toggle button and raises clicked.
    void activate();

    void set_caption(std::string_view caption);
    void set_mode(button_mode mode) { m_toggle_mode = mode == button_mode::toggle; }
    void set_toggled(bool toggled);
    void set_icon_opacity(float opacity);

    const std::string& caption() const { return m_caption; }
    bool is_toggle_mode() const { return m_toggle_mode; }
    bool is_toggled() const { return m_toggled; }
    bool is_hovered() const { return m_hover; }
    // Captured by a press of this button, with the pointer over it (edges included).
    bool is_pressed() const;

protected:
    // The frame to show from a strip of `frames` state frames.
    int32_t state_frame(int32_t frames) const;
    // Colours lose half their alpha while the button cannot be used.
    color dimmed(color value) const;
    void paint_back_image();
    void paint_border_and_caption(renderer& target, bool pressed);
    void set_caption_font(renderer& target) const;

private:
    void on_mouse_enter();
    void on_mouse_leave();
    void on_disabled();
    void on_mouse_down(const event_info& info);
    void on_mouse_up(const event_info& info);
    void on_key_down(const event_info& info);
    void on_describe(const event_info& info);
    void on_style_changed(const event_info& info);
    void release_capture();

    std::string m_caption;
    bool m_hover = false;
    bool m_toggled = false;
    bool m_toggle_mode = false;
    image m_icon;
    image m_back;
    rect m_icon_rect;
    float m_icon_opacity = 1.0f;
};

} // namespace zksdk::ui
