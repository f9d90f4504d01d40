// The gallery's widgets: a caption panel, a click counter and a drop zone.
#include "tools/gallery/gallery_widgets.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/renderer.h"

#include <vector>

namespace gallery {

using namespace zksdk::ui;

void attach(widget& child, widget& parent, const rect& geometry)
{
    child.set_window(parent.window());
    child.set_parent(&parent);
    child.create(geometry);
    event_dispatcher::instance().emit(&child, event_type::created);
    parent.add_child(&child);
}

caption_panel::caption_panel(std::string caption) : m_caption(std::move(caption))
{
    style().set("default_border_color", color{0.35f, 0.38f, 0.45f, 1});
}

void caption_panel::set_caption(std::string caption)
{
    if (caption == m_caption)
        return;
    m_caption = std::move(caption);
    invalidate(false);
}

void caption_panel::set_fill(color fill)
{
    style().set("default_back_color", fill);
}

void caption_panel::paint()
{
    generic_panel::paint();
    renderer& target = window()->painter();
    target.set_text_color({0.92f, 0.93f, 0.95f, 1});
    target.set_font("Tahoma", 13.0f, 0, 0, false);
    target.set_text_alignment(1, 0);
    target.draw_text({4, 0, width() - 8, height()}, m_caption);
}

click_panel::click_panel() : caption_panel("Click me")
{
    set_fill({0.16f, 0.35f, 0.62f, 1});
    event_dispatcher::instance().connect(this, this, event_type::mouse_up,
                                         bind_event<click_panel>(this, &click_panel::on_mouse_up));
}

void click_panel::on_mouse_up()
{
    ++m_clicks;
    const bool odd = m_clicks % 2 == 1;
    set_fill(odd ? color{0.80f, 0.45f, 0.10f, 1} : color{0.16f, 0.35f, 0.62f, 1});
    set_caption("Clicked " + std::to_string(m_clicks) + (m_clicks == 1 ? " time" : " times"));
}

drop_zone::drop_zone() : caption_panel("Drop files here")
{
    set_fill({0.20f, 0.22f, 0.26f, 1});
    event_dispatcher::instance().connect(this, this, event_type::file_drop,
                                         bind_event(this, &drop_zone::on_file_drop));
}

// extra: 1 a drag arrived, 2 it left, 0 files were dropped.
void drop_zone::on_file_drop(const event_info& info)
{
    if (info.extra == 1) {
        set_fill({0.18f, 0.45f, 0.28f, 1});
        return;
    }
    set_fill({0.20f, 0.22f, 0.26f, 1});
    if (info.extra == 0 && info.data) {
        m_dropped += static_cast<const std::vector<std::u16string>*>(info.data)->size();
        set_caption(std::to_string(m_dropped) + " file(s) dropped");
    }
}

} // namespace gallery
