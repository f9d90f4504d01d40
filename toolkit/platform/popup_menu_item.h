// One entry of a native popup menu as the popup menu control hands it to the platform.
#pragma once

#include <cstdint>
#include <string>

namespace zksdk::ui {

// An item by id; parent_id -1 is the top level, any other value an earlier item's id whose
// submenu holds this item.
struct popup_menu_item {
    uint32_t id = 0;
    int32_t parent_id = -1;
    std::string caption; // UTF-8
};

} // namespace zksdk::ui
