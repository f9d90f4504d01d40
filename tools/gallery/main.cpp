// zk-gallery: a toolkit window with panels, flow layouts, a timer, a tooltip and a drop zone;
// the visual smoke test of the Windows platform layer and a place to see each control.
#include "tools/gallery/controls_page.h"
#include "tools/gallery/gallery_widgets.h"

#include "engine/system/win32/dll_search.h"
#include "toolkit/core/widget/flow_panel.h"
#include "toolkit/core/window/window.h"

#include <windows.h>
#include <array>
#include <memory>
#include <string_view>

namespace {

using namespace zksdk::ui;
using gallery::attach;
using gallery::caption_panel;

enum class gallery_page { layouts, controls };

// The gallery window owns every widget it shows.
class gallery_window : public window {
public:
    explicit gallery_window(gallery_page page)
    {
        const bool controls = page == gallery_page::controls;
        create(controls ? "Nimbic toolkit controls" : "Nimbic toolkit gallery", {0, 0, 820, 520},
               0);
        if (controls)
            build_controls();
        else
            build();
        native().center();
        event_dispatcher::instance().connect(this, this, event_type::key_down,
                                             bind_event(this, &gallery_window::on_key));
        event_dispatcher::instance().connect(
            this, this, event_type::timer, bind_event<gallery_window>(this, &gallery_window::tick));
        set_timer(this, 1, 1000, false);
    }

private:
    void build()
    {
        attach(m_background, root(), {0, 0, 820, 520});
        m_background.set_fill({0.11f, 0.12f, 0.14f, 1});

        attach(m_title, m_background, {20, 12, 780, 30});
        m_title.set_fill({0.15f, 0.17f, 0.20f, 1});

        // A vertical flow panel: spacing, then boxes of different heights.
        attach(m_column, m_background, {20, 60, 180, 0});
        m_column.add_spacing(6);
        const std::array<color, 3> shades = {color{0.25f, 0.32f, 0.45f, 1},
                                             color{0.30f, 0.40f, 0.55f, 1},
                                             color{0.35f, 0.48f, 0.65f, 1}};
        for (size_t i = 0; i < m_boxes.size(); ++i) {
            m_boxes[i] = std::make_unique<caption_panel>("Flow item " + std::to_string(i + 1));
            attach(*m_boxes[i], m_column, {0, 0, 180, 40 + 20 * static_cast<int32_t>(i)});
            m_boxes[i]->set_fill(shades[i]);
            m_column.add_spacing(6);
        }
        m_column.relayout();

        // A horizontal flow panel whose stretch pushes two boxes to the right edge.
        attach(m_row, m_background, {220, 60, 580, 40});
        m_row.add_stretch();
        attach(m_left_box, m_row, {0, 0, 120, 40});
        attach(m_right_box, m_row, {0, 0, 120, 40});
        m_left_box.set_fill({0.45f, 0.30f, 0.50f, 1});
        m_right_box.set_fill({0.55f, 0.35f, 0.30f, 1});
        m_row.relayout();

        attach(m_clock, m_background, {220, 120, 270, 60});
        attach(m_click, m_background, {510, 120, 290, 60});
        attach(m_hover, m_background, {220, 200, 270, 60});
        m_hover.set_fill({0.28f, 0.30f, 0.22f, 1});
        add_tooltip(&m_hover, {}, "Tooltip", "Shown after the pointer rests here");
        attach(m_drop, m_background, {510, 200, 290, 120});
        tick();
    }

    void build_controls()
    {
        attach(m_background, root(), {0, 0, 820, 520});
        m_background.set_fill({0.11f, 0.12f, 0.14f, 1});
        attach(m_title, m_background, {20, 12, 780, 30});
        m_title.set_fill({0.15f, 0.17f, 0.20f, 1});
        m_title.set_caption("Controls: buttons, check boxes, a scroll bar and labels");
        m_controls = std::make_unique<gallery::controls_page>(m_background);
    }

    void tick()
    {
        ++m_seconds;
        m_clock.set_caption("Timer: " + std::to_string(m_seconds) + " s");
        m_clock.set_fill(m_seconds % 2 ? color{0.20f, 0.40f, 0.30f, 1}
                                       : color{0.25f, 0.30f, 0.40f, 1});
    }

    // Escape closes the gallery (Alt+F4 deliberately does nothing in toolkit windows).
    void on_key(const event_info& info)
    {
        if (reinterpret_cast<uintptr_t>(info.data) == VK_ESCAPE)
            close(0);
    }

    caption_panel m_background{""};
    caption_panel m_title{
        "Nimbic toolkit gallery: panels, flow layouts, timer, tooltip, drop zone"};
    flow_panel m_column{flow_direction::vertical, auto_size::on, track_children::off};
    std::array<std::unique_ptr<caption_panel>, 3> m_boxes;
    flow_panel m_row{flow_direction::horizontal, auto_size::off, track_children::off};
    caption_panel m_left_box{"Stretch"};
    caption_panel m_right_box{"pushes right"};
    caption_panel m_clock{"Timer"};
    gallery::click_panel m_click;
    caption_panel m_hover{"Hover for a tooltip"};
    gallery::drop_zone m_drop;
    std::unique_ptr<gallery::controls_page> m_controls;
    int m_seconds = 0;
};

} // namespace

// "zk-gallery.exe controls" shows the controls page; anything else the layouts page.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int)
{
    nimbic::sys::restrict_dll_search_to_system32();
    const bool controls = command_line && std::wstring_view(command_line).find(L"controls") !=
                                              std::wstring_view::npos;
    gallery_window gallery(controls ? gallery_page::controls : gallery_page::layouts);
    return gallery.run_modal();
}
