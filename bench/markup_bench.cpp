// The licence page's cost: parsing a ~25 KB agreement in label markup, and laying it out in a
// label that fits its height to the text (on the recording renderer's metrics).
#include "toolkit/controls/markup_parser.h"
#include "toolkit/controls/text_label.h"
#include "toolkit/core/window/window.h"
#include "toolkit/platform/headless/headless_control.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace zksdk::ui;

constexpr std::size_t document_bytes = 25 * 1024;

// Numbered sections of paragraphs and lists with bold terms, italics, a font change and links,
// the way an end-user licence agreement is written.
std::string licence_document()
{
    std::string document =
        "<html><body><p><font size=\"4\"><b>END USER LICENCE AGREEMENT</b></font></p>";
    for (int section = 1; document.size() < document_bytes; ++section) {
        const std::string number = std::to_string(section);
        document += "<p><b>" + number +
                    ". Grant of licence.</b> Subject to the terms of this "
                    "Agreement, the Licensor grants you a <i>non-exclusive, non-transferable</i> "
                    "licence to install and use the Software on computers you own or control.\r\n"
                    "You may not <u>rent, lease or sublicense</u> the Software.</p>";
        document += "<ul><li>Copies made under section " + number +
                    " keep every notice.</li><li>See <a href=\"https://example.com/terms#s" +
                    number + "\">the online terms</a> for details.</li></ul>";
        document += "<p><font color=\"#C0C0C0\">Section " + number +
                    " survives termination of this Agreement.</font><br></p>";
    }
    return document + "</body></html>";
}

const std::string& document()
{
    static const std::string text = licence_document();
    return text;
}

void BM_ParseLicenceMarkup(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(parse_markup(document(), "Tahoma", 11.0f));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document().size()));
}
BENCHMARK(BM_ParseLicenceMarkup)->Unit(benchmark::kMicrosecond);

// A 600-unit wide label whose height follows the text, measured once per iteration.
void BM_UpdateSizeOfLicenceLabel(benchmark::State& state)
{
    headless::reset();
    window host;
    host.create("Bench", {0, 0, 1024, 610}, 0);
    text_label label;
    label.set_window(&host);
    label.set_parent(&host.root());
    label.create({0, 0, 600, 100});
    event_dispatcher::instance().emit(&label, event_type::created);
    host.root().add_child(&label);
    label.set_mode(label_mode::markup);
    label.set_fit(label_fit::fixed, label_fit::to_text);
    label.set_markup(document());
    for (auto _ : state)
        label.update_size();
    state.counters["height"] = label.height();
    host.root().remove_child(&label);
}
BENCHMARK(BM_UpdateSizeOfLicenceLabel)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
