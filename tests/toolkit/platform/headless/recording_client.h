// A stand-in for the toolkit window: records what the headless native window routes to it.
#pragma once

#include "toolkit/platform/key_message.h"
#include "toolkit/platform/native_window_client.h"

#include <functional>
#include <string>
#include <vector>

namespace zksdk::ui::headless {

// One call into the client; `value` holds the small integer, the wheel delta, the size, or the
// file count, whatever the input carries.
struct routed {
    std::string what; // the input code's name, or paint / timer / resize / close / user
    double value = 0;
    double second = 0;
    bool operator==(const routed&) const = default;
};

class recording_client : public native_window_client {
public:
    std::vector<routed> calls;
    bool double_click_handlers = false;
    bool file_drop_handlers = false;
    bool keeps_open = false;
    std::function<void(event_type)> on_route;

    void route(event_type code, void* data, const void* extra) override
    {
        calls.push_back(describe(code, data, extra));
        if (on_route) {
            on_route(code);
        }
    }
    void paint_native(rect update) override
    {
        calls.push_back(
            {"paint", double(update.x + update.width), double(update.y + update.height)});
    }
    void native_timer(uint32_t id) override { calls.push_back({"timer", double(id)}); }
    bool request_close() override
    {
        calls.push_back({"close"});
        return keeps_open;
    }
    void native_resized(size pixels) override
    {
        calls.push_back({"pixels", double(pixels.width), double(pixels.height)});
    }
    bool has_pointer_handlers(event_type code) override
    {
        return code == event_type::mouse_double_click ? double_click_handlers : file_drop_handlers;
    }
    void user_message(intptr_t lparam, uintptr_t wparam) override
    {
        calls.push_back({"user", double(lparam), double(wparam)});
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const routed& call : calls) {
            result.push_back(call.what);
        }
        return result;
    }

private:
    static double small(const void* data) { return double(reinterpret_cast<uintptr_t>(data)); }

    static routed describe(event_type code, void* data, const void* extra)
    {
        switch (code) {
        case event_type::mouse_down:
            return {"down", small(data)};
        case event_type::mouse_up:
            return {"up", small(data)};
        case event_type::mouse_double_click:
            return {"double", small(data)};
        case event_type::mouse_move:
            return {"move"};
        case event_type::mouse_leave:
            return {"leave"};
        case event_type::mouse_wheel:
            return {"wheel", *static_cast<double*>(data)};
        case event_type::key_down:
            return {"key_down", small(data)};
        case event_type::key_down_extended: {
            const auto* message = static_cast<key_message*>(data);
            return {"key_down_extended", double(message->virtual_key), double(message->flags)};
        }
        case event_type::key_up:
            return {"key_up", small(data)};
        case event_type::char_input:
            return {"char", small(data)};
        case event_type::resized: {
            const auto* dips = static_cast<size*>(data);
            return {"resized", double(dips->width), double(dips->height)};
        }
        case event_type::dpi_changed:
            return {"dpi_changed", double(static_cast<size*>(data)->width),
                    double(static_cast<const point*>(extra)->x)};
        case event_type::focus_gained:
            return {"focus_gained"};
        case event_type::focus_lost:
            return {"focus_lost"};
        case event_type::file_drop:
            return {"file_drop", small(extra),
                    data ? double(static_cast<std::vector<std::u16string>*>(data)->size()) : -1};
        case event_type::text_input:
            return {"text_input", small(data)};
        case event_type::session_locked:
            return {"locked"};
        case event_type::session_unlocked:
            return {"unlocked"};
        default:
            return {"other", double(static_cast<uint32_t>(code))};
        }
    }
};

} // namespace zksdk::ui::headless
