// The headless backend's private state, shared by its sources and never included by tests.
#pragma once

#include "toolkit/platform/headless/draw_call.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/image.h"
#include "toolkit/platform/native_drop_target.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/renderer.h"
#include "toolkit/platform/text_input_state.h"

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zksdk::ui {

struct headless_timer {
    uint32_t interval_ms = 0;
    double due_ms = 0;
};

struct native_window::impl {
    native_window_client* client = nullptr;
    native_window* owner = nullptr;
    bool created = false;
    bool visible = false;
    bool shown = false;
    bool running = false;
    bool input_enabled = true;
    bool tracking = false;
    uint16_t flags = 0;
    std::string title;
    int32_t dpi_x = 0;
    int32_t dpi_y = 0;
    rect outer; // screen pixels; the headless frame has no borders
    size minimum_client;
    size maximum_client{100000, 100000};
    uint32_t timer_counter = 0;
    std::map<uint32_t, headless_timer> timers;
    std::vector<rect> invalidations;
    std::vector<rect> pending; // areas to repaint as left, top, right, bottom
    renderer* painter = nullptr;
    text_input_state* text_input = nullptr;
    std::unique_ptr<native_drop_target> drop_target;
    std::vector<headless::announcement> announcements;
};

struct renderer::impl {
    explicit impl(native_window& target) : window(target) {}
    native_window& window;
    headless::drawing_state state;
    std::vector<headless::draw_call> calls;
    std::vector<const void*> widgets;
    std::vector<point> origins{point{}}; // the transform stack: translations only
    size pixels;
    float scale_x = 1.0f;
    float scale_y = 1.0f;
    std::vector<image*> images; // images that made a device copy for this renderer
};

struct image::impl {
    std::mutex lock; // held from lock_pixels to unlock_pixels
    bool decoded = false;
    bool locked = false;
    bool modified = false;
    std::vector<uint8_t> pixels; // premultiplied BGRA, rows from the top
    size pixel_size;
    float scale = 1.0f;
    int32_t frames = 1;
    std::vector<renderer*> renderers;
};

struct text_input_state::impl {
    explicit impl(native_window& target) : window(target) {}
    native_window& window;
    bool composing = false;
    std::u16string composition;
    int32_t cursor = 0;
    rect caret;
    uint32_t last_key = 0;
};

namespace headless {

// Process-wide: what the system would know outside any one window.
struct system_state {
    point pointer;
    point pointer_dpi{96, 96};
    std::array<bool, 4> keys{};
    double clock_ms = 0;
    int32_t calendar_year = 2026;
    native_window* focus = nullptr;
    native_window* capture = nullptr;
    point system_dpi{96, 96};
    point monitor_dpi{96, 96};
    size screen{1920, 1080};
    rect work_area{0, 0, 1920, 1040};
    std::deque<std::function<void()>> steps;
    std::vector<native_window*> windows; // every live record, in construction order
    uint32_t cursor = 0;
    std::vector<uint32_t> cursor_changes;
    std::string clipboard;
    std::vector<std::string> shell_opened;
    std::deque<std::u16string> folder_answers;
    std::vector<folder_request> folder_requests;
    std::deque<uint32_t> popup_answers;
    std::vector<std::vector<popup_menu_item>> popup_menus;
};

system_state& state();
bool is_live(const native_window* window);

// Moves the system keyboard focus, routing focus_lost and focus_gained.
void move_focus(native_window* to);
// The client area took a new pixel size: what the size message would do.
void client_resized(native_window& window, size pixels);
// A small integer carried in the router's pointer-sized data.
inline void* as_data(uintptr_t value)
{
    return reinterpret_cast<void*>(value);
}

} // namespace headless
} // namespace zksdk::ui
