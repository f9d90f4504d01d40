// scroll_bar: scrolling from the keyboard, for whoever holds the focus over the content.
#include "toolkit/controls/scroll_bar.h"

namespace zksdk::ui {

namespace {

constexpr uint32_t page_up_key = 0x21;
constexpr uint32_t page_down_key = 0x22;
constexpr uint32_t end_key = 0x23;
constexpr uint32_t home_key = 0x24;
constexpr uint32_t left_key = 0x25;
constexpr uint32_t up_key = 0x26;
constexpr uint32_t right_key = 0x27;
constexpr uint32_t down_key = 0x28;

} // namespace

bool scroll_bar::scroll_for_key(uint32_t virtual_key)
{
    if (m_content == nullptr) {
        return false;
    }
    const uint32_t back = is_vertical() ? up_key : left_key;
    const uint32_t on = is_vertical() ? down_key : right_key;
    const widget* viewport = m_content->parent();
    // A page keeps one step of the previous view in sight, so the reader does not lose the line.
    const int32_t seen = viewport != nullptr ? extent_of(viewport->geometry()) : 0;
    const int32_t page = seen > m_step ? seen - m_step : m_step;
    if (virtual_key == back) {
        scroll_by(m_step);
    } else if (virtual_key == on) {
        scroll_by(-m_step);
    } else if (virtual_key == page_up_key) {
        scroll_by(page);
    } else if (virtual_key == page_down_key) {
        scroll_by(-page);
    } else if (virtual_key == home_key) {
        scroll_to(0, scroll_snap::exact);
    } else if (virtual_key == end_key) {
        scroll_to(m_range, scroll_snap::exact);
    } else {
        return false;
    }
    return true;
}

} // namespace zksdk::ui
