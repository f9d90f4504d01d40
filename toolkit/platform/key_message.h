// The data of the key_down_extended input: the native key message's two parameters.
#pragma once

#include <cstdint>

namespace zksdk::ui {

// Carried by pointer in the router's data for key_down_extended; lives for the routing call.
struct key_message {
    uint32_t virtual_key = 0;
    int32_t flags = 0; // repeat count, scan code and the extended-key and previous-state bits
};

} // namespace zksdk::ui
