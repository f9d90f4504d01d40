// Small widgets the gallery uses to show the toolkit at work.
#pragma once

#include "toolkit/core/widget/generic_panel.h"

#include <string>

namespace gallery {

// The two-step construction every gallery widget goes through: window and parent, create,
// announce, attach.
void attach(zksdk::ui::widget& child, zksdk::ui::widget& parent, const zksdk::ui::rect& geometry);

// A filled panel with a centred caption.
class caption_panel : public zksdk::ui::generic_panel {
public:
    explicit caption_panel(std::string caption);

    void set_caption(std::string caption);
    void set_fill(zksdk::ui::color fill);
    void paint() override;

private:
    std::string m_caption;
};

// Changes its colour on every click, so a test can see a repaint.
class click_panel : public caption_panel {
public:
    click_panel();

private:
    void on_mouse_up();
    int m_clicks = 0;
};

// Lights up while files are dragged over it and counts what was dropped.
class drop_zone : public caption_panel {
public:
    drop_zone();

private:
    void on_file_drop(const zksdk::ui::event_info& info);
    size_t m_dropped = 0;
};

} // namespace gallery
