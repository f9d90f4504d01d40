// The thread's message queue, for tests that drive a window without its loop.
#pragma once

#include <windows.h>

namespace zksdk::ui::win32_test {

// Delivers whatever is queued without waiting.
inline void drain()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace zksdk::ui::win32_test
