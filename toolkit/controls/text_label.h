// The static text widget: a plain string, or markup with styled runs and clickable links.
#pragma once

#include "toolkit/core/accessibility_text.h"
#include "toolkit/core/widget/widget.h"
#include "toolkit/platform/text_run.h"

#include <string>
#include <string_view>
#include <vector>

namespace zksdk::ui {

enum class label_mode { plain, markup };
// Whether one dimension of the label follows its text or keeps what the owner set.
enum class label_fit { fixed, to_text };

// A link's clickable box in the label's coordinates and what it opens.
struct label_link {
    rect bounds;
    std::string target; // UTF-8
};

// Shows text in the label style keys; owned by the interface that builds it. In markup mode the
// owner calls set_markup, update_size, update_links and invalidate, in that order.
class text_label : public widget {
public:
    text_label();

    // Plain text; does not parse markup or change the mode.
    void set_text(std::string_view text, label_fit width = label_fit::fixed,
                  label_fit height = label_fit::fixed);
    void set_mode(label_mode mode)
    {
        m_mode = mode;
        m_geometry_ready = false;
    }
    void set_fit(label_fit width, label_fit height);
    // Replaces the text and runs with what the markup shows.
    void set_markup(std::string_view markup);
    // Resizes a label that fits its text (either dimension); a fixed label keeps its size.
    void update_size();
    // Places the links of the current runs; until it runs again they keep their old boxes.
    void update_links();

    label_mode mode() const { return m_mode; }
    const std::string& text() const { return m_text; }
    const std::vector<text_run>& runs() const { return m_runs; }
    const std::vector<label_link>& links() const { return m_links; }
    // Where the lines of the text lie as painted, in the label's coordinates; laid out on first
    // use after a change of the text, the size or the style.
    const std::vector<text_line_geometry>& line_geometry() const;

private:
    void on_style_changed();
    void paint();
    void on_mouse_move();
    void on_mouse_leave();
    void on_click();
    void on_describe(const event_info& info);
    void on_access_text(const event_info& info);
    void forget_geometry() { m_geometry_ready = false; }
    void use_label_font() const;
    size layout_limit() const;
    const label_link* link_under_pointer() const;

    std::string m_text;
    label_mode m_mode = label_mode::plain;
    std::vector<text_run> m_runs;
    std::vector<label_link> m_links;
    bool m_fit_width = false;
    bool m_fit_height = false;
    bool m_hand_shown = false;
    mutable std::vector<text_line_geometry> m_geometry;
    mutable bool m_geometry_ready = false;
};

} // namespace zksdk::ui
