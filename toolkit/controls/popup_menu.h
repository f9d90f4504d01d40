// A native context menu filled with items by id and shown at the pointer.
#pragma once

#include "toolkit/core/non_copyable_non_moveable.h"
#include "toolkit/platform/popup_menu_item.h"

#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zksdk::ui {

class window;

// Built, filled, shown once and dropped by its owner within one handler; not a widget.
class popup_menu : private non_copyable_non_moveable {
public:
    popup_menu() = default;
    virtual ~popup_menu() = default;

    // parent_id -1 puts the item at the top level, an earlier item's id into that item's
    // submenu. Ids must be non-zero (0 reports a dismissed menu) and unused.
    void add_item(uint32_t id, int32_t parent_id, std::string_view caption);
    // Shows the menu at the pointer, owned by the window; the chosen id, or 0 when dismissed.
    uint32_t show(window& owner) const;

    const std::vector<popup_menu_item>& items() const { return m_items; }

private:
    static constexpr int32_t top_level = -1;

    std::vector<popup_menu_item> m_items; // in the order added: parents before their children
    std::unordered_set<uint32_t> m_ids;
};

} // namespace zksdk::ui
