// The widget tree: effective flags and their events, geometry events, invalidation, destruction.
#include "toolkit/core/widget/generic_panel.h"
#include "toolkit/platform/headless/recording.h"

#include "tests/toolkit/core/toolkit_fixture.h"

#include <random>

namespace zksdk::ui {
namespace {

using test::attach;

class WidgetTest : public test::ToolkitTest {
protected:
    void SetUp() override
    {
        test::ToolkitTest::SetUp();
        m_window = make_window();
    }
    widget& root() { return m_window->root(); }

    std::unique_ptr<window> m_window;
    test::event_log m_log;
};

TEST_F(WidgetTest, BeforeCreateGeometryRaisesNothingAndInvalidateDoesNothing)
{
    widget loose;
    loose.set_window(m_window.get());
    m_log.watch(&loose, "w", {event_type::resized, event_type::moved});
    headless::clear_invalidations(m_window->native());
    loose.set_geometry({5, 5, 50, 50});
    loose.invalidate(false);
    EXPECT_EQ("", m_log.take());
    EXPECT_TRUE(headless::invalidations(m_window->native()).empty());
    EXPECT_FALSE(loose.is_visible(false));

    loose.set_geometry({0, 0, -4, -9});
    EXPECT_EQ((rect{0, 0, 0, 0}), loose.geometry()); // negative sizes are stored as 0
}

TEST_F(WidgetTest, HidingAPanelHidesEveryDescendantDeepestFirst)
{
    widget panel, child, grandchild, hidden_child;
    attach(panel, root(), {0, 0, 100, 100});
    attach(child, panel, {0, 0, 50, 50});
    attach(grandchild, child, {0, 0, 10, 10});
    attach(hidden_child, panel, {50, 0, 50, 50});
    hidden_child.set_visible(false);
    for (auto [target, name] :
         {std::pair{&panel, "panel"}, {&child, "child"}, {&grandchild, "grand"}})
        m_log.watch(target, name,
                    {event_type::shown, event_type::hidden, event_type::shown_by_parent,
                     event_type::hidden_by_parent});

    panel.set_visible(false);
    EXPECT_EQ("grand:45 child:45 panel:47", m_log.take());
    EXPECT_FALSE(grandchild.is_visible(true));
    EXPECT_TRUE(grandchild.is_visible(false));
    panel.set_visible(false); // unchanged: nothing
    EXPECT_EQ("", m_log.take());

    panel.set_visible(true);
    EXPECT_EQ("grand:44 child:44 panel:46", m_log.take());
    EXPECT_TRUE(grandchild.is_visible(true));
    EXPECT_FALSE(hidden_child.is_visible(true)); // its own flag still hides it
    EXPECT_TRUE(hidden_child.is_effectively_visible());
}

TEST_F(WidgetTest, EnabledStateFollowsAncestorsAndLeavesWithTheChild)
{
    widget panel, child, grandchild;
    attach(panel, root(), {0, 0, 100, 100});
    attach(child, panel, {0, 0, 50, 50});
    m_log.watch(&panel, "panel", {event_type::enabled, event_type::disabled});
    m_log.watch(&grandchild, "grand", {event_type::enabled, event_type::disabled});

    panel.set_enabled(false);
    panel.set_enabled(false);
    EXPECT_EQ("panel:25", m_log.take()); // once, and nothing on descendants
    EXPECT_FALSE(child.is_effectively_enabled());
    attach(grandchild, child, {0, 0, 10, 10}); // created below a disabled ancestor
    EXPECT_FALSE(grandchild.is_effectively_enabled());

    panel.remove_child(&child);
    EXPECT_EQ(nullptr, child.parent());
    EXPECT_TRUE(child.is_effectively_enabled());
    EXPECT_TRUE(grandchild.is_effectively_enabled());
    EXPECT_TRUE(panel.children().empty());
}

TEST_F(WidgetTest, GeometryChangesReachChildrenAndRepaintTheUncoveredArea)
{
    widget panel, child;
    attach(panel, root(), {10, 20, 100, 100});
    attach(child, panel, {5, 5, 30, 30});
    m_log.watch(&panel, "panel", {event_type::resized, event_type::moved});
    m_log.watch(&child, "child", {event_type::parent_resized, event_type::parent_moved});
    size old_size;
    event_dispatcher::instance().connect(
        &child, &m_log, event_type::parent_resized,
        [&](const event_info& info) { old_size = *static_cast<size*>(info.data); });
    headless::clear_invalidations(m_window->native());

    panel.set_geometry({12, 20, 120, 100});
    EXPECT_EQ("panel:13 child:26 panel:15 child:27", m_log.take());
    EXPECT_EQ((size{100, 100}), old_size);
    const std::vector<rect>& marked = headless::invalidations(m_window->native());
    // The child's new area, the root (the old area is uncovered) and the panel's new area.
    EXPECT_NE(std::find(marked.begin(), marked.end(), rect{17, 25, 30, 30}), marked.end());
    EXPECT_NE(std::find(marked.begin(), marked.end(), rect{0, 0, 400, 300}), marked.end());
    EXPECT_NE(std::find(marked.begin(), marked.end(), rect{12, 20, 120, 100}), marked.end());
}

TEST_F(WidgetTest, ADestroyedWidgetLeavesNoReferenceBehind)
{
    auto panel = std::make_unique<widget>();
    widget child;
    attach(*panel, root(), {0, 0, 200, 200});
    attach(child, *panel, {0, 0, 100, 100});
    child.set_tab_stop(true);
    m_window->set_focus(&child, 0);
    captured_widget = &child;
    m_window->add_tooltip(&child, {}, "", "tip");
    {
        widget doomed;
        attach(doomed, child, {0, 0, 10, 10});
        m_window->set_focus(&doomed, 0);
    }
    EXPECT_EQ(nullptr, m_window->focused_widget());
    EXPECT_TRUE(child.children().empty());

    m_window->set_focus(&child, 0);
    panel.reset();
    EXPECT_EQ(nullptr, child.parent());
    EXPECT_EQ(2u, m_window->widgets().size()); // root and child remain listed
    headless::send_mouse_move(m_window->native(), {10, 10});
    headless::send_mouse_move(m_window->native(), {11, 10});
}

TEST_F(WidgetTest, PanelsDrawOnlyTheColoursTheirStyleGives)
{
    generic_panel panel;
    attach(panel, root(), {10, 10, 50, 40});
    renderer* target = headless::renderer_of(m_window->native());
    ASSERT_NE(nullptr, target);
    auto drawn = [&] {
        headless::clear_recording(*target);
        headless::send_paint(m_window->native(), {0, 0, 400, 300});
        std::vector<headless::draw_op> ops;
        for (const headless::draw_call& call : headless::recorded_calls(*target))
            if (call.widget == &panel && call.op != headless::draw_op::begin_widget &&
                call.op != headless::draw_op::end_widget)
                ops.push_back(call.op);
        return ops;
    };
    EXPECT_TRUE(drawn().empty()); // transparent defaults draw nothing

    panel.style().set("default_back_color", color{0.2f, 0.2f, 0.2f, 1});
    panel.style().set("default_border_color", color{1, 0, 0, 1});
    EXPECT_EQ((std::vector<headless::draw_op>{headless::draw_op::fill_rect,
                                              headless::draw_op::draw_rect}),
              drawn());
    const auto& calls = headless::recorded_calls(*target);
    const auto outline =
        std::find_if(calls.begin(), calls.end(), [](const headless::draw_call& call) {
            return call.op == headless::draw_op::draw_rect;
        });
    ASSERT_NE(calls.end(), outline);
    EXPECT_EQ((rect{0, 0, 50, 40}), outline->area);
    EXPECT_EQ((color{1, 0, 0, 1}), outline->state.stroke);
}

// Random edits of a tree must keep every effective flag equal to the AND over the ancestors and
// never leave the window pointing at a widget that is gone (run under the address sanitizer).
TEST_F(WidgetTest, RandomTreeEditsKeepEffectiveFlagsConsistent)
{
    std::mt19937 random(12345);
    std::vector<std::unique_ptr<widget>> pool;
    auto pick = [&]() -> widget* {
        return pool.empty() ? &root() : pool[random() % pool.size()].get();
    };
    auto check = [&] {
        for (const auto& item : pool) {
            bool visible = true, enabled = true;
            for (const widget* up = item->parent(); up; up = up->parent()) {
                visible = visible && up->is_visible(false);
                enabled = enabled && up->is_enabled();
            }
            ASSERT_EQ(visible, item->is_effectively_visible());
            ASSERT_EQ(enabled, item->is_effectively_enabled());
            if (item->parent()) {
                const auto& siblings = item->parent()->children();
                ASSERT_NE(std::find(siblings.begin(), siblings.end(), item.get()), siblings.end());
            }
        }
    };
    for (int step = 0; step < 3000; ++step) {
        switch (random() % 8) {
        case 0:
        case 1: {
            widget* parent = pick();
            pool.push_back(std::make_unique<widget>());
            attach(*pool.back(), *parent,
                   {int32_t(random() % 300), int32_t(random() % 200), 40, 40});
            break;
        }
        case 2:
            if (!pool.empty()) {
                const size_t index = random() % pool.size();
                // An owner destroying a container lets go of the children it does not own.
                pool[index]->remove_all_children();
                if (random() % 2)
                    m_window->set_focus(pool[index].get(), 0);
                pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(index));
            }
            break;
        case 3:
            if (widget* target = pick(); target->parent())
                target->parent()->remove_child(target);
            break;
        case 4:
            pick()->set_visible(random() % 2);
            break;
        case 5:
            pick()->set_enabled(random() % 2);
            break;
        case 6:
            headless::send_mouse_move(m_window->native(),
                                      {int32_t(random() % 400), int32_t(random() % 300)});
            break;
        case 7:
            headless::click(m_window->native(), {int32_t(random() % 400), int32_t(random() % 300)});
            break;
        }
        check();
        if (HasFatalFailure())
            return;
    }
}

} // namespace
} // namespace zksdk::ui
