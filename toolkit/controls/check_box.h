// The toolkit's check box: a box picture and a caption side by side.
#pragma once

#include "toolkit/core/widget/widget.h"
#include "toolkit/platform/image.h"

#include <string>
#include <string_view>

namespace zksdk::ui {

class renderer;

// A two-state control whose box is a strip of state frames from checkbox_image; any mouse
// release over it flips it, and the state can mirror a bool owned by someone else. It disables
// itself when announced, so its owner enables it once it may be used. Owned by its builder;
// InstalledCheckbox derives from it and replaces its drawing.
class check_box : public widget {
public:
    check_box();

    virtual void paint();

    // Places box and caption in one of the eight arrangements (see check_box_arrangement) and
    // remembers it; owners call it again after changing the caption.
    void layout(int32_t kind);
    // value_changed with phase 0 before the flip and phase 2 after it.
    void toggle();

    void set_caption(std::string_view caption);
    // The state without value_changed; written to the bound flag too.
    void set_checked(bool checked);
    // From now on the flag and the state mirror each other; null unbinds. The flag must outlive
    // the binding.
    void bind(bool* flag);

    const std::string& caption() const { return m_caption; }
    // The bound flag's value when one is bound: it may have been set from outside.
    bool is_checked() const { return m_bound != nullptr ? *m_bound : m_checked; }
    bool is_hovered() const { return m_hover; }
    int32_t layout_kind() const { return m_layout_kind; }
    const rect& box_rect() const { return m_box_rect; }
    const rect& text_rect() const { return m_text_rect; }
    rect focus_mark_area() const override;

protected:
    image& box_image() { return m_box_image; }
    void set_caption_font(renderer& target) const;

private:
    void on_created();
    // A press does nothing (the release toggles), but the box still claims presses: the router
    // and owners asking has_handlers see it as a press target.
    void on_mouse_down() {}
    void on_mouse_enter();
    void on_mouse_leave();
    void on_style_changed(const event_info& info);
    void on_key_down(const event_info& info);
    void on_describe(const event_info& info);
    void measure_box();

    std::string m_caption;
    bool m_checked = false;
    rect m_box_rect;
    rect m_text_rect;
    bool m_hover = false;
    size m_box_size;
    int32_t m_layout_kind = 0;
    image m_box_image;
    bool* m_bound = nullptr;
};

} // namespace zksdk::ui
