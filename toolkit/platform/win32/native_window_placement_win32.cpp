// Where a native window sits: bounds, client placement, centring, work area and DPI conversion.
#include "toolkit/platform/native_window.h"

#include "toolkit/platform/win32/native_window_impl.h"

namespace zksdk::ui {

namespace {

constexpr int max_dpi_resizes = 3;

} // namespace

void native_window::set_bounds(rect bounds)
{
    impl& record = *m_impl;
    if (record.handle == nullptr) {
        return;
    }
    const SIZE outer = win32::outer_size(record, {mul_div(bounds.width, record.dpi_x, 96),
                                                  mul_div(bounds.height, record.dpi_y, 96)});
    record.pending_position = POINT{bounds.x, bounds.y};
    point sized_with{record.dpi_x, record.dpi_y};
    SetWindowPos(record.handle, nullptr, bounds.x, bounds.y, outer.cx, outer.cy,
                 SWP_NOACTIVATE | SWP_NOZORDER);
    // The move may have crossed onto a monitor with another DPI: size again for that one, frame
    // included as above. (Sizing to the bare client size here took the caption's height out of
    // the client area of a captioned window.) A window straddling two monitors can be carried
    // back by that sizing onto the first one, and so on for ever: after a few rounds it keeps
    // the size it has, which the DPI change itself has already made fit.
    for (int round = 0;
         round < max_dpi_resizes && (record.dpi_x != sized_with.x || record.dpi_y != sized_with.y);
         ++round) {
        sized_with = {record.dpi_x, record.dpi_y};
        const SIZE again = win32::outer_size(record, {mul_div(bounds.width, sized_with.x, 96),
                                                      mul_div(bounds.height, sized_with.y, 96)});
        SetWindowPos(record.handle, nullptr, 0, 0, again.cx, again.cy,
                     SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    record.pending_position.reset();
}

rect native_window::client_placement() const
{
    const impl& record = *m_impl;
    RECT outer{};
    if (record.handle == nullptr || !GetWindowRect(record.handle, &outer)) {
        return {};
    }
    const RECT insets = win32::frame_insets(record);
    const int32_t width = outer.right - outer.left - (insets.right - insets.left);
    const int32_t height = outer.bottom - outer.top - (insets.bottom - insets.top);
    return {outer.left - insets.left, outer.top - insets.top, mul_div(width, 96, record.dpi_x),
            mul_div(height, 96, record.dpi_y)};
}

size native_window::client_pixel_size() const
{
    RECT client{};
    if (m_impl->handle == nullptr || !GetClientRect(m_impl->handle, &client)) {
        return {};
    }
    return {client.right - client.left, client.bottom - client.top};
}

void native_window::center()
{
    const impl& record = *m_impl;
    if (record.handle == nullptr) {
        return;
    }
    const rect placement = client_placement();
    const int32_t cw = mul_div(placement.width, record.dpi_x, 96);
    const int32_t ch = mul_div(placement.height, record.dpi_y, 96);
    const HWND owner = win32::real_owner(record.handle);
    RECT ref{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner != nullptr) {
        GetWindowRect(owner, &ref);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(
        MonitorFromWindow(owner != nullptr ? owner : record.handle, MONITOR_DEFAULTTONEAREST),
        &monitor);
    const RECT& work = monitor.rcWork;
    const SIZE outer = win32::outer_size(record, {cw, ch});
    // Centred by the client size, not the outer size, then kept inside the work area.
    LONG x = ref.left + (ref.right - cw - ref.left) / 2;
    if (x + outer.cx > work.right) {
        x = work.right - outer.cx;
    }
    LONG y = ref.top + (ref.bottom - ch - ref.top) / 2;
    if (y + outer.cy > work.bottom) {
        y = work.bottom - outer.cy;
    }
    if (x < work.left) {
        x = work.left + 1;
    }
    if (y < work.top) {
        y = work.top + 1;
    }
    SetWindowPos(record.handle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

rect native_window::monitor_work_area() const
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(m_impl->handle, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return {};
    }
    const RECT& work = monitor.rcWork;
    return {work.left, work.top, work.right - work.left, work.bottom - work.top};
}

point native_window::convert(point value, conversion direction) const
{
    if (direction == conversion::to_pixels) {
        return {mul_div(value.x, m_impl->dpi_x, 96), mul_div(value.y, m_impl->dpi_y, 96)};
    }
    return {mul_div(value.x, 96, m_impl->dpi_x), mul_div(value.y, 96, m_impl->dpi_y)};
}

} // namespace zksdk::ui
