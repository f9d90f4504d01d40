// The headless system: process-wide state, focus moves and client resizing.
#include "toolkit/platform/headless/headless_internals.h"

#include "toolkit/platform/native_window_client.h"

#include <algorithm>

namespace zksdk::ui::headless {

system_state& state()
{
    static system_state instance;
    return instance;
}

bool is_live(const native_window* window)
{
    const auto& windows = state().windows;
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

void move_focus(native_window* to)
{
    auto& system = state();
    native_window* from = system.focus;
    if (from == to) {
        return;
    }
    system.focus = to;
    if (from != nullptr && from->backend().client != nullptr) {
        from->backend().client->route(event_type::focus_lost, nullptr, nullptr);
    }
    if (to != nullptr && to->backend().client != nullptr) {
        to->backend().client->route(event_type::focus_gained, nullptr, nullptr);
    }
}

void client_resized(native_window& window, size pixels)
{
    auto& self = window.backend();
    self.outer.width = pixels.width;
    self.outer.height = pixels.height;
    if (self.client == nullptr) {
        return;
    }
    self.client->native_resized(pixels);
    size dips{mul_div(pixels.width, 96, self.dpi_x), mul_div(pixels.height, 96, self.dpi_y)};
    self.client->route(event_type::resized, &dips, nullptr);
}

} // namespace zksdk::ui::headless
