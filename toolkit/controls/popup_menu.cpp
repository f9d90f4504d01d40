// popup_menu: keeps the items with their parents and hands them to the platform menu.
#include "toolkit/controls/popup_menu.h"

#include "toolkit/core/window/window.h"
#include "toolkit/platform/native_services.h"

#include <cassert>

namespace zksdk::ui {

void popup_menu::add_item(uint32_t id, int32_t parent_id, std::string_view caption)
{
    // A zero id could not be told from a dismissed menu, a repeated one from its twin, and an
    // item under an unknown parent would have no menu to appear in.
    const bool known_parent = parent_id == top_level ||
                              (parent_id >= 0 && m_ids.contains(static_cast<uint32_t>(parent_id)));
    assert(id != 0 && "popup menu item id 0 is the dismissal answer");
    assert(!m_ids.contains(id) && "popup menu item id added twice");
    assert(known_parent && "popup menu item added under an unknown parent");
    if (id == 0 || m_ids.contains(id) || !known_parent)
        return;
    m_ids.insert(id);
    m_items.push_back({id, parent_id, std::string(caption)});
}

uint32_t popup_menu::show(window& owner) const
{
    // The pointer in screen DIPs (as a widget-less pointer_position reads it), then in the
    // owner's pixels, where the system places the menu.
    const point pixels = pointer_screen_position();
    const point dpi = pointer_dpi();
    const point dips{pixels.x * 96 / dpi.x, pixels.y * 96 / dpi.y};
    const point at = owner.native().convert(dips, conversion::to_pixels);
    return show_popup_menu(owner.native(), at, m_items);
}

} // namespace zksdk::ui
