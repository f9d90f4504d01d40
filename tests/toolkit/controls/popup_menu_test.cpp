// The popup menu: the items the system is shown and the answer that comes back.
#include "toolkit/controls/popup_menu.h"

#include "tests/toolkit/core/toolkit_fixture.h"

namespace zksdk::ui {
namespace {

using PopupMenuTest = test::ToolkitTest;

using item_shape = std::tuple<uint32_t, int32_t, std::string>;

std::vector<item_shape> shapes(const std::vector<popup_menu_item>& items)
{
    std::vector<item_shape> result;
    for (const popup_menu_item& item : items)
        result.emplace_back(item.id, item.parent_id, item.caption);
    return result;
}

TEST_F(PopupMenuTest, ShowsItsItemsAndReturnsTheChoiceOrZero)
{
    std::unique_ptr<window> owner = make_window();
    popup_menu menu;
    menu.add_item(10, -1, "Copy");
    menu.add_item(20, -1, "More");
    menu.add_item(21, 20, "Select all");

    EXPECT_EQ(0u, menu.show(*owner)); // dismissed: matches no item
    headless::answer_popup_menu(21);
    EXPECT_EQ(21u, menu.show(*owner));
    const std::vector<item_shape> expected = {
        {10, -1, "Copy"}, {20, -1, "More"}, {21, 20, "Select all"}};
    ASSERT_EQ(2u, headless::popup_menus().size());
    EXPECT_EQ(expected, shapes(headless::popup_menus()[0]));
    EXPECT_EQ(expected, shapes(headless::popup_menus()[1]));
}

TEST_F(PopupMenuTest, ItemsThatCouldNotBeShownOrAnsweredAreRefused)
{
    popup_menu menu;
    menu.add_item(1, -1, "One");
    EXPECT_DEBUG_DEATH(menu.add_item(0, -1, "Zero"), "dismissal");
    EXPECT_DEBUG_DEATH(menu.add_item(1, -1, "Again"), "twice");
    EXPECT_DEBUG_DEATH(menu.add_item(2, 7, "Orphan"), "unknown parent");
    EXPECT_DEBUG_DEATH(menu.add_item(3, -2, "Negative parent"), "unknown parent");
    EXPECT_EQ((std::vector<item_shape>{{1, -1, "One"}}), shapes(menu.items()));
}

} // namespace
} // namespace zksdk::ui
