// The native window record behind one toolkit window: handle, DPI, timers, title, visibility.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/geometry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zksdk::ui {

class native_window_client;

enum class conversion { to_pixels, to_dips };
enum class activation { activate, no_activate };

// Owned by its toolkit window (made by the window's constructor, destroyed with it); the native
// window itself exists from create_native on and is never destroyed by a close request.
class native_window {
public:
    native_window();
    // Re-enables and focuses the owner, then destroys the native window.
    ~native_window();
    native_window(const native_window&) = delete;
    native_window& operator=(const native_window&) = delete;

    // Flags: 0x80 child; 0x01 popup; 0x02 caption only; 0x04 resizable; 0x08 minimise box;
    // 0x10 maximise box; 0x20 topmost; 0x100 modal frame. The window starts hidden, with a
    // client area of the rect's size in DIPs at the rect's position (DIPs) on the screen.
    void create_native(native_window* owner, native_window_client& client, rect dips,
                       uint16_t flags);
    bool is_created() const;
    native_window* owner() const;
    // The toolkit window this record reports to; null before create_native.
    native_window_client* client() const;

    void set_title(std::string_view title); // UTF-8
    const std::string& title() const;

    // x, y: screen pixels; width, height: client size in DIPs.
    void set_bounds(rect bounds);
    // x, y: screen pixels of the client area's top-left; width, height: client size in DIPs.
    rect client_placement() const;
    size client_pixel_size() const;
    // Centres on the owner (or the primary screen), kept inside the work area.
    void center();
    // Screen pixels of the work area of the monitor nearest to the window.
    rect monitor_work_area() const;
    // MulDiv with 96 and the window's DPI, rounding to nearest.
    point convert(point value, conversion direction) const;
    int32_t dpi_x() const;
    int32_t dpi_y() const;
    void set_client_size_limits(size minimum, size maximum); // DIPs

    // Marks the area for repainting without erasing; the numbers are handed on as given.
    void invalidate(rect area);
    // Repaints whatever is marked at once, before returning.
    void update_now();

    void show(activation mode = activation::activate);
    void hide();
    bool is_visible() const;
    // The tooltip's own "currently shown" mark.
    bool is_shown() const;
    void set_shown(bool shown);

    // The next native timer id for this window (the counter starts at 0; the first id is 1).
    uint32_t next_timer_id();
    void start_timer(uint32_t id, uint32_t interval_ms);
    void stop_timer(uint32_t id);

    // The modal loop of this window runs while set.
    bool is_running() const;
    void set_running(bool running);
    // Dispatches one piece of queued input for any window of the thread, waiting for it when
    // none is queued. False when there is nothing more to come: the modal loop then ends.
    bool pump();

    // The owner's input is disabled while this window runs modally.
    void set_owner_enabled(bool enabled);
    void focus_owner();
    // Gives this window the keyboard focus.
    void focus();
    // Whether this is the system's keyboard-focus window.
    bool is_focus_window() const;

    // Whether the window takes input (not while a window it owns runs modally).
    bool is_input_enabled() const;

    // Tells assistive technology that something changed on the node with this id (0: the
    // window itself); it asks the client for the details when it wants them. A notification
    // carries its sentence (UTF-8).
    void announce(access_event event, int32_t id, std::string_view text = {});

    // The backend's own state; only the backend's sources know its layout.
    struct impl;
    impl& backend() const { return *m_impl; }

private:
    std::unique_ptr<impl> m_impl;
};

} // namespace zksdk::ui
