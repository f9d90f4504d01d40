// The drop target's decisions, the same on every backend: whether a drag is welcome, and the
// dropped paths with backslashes, both handed to the window's router.
#include "toolkit/platform/native_drop_target.h"

#include "toolkit/platform/native_window.h"
#include "toolkit/platform/native_window_client.h"

#include <algorithm>

namespace zksdk::ui {

namespace {

constexpr uintptr_t drop_dropped = 0;
constexpr uintptr_t drop_welcome = 1;
constexpr uintptr_t drop_unwelcome = 2;

const void* as_extra(uintptr_t value)
{
    return reinterpret_cast<const void*>(value);
}

} // namespace

native_drop_target::native_drop_target(native_window& window) : m_window(window) {}

drop_effect native_drop_target::drag_over()
{
    native_window_client* client = m_window.client();
    if (client == nullptr) {
        return drop_effect::none;
    }
    const bool welcome = client->has_pointer_handlers(event_type::file_drop);
    client->route(event_type::file_drop, nullptr,
                  as_extra(welcome ? drop_welcome : drop_unwelcome));
    return welcome ? drop_effect::move : drop_effect::none;
}

void native_drop_target::drag_leave() {}

void native_drop_target::drop(std::vector<std::u16string> file_paths)
{
    native_window_client* client = m_window.client();
    if (client == nullptr) {
        return;
    }
    for (std::u16string& path : file_paths) {
        std::replace(path.begin(), path.end(), u'/', u'\\');
    }
    client->route(event_type::file_drop, &file_paths, as_extra(drop_dropped));
}

} // namespace zksdk::ui
