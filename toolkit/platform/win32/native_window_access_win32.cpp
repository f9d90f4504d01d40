// The native window's side of accessibility: announcing changes to assistive technology.
#include "toolkit/platform/native_window.h"

#include "toolkit/platform/win32/native_window_impl.h"

namespace zksdk::ui {

// FIXME: assistive technology is not told yet; the WinEvent and UI Automation side comes next.
void native_window::announce(access_event, int32_t) {}

} // namespace zksdk::ui
