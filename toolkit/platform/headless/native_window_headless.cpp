// The headless native window record: a window on a simulated screen, driven by tests.
#include "toolkit/platform/native_window.h"

#include "toolkit/platform/headless/headless_internals.h"
#include "toolkit/platform/native_window_client.h"

#include <algorithm>
#include <cassert>

namespace zksdk::ui {

using headless::state;

namespace {

void add_pending(native_window::impl& self, rect ltrb)
{
    self.pending.push_back(ltrb);
}

rect whole_client(const native_window::impl& self)
{
    return {0, 0, self.outer.width, self.outer.height};
}

} // namespace

native_window::native_window() : m_impl(std::make_unique<impl>())
{
    m_impl->drop_target = std::make_unique<native_drop_target>(*this);
    state().windows.push_back(this);
}

native_window::~native_window()
{
    auto& system = state();
    // A record being destroyed hears nothing more: its toolkit window is already going.
    if (system.focus == this) {
        system.focus = nullptr;
    }
    if (system.capture == this) {
        system.capture = nullptr;
    }
    if (m_impl->created && m_impl->owner != nullptr && headless::is_live(m_impl->owner)) {
        set_owner_enabled(true);
        focus_owner();
    }
    std::erase(system.windows, this);
}

void native_window::create_native(native_window* owner, native_window_client& client, rect dips,
                                  uint16_t flags)
{
    assert(!m_impl->created && "the native window exists already");
    auto& system = state();
    m_impl->client = &client;
    m_impl->owner = owner;
    m_impl->flags = flags;
    m_impl->dpi_x = system.system_dpi.x;
    m_impl->dpi_y = system.system_dpi.y;
    m_impl->outer = {mul_div(dips.x, m_impl->dpi_x, 96), mul_div(dips.y, m_impl->dpi_y, 96),
                     mul_div(dips.width, m_impl->dpi_x, 96),
                     mul_div(dips.height, m_impl->dpi_y, 96)};
    // The window lands on a monitor whose DPI may differ from the system's; it then takes the
    // monitor's DPI and is rescaled before any message reaches the toolkit.
    if (system.monitor_dpi.x != m_impl->dpi_x || system.monitor_dpi.y != m_impl->dpi_y) {
        m_impl->dpi_x = system.monitor_dpi.x;
        m_impl->dpi_y = system.monitor_dpi.y;
        m_impl->outer = {mul_div(dips.x, m_impl->dpi_x, 96), mul_div(dips.y, m_impl->dpi_y, 96),
                         mul_div(dips.width, m_impl->dpi_x, 96),
                         mul_div(dips.height, m_impl->dpi_y, 96)};
    }
    m_impl->created = true;
}

bool native_window::is_created() const
{
    return m_impl->created;
}

native_window* native_window::owner() const
{
    return m_impl->owner;
}

native_window_client* native_window::client() const
{
    return m_impl->client;
}

void native_window::set_title(std::string_view title)
{
    m_impl->title = title;
}

const std::string& native_window::title() const
{
    return m_impl->title;
}

void native_window::set_bounds(rect bounds)
{
    if (!m_impl->created) {
        return;
    }
    const size pixels{mul_div(bounds.width, m_impl->dpi_x, 96),
                      mul_div(bounds.height, m_impl->dpi_y, 96)};
    m_impl->outer.x = bounds.x;
    m_impl->outer.y = bounds.y;
    if (pixels.width != m_impl->outer.width || pixels.height != m_impl->outer.height) {
        headless::client_resized(*this, pixels);
    }
}

rect native_window::client_placement() const
{
    return {m_impl->outer.x, m_impl->outer.y, mul_div(m_impl->outer.width, 96, m_impl->dpi_x),
            mul_div(m_impl->outer.height, 96, m_impl->dpi_y)};
}

size native_window::client_pixel_size() const
{
    return {m_impl->outer.width, m_impl->outer.height};
}

void native_window::center()
{
    if (!m_impl->created) {
        return;
    }
    const auto& system = state();
    const rect placement = client_placement();
    const int32_t cw = mul_div(placement.width, m_impl->dpi_x, 96);
    const int32_t ch = mul_div(placement.height, m_impl->dpi_y, 96);
    rect ref{0, 0, system.screen.width, system.screen.height};
    if (m_impl->owner != nullptr) {
        const rect& o = m_impl->owner->m_impl->outer;
        ref = {o.x, o.y, o.x + o.width, o.y + o.height};
    }
    const rect& w = system.work_area;
    int32_t x = ref.x + (ref.width - cw - ref.x) / 2;
    if (x + cw > w.x + w.width) {
        x = w.x + w.width - cw;
    }
    int32_t y = ref.y + (ref.height - ch - ref.y) / 2;
    if (y + ch > w.y + w.height) {
        y = w.y + w.height - ch;
    }
    // One pixel inside the work area, not on its edge.
    if (x < w.x) {
        x = w.x + 1;
    }
    if (y < w.y) {
        y = w.y + 1;
    }
    m_impl->outer.x = x;
    m_impl->outer.y = y;
}

rect native_window::monitor_work_area() const
{
    return state().work_area;
}

point native_window::convert(point value, conversion direction) const
{
    if (direction == conversion::to_pixels) {
        return {mul_div(value.x, m_impl->dpi_x, 96), mul_div(value.y, m_impl->dpi_y, 96)};
    }
    return {mul_div(value.x, 96, m_impl->dpi_x), mul_div(value.y, 96, m_impl->dpi_y)};
}

int32_t native_window::dpi_x() const
{
    return m_impl->dpi_x;
}

int32_t native_window::dpi_y() const
{
    return m_impl->dpi_y;
}

void native_window::set_client_size_limits(size minimum, size maximum)
{
    m_impl->minimum_client = minimum;
    m_impl->maximum_client = maximum;
}

void native_window::invalidate(rect area)
{
    if (!m_impl->created) {
        return;
    }
    m_impl->invalidations.push_back(area);
    // The system clips the area to the client rectangle and ignores what is left empty.
    const rect client = whole_client(*m_impl);
    const rect ltrb{std::max(area.x, 0), std::max(area.y, 0),
                    std::min(area.x + area.width, client.width),
                    std::min(area.y + area.height, client.height)};
    if (ltrb.x >= ltrb.width || ltrb.y >= ltrb.height) {
        return;
    }
    add_pending(*m_impl, ltrb);
}

void native_window::update_now()
{
    headless::paint_pending(*this);
}

void native_window::show(activation mode)
{
    if (!m_impl->created) {
        return;
    }
    if (!m_impl->visible) {
        m_impl->visible = true;
        add_pending(*m_impl, whole_client(*m_impl));
    }
    if (mode == activation::activate) {
        focus();
    }
}

void native_window::hide()
{
    if (!m_impl->visible) {
        return;
    }
    m_impl->visible = false;
    m_impl->pending.clear();
    if (state().focus == this) {
        headless::move_focus(nullptr);
    }
}

bool native_window::is_visible() const
{
    return m_impl->visible;
}

bool native_window::is_shown() const
{
    return m_impl->shown;
}

void native_window::set_shown(bool shown)
{
    m_impl->shown = shown;
}

uint32_t native_window::next_timer_id()
{
    return ++m_impl->timer_counter;
}

void native_window::start_timer(uint32_t id, uint32_t interval_ms)
{
    if (!m_impl->created) {
        return;
    }
    // Like the system's timers, a minimum of 10 ms; restarting an id replaces it.
    const uint32_t interval = std::max<uint32_t>(interval_ms, 10);
    m_impl->timers[id] = {interval, state().clock_ms + interval};
}

void native_window::stop_timer(uint32_t id)
{
    m_impl->timers.erase(id);
}

bool native_window::is_running() const
{
    return m_impl->running;
}

void native_window::set_running(bool running)
{
    m_impl->running = running;
}

bool native_window::pump()
{
    auto& system = state();
    // As with the system, a window with an area to repaint is painted before more input comes.
    const std::vector<native_window*> windows = system.windows;
    for (native_window* window : windows) {
        if (headless::is_live(window) && headless::paint_pending(*window)) {
            return true;
        }
    }
    if (system.steps.empty()) {
        return false;
    }
    std::function<void()> step = std::move(system.steps.front());
    system.steps.pop_front();
    step();
    return true;
}

void native_window::set_owner_enabled(bool enabled)
{
    if (m_impl->owner != nullptr) {
        m_impl->owner->m_impl->input_enabled = enabled;
    }
}

void native_window::focus_owner()
{
    if (m_impl->owner != nullptr) {
        m_impl->owner->focus();
    }
}

void native_window::focus()
{
    // The system refuses the focus to a disabled window.
    if (m_impl->created && m_impl->input_enabled) {
        headless::move_focus(this);
    }
}

bool native_window::is_focus_window() const
{
    return state().focus == this;
}

bool native_window::is_input_enabled() const
{
    return m_impl->input_enabled;
}

void native_window::announce(access_event event, int32_t id, std::string_view text)
{
    if (!m_impl->created) {
        return;
    }
    // What a reader would read at that moment: the node's name and description then, or the
    // sentence. Every event is kept, repeats too: a test must see what is said twice.
    std::string said(text);
    std::string description;
    if (m_impl->client != nullptr) {
        for (const access_node& node : m_impl->client->access_tree()) {
            if (node.id == id && event != access_event::notification) {
                said = id == 0 ? "window" : node.name;
                description = node.description;
            }
        }
    }
    m_impl->announcements.push_back({event, id, said, description});
}

namespace headless {

const std::vector<announcement>& announcements(const native_window& window)
{
    return window.backend().announcements;
}

void clear_announcements(native_window& window)
{
    window.backend().announcements.clear();
}

} // namespace headless

} // namespace zksdk::ui
