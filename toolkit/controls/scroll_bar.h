// The toolkit's scroll bar, which scrolls one content widget inside its parent.
#pragma once

#include "toolkit/core/widget/widget.h"
#include "toolkit/platform/image.h"

#include <vector>

namespace zksdk::ui {

enum class scroll_orientation : int32_t { vertical = 0, horizontal = 1 };
enum class scroll_buttons { hidden, shown };
enum class scroll_end { first, second };
// Whether scroll_to rounds the offset down to a whole number of steps.
enum class scroll_snap { exact, to_step };

// Scrolls the attached content inside the content's parent (the viewport) by moving the
// content; scrolling on makes its coordinate more negative. Draws a track, a thumb and optional
// arrow buttons, follows the content's size and position and hides itself when the content
// fits. Owned by its builder; the content and the viewport belong to others.
class scroll_bar : public widget {
public:
    scroll_bar();
    ~scroll_bar() override;

    virtual void paint_button(const rect& area, scroll_end end);
    virtual void paint_thumb(const rect& area);
    virtual void paint_back(const rect& area);

    // Starts following the content (null: none) and puts it back at the start of the axis.
    void attach(widget* content);
    void scroll_to(int32_t offset, scroll_snap snap);
    // A positive delta scrolls towards the start (the top or the left).
    void scroll_by(int32_t delta);
    // The keys that scroll a document: the arrows along the axis by a step, Page Up and Page
    // Down by what the viewport shows, Home and End to either end. False for any other key.
    bool scroll_for_key(uint32_t virtual_key);
    void layout();
    void update();

    // Orientation and buttons are set before attach.
    void set_orientation(scroll_orientation orientation);
    void set_buttons(scroll_buttons buttons);
    void set_step(int32_t step);

    int32_t position() const { return m_position; }
    int32_t range() const { return m_range; }
    int32_t step() const { return m_step; }
    float ratio() const { return m_ratio; }
    const rect& thumb() const { return m_thumb; }
    const rect& first_button() const { return m_first_button; }
    const rect& second_button() const { return m_second_button; }
    bool is_needed() const { return m_needed; }
    bool is_dragging() const { return m_dragging; }
    widget* content() const { return m_content; }

private:
    void on_created();
    void paint();
    void on_mouse_down(const event_info& info);
    void on_mouse_move();
    void on_mouse_up(const event_info& info);
    void on_wheel(const event_info& info);
    void on_viewport_resized();
    void detach();
    void end_drag();
    void move_content(int32_t coordinate);

    bool is_vertical() const { return m_orientation == scroll_orientation::vertical; }
    int32_t along(point at) const { return is_vertical() ? at.y : at.x; }
    int32_t start_of(const rect& area) const { return is_vertical() ? area.y : area.x; }
    int32_t extent_of(const rect& area) const { return is_vertical() ? area.height : area.width; }

    scroll_orientation m_orientation = scroll_orientation::vertical;
    bool m_has_buttons = false;
    bool m_needed = false;
    image m_arrow;
    rect m_thumb;
    rect m_first_button;
    rect m_second_button;
    bool m_dragging = false;
    point m_drag_anchor;
    int32_t m_position = 0;
    int32_t m_range = 0;
    int32_t m_step = 10;
    float m_ratio = 0;
    widget* m_content = nullptr;
    std::vector<connection_id> m_content_connections;
};

} // namespace zksdk::ui
