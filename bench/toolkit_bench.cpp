// The costs paid on every pointer move and repaint: emitting events, hit testing and the paint
// pass over a 1,000-widget tree on the recording renderer.
#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/widget/widget.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/headless/headless_control.h"
#include "toolkit/platform/headless/recording.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace zksdk::ui;

class probe : public event_object {};

void BM_EmitWithoutHandler(benchmark::State& state)
{
    probe sender;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            event_dispatcher::instance().emit(&sender, event_type::mouse_move));
}
BENCHMARK(BM_EmitWithoutHandler);

void BM_EmitWithOneHandler(benchmark::State& state)
{
    probe sender;
    int calls = 0;
    event_dispatcher::instance().connect(&sender, &sender, event_type::mouse_move,
                                         [&calls](const event_info&) { ++calls; });
    for (auto _ : state)
        event_dispatcher::instance().emit(&sender, event_type::mouse_move);
    benchmark::DoNotOptimize(calls);
}
BENCHMARK(BM_EmitWithOneHandler);

// Ten columns of nine panels of ten leaves: 1,000 widgets under the root.
struct widget_tree {
    widget_tree()
    {
        headless::reset();
        host.create("Bench", {0, 0, 1000, 1000}, 0);
        for (int column = 0; column < 10; ++column) {
            add(host.root(), {column * 100, 0, 100, 1000});
            widget& column_widget = *widgets.back();
            for (int panel = 0; panel < 9; ++panel) {
                add(column_widget, {0, panel * 111, 100, 111});
                widget& panel_widget = *widgets.back();
                for (int leaf = 0; leaf < 10; ++leaf)
                    add(panel_widget, {leaf * 10, leaf * 11, 9, 10});
            }
        }
    }
    void add(widget& parent, const rect& geometry)
    {
        widgets.push_back(std::make_unique<widget>());
        widget& child = *widgets.back();
        child.set_window(&host);
        child.set_parent(&parent);
        child.create(geometry);
        parent.add_child(&child);
    }
    window host;
    std::vector<std::unique_ptr<widget>> widgets;
};

void BM_WidgetAt(benchmark::State& state)
{
    widget_tree tree;
    int32_t step = 0;
    for (auto _ : state) {
        step = (step + 37) % 1000;
        benchmark::DoNotOptimize(tree.host.widget_at({step, (step * 7) % 1000}));
    }
}
BENCHMARK(BM_WidgetAt);

void BM_PaintPass(benchmark::State& state)
{
    widget_tree tree;
    for (auto& item : tree.widgets)
        event_dispatcher::instance().connect(item.get(), item.get(), event_type::paint,
                                             [](const event_info&) {});
    renderer& target = tree.host.painter();
    for (auto _ : state) {
        headless::clear_recording(target);
        tree.host.paint_tree(&tree.host.root(), {0, 0, 1000, 1000});
    }
    state.counters["widgets"] = static_cast<double>(tree.widgets.size() + 1);
}
BENCHMARK(BM_PaintPass);

} // namespace

BENCHMARK_MAIN();
