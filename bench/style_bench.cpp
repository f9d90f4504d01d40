// Cost of one style lookup through each layer a paint pass reaches: own entry, a redirect into
// the theme, and the built-in defaults.
#include "toolkit/core/style/application_theme.h"
#include "toolkit/core/style/style_table.h"

#include <benchmark/benchmark.h>

namespace {

using zksdk::ui::color;
using zksdk::ui::style_map;
using zksdk::ui::style_table;

void OwnEntry(benchmark::State& state)
{
    style_table table;
    table.set("button_color_normal", color{1, 0, 0, 1});
    for (auto _ : state)
        benchmark::DoNotOptimize(table.read_color("button_color_normal"));
}
BENCHMARK(OwnEntry);

void RedirectToTheme(benchmark::State& state)
{
    style_map theme;
    theme.set("rounded_button_back_color_normal", color{0.2f, 0.2f, 0.2f, 1});
    zksdk::ui::install_theme(theme);
    style_table table;
    table.redirect("button_color_normal", "rounded_button_back_color_normal");
    for (auto _ : state)
        benchmark::DoNotOptimize(table.read_color("button_color_normal"));
    zksdk::ui::install_theme(style_map{});
}
BENCHMARK(RedirectToTheme);

void BuiltinDefault(benchmark::State& state)
{
    style_table table;
    table.set("checkbox_font_color", color{1, 1, 1, 1}); // a table is rarely empty
    for (auto _ : state)
        benchmark::DoNotOptimize(table.read_color("button_color_hover"));
}
BENCHMARK(BuiltinDefault);

} // namespace

BENCHMARK_MAIN();
