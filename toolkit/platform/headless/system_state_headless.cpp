// The headless system: process-wide state, MulDiv, focus moves and client resizing.
#include "toolkit/platform/headless/headless_internals.h"

#include "toolkit/platform/native_window_client.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

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

int32_t mul_div(int32_t a, int32_t b, int32_t c)
{
    if (c == 0) {
        return -1;
    }
    const int64_t product = int64_t{a} * b;
    const int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
    const int64_t result = (product < 0) != (c < 0) ? -magnitude : magnitude;
    if (result > std::numeric_limits<int32_t>::max() ||
        result < std::numeric_limits<int32_t>::min()) {
        return -1;
    }
    return static_cast<int32_t>(result);
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
