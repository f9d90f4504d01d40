// libFuzzer target: any bytes given to the label's markup parser must parse without a fault
// into well-formed text covered by gap-free runs.
#include "toolkit/controls/markup_parser.h"
#include "toolkit/core/text_conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace zksdk::ui;
    const std::string_view markup(reinterpret_cast<const char*>(data), size);
    const parsed_markup parsed = parse_markup(markup, "Tahoma", 11.0f);

    const std::u16string units = utf8_to_utf16(parsed.text);
    require(utf16_to_utf8(units) == parsed.text);
    require(!parsed.runs.empty());
    int32_t expected_first = 0;
    for (const text_run& run : parsed.runs) {
        require(run.first == expected_first);
        require(run.first <= run.end);
        require(run.size > 0.0f);
        expected_first = run.end;
    }
    require(static_cast<std::size_t>(parsed.runs.back().end) == units.size());

    // The attribute reader sees the same bytes as a tag, with a name taken from their start.
    const std::string_view name = markup.substr(0, std::min<std::size_t>(size, 4));
    const std::string_view value = markup_attribute(markup, name);
    require(value.empty() || (value.data() >= markup.data() &&
                              value.data() + value.size() <= markup.data() + markup.size()));
    return 0;
}
