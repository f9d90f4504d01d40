// The headless process-wide services: answers come from the tests, requests are recorded.
#include "toolkit/platform/native_services.h"

#include "toolkit/platform/headless/headless_internals.h"

#include <algorithm>
#include <cassert>

namespace zksdk::ui {

using headless::state;

point pointer_screen_position()
{
    return state().pointer;
}

point screen_to_client(const native_window& window, point screen)
{
    const rect& outer = window.backend().outer;
    return {screen.x - outer.x, screen.y - outer.y};
}

point pointer_dpi()
{
    return state().pointer_dpi;
}

bool is_key_down(modifier_key key)
{
    return state().keys.at(static_cast<std::size_t>(key));
}

double monotonic_milliseconds()
{
    return state().clock_ms;
}

int32_t local_calendar_year()
{
    return state().calendar_year;
}

void set_system_cursor(uint32_t shape)
{
    constexpr uint32_t last_shape = 8;
    if (shape > last_shape) {
        return;
    }
    state().cursor = shape;
    state().cursor_changes.push_back(shape);
}

void capture_mouse(native_window& window)
{
    state().capture = &window;
}

void release_mouse_capture()
{
    state().capture = nullptr;
}

void set_clipboard_text(std::string_view text)
{
    state().clipboard = text;
}

uint32_t show_popup_menu(native_window&, point, std::span<const popup_menu_item> items)
{
    auto& system = state();
    system.popup_menus.emplace_back(items.begin(), items.end());
    if (system.popup_answers.empty()) {
        return 0;
    }
    const uint32_t answer = system.popup_answers.front();
    system.popup_answers.pop_front();
    assert(std::any_of(items.begin(), items.end(),
                       [answer](const popup_menu_item& item) { return item.id == answer; }) &&
           "the scripted popup menu answer is no item of the menu");
    return answer;
}

void shell_open(std::string_view target)
{
    state().shell_opened.emplace_back(target);
}

std::u16string pick_folder(const native_window*, std::string_view title,
                           std::u16string_view start_folder)
{
    auto& system = state();
    system.folder_requests.push_back({std::string(title), std::u16string(start_folder)});
    if (system.folder_answers.empty()) {
        return {};
    }
    std::u16string answer = std::move(system.folder_answers.front());
    system.folder_answers.pop_front();
    std::replace(answer.begin(), answer.end(), u'/', u'\\');
    return answer;
}

} // namespace zksdk::ui
