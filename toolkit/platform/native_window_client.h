// What a native window calls back into: the toolkit window that owns it.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/accessibility_text.h"
#include "toolkit/core/event_type.h"
#include "toolkit/core/geometry.h"

#include <cstdint>
#include <vector>

namespace zksdk::ui {

// Implemented by the toolkit window; the native window record turns each native message into
// one of these calls. Router data, by input code:
//   mouse_down, mouse_up, mouse_double_click: the button number in the pointer's bits
//     (0 left, 1 middle, 2 right, 3 first X button, 4 second X button);
//   mouse_move, mouse_leave, focus_gained, focus_lost, session_locked, session_unlocked: null;
//   mouse_wheel: -> double, the wheel delta times 0.5;
//   key_down, key_up: the virtual key in the pointer's bits; key_down_extended: -> key_message;
//   char_input: the UTF-16 unit in the pointer's bits;
//   resized: -> size, the new client size in DIPs;
//   dpi_changed: -> size, the new client size in pixels; extra -> point {dpi x, dpi y};
//   text_input: null (started), 1 (changed) or 2 (finished) in the pointer's bits;
//   file_drop: extra 1 (welcome), 2 (not welcome or left), 0 (dropped; data -> a
//     std::vector<std::u16string> of file paths).
// Pointed-to data lives for the duration of the call.
class native_window_client {
public:
    // The window's router entry.
    virtual void route(event_type code, void* data, const void* extra) = 0;
    // The paint pass over the update area (left, top, right, bottom in rect's four fields).
    virtual void paint_native(rect update) = 0;
    // A native timer fired (the tooltip tick id, or an id from the timer counter).
    virtual void native_timer(uint32_t id) = 0;
    // Raises close_request; true when a callback is connected, which keeps the window open.
    virtual bool request_close() = 0;
    // The client area changed size; called before `resized` is routed so that the window can
    // resize its renderer (once the window is created).
    virtual void native_resized(size pixels) = 0;
    // Whether the enabled widget under the pointer, or else the window itself, has callbacks
    // for the code: decides double clicks and whether a file drag is welcome.
    virtual bool has_pointer_handlers(event_type code) = 0;
    // The native user message with its two parameters.
    virtual void user_message(intptr_t lparam, uintptr_t wparam) = 0;
    // What assistive technology reads: the window's node first, then every described widget,
    // parents before children. A client with nothing to describe gives an empty tree.
    virtual std::vector<access_node> access_tree() { return {}; }
    // Runs a node's default action as a click or a toggle would; false when the id is unknown
    // or the node has no action it may take now.
    virtual bool access_default_action(int32_t) { return false; }
    // Moves the keyboard focus to a node; false when it cannot take the focus.
    virtual bool access_focus(int32_t) { return false; }
    // A document node's text and lines, in window DIPs; false for a node without a text.
    virtual bool access_text_of(int32_t, access_text&) { return false; }
    // Brings a range of a document node into view (at the top, or by the shortest move), and
    // with `place` moves the reader's place (the caret) to the range's start: what a reader
    // asks when it selects where it reads on; false when nothing could scroll it.
    virtual bool access_scroll(int32_t, text_span, bool /*align_to_top*/, bool /*place*/)
    {
        return false;
    }

protected:
    ~native_window_client() = default;
};

} // namespace zksdk::ui
