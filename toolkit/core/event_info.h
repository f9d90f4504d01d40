// The record every event callback receives.
#pragma once

#include "toolkit/core/event_type.h"

#include <cstdint>
#include <functional>

namespace zksdk::ui {

class event_object;

// Built by event_dispatcher::emit in its own frame; valid for the whole emission.
struct event_info {
    event_object* sender = nullptr;
    uint32_t type = 0;
    int32_t phase = 2;  // 0 before a check box flips, 2 for everything else
    int32_t detail = 1; // 1 unless an event says otherwise
    void* data = nullptr;
    uint64_t extra = 0;
};

using event_callback = std::function<void(const event_info&)>;
using connection_id = uint32_t;

} // namespace zksdk::ui
