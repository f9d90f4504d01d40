// The label markup (a small HTML subset) turned into plain text plus styled runs.
#pragma once

#include "toolkit/platform/text_run.h"

#include <string>
#include <string_view>
#include <vector>

namespace zksdk::ui {

// What a markup text shows: the text and its runs, which follow each other without gaps from
// UTF-16 unit 0 to the end of the text (the last one may be empty). Runs with a link target are
// the label's links. A value owned by the label that parsed it.
struct parsed_markup {
    std::string text; // UTF-8, always well formed
    std::vector<text_run> runs;
};

// Never fails: unknown tags are ignored, unreadable attributes change nothing, surplus closing
// tags leave the base style in place and ill-formed UTF-8 shows as U+FFFD.
parsed_markup parse_markup(std::string_view markup, std::string_view base_family, float base_size);

// The value of the first occurrence of name in a tag's text (name = "value"); empty when the
// name, the "=" or either quote is missing.
std::string_view markup_attribute(std::string_view tag, std::string_view name);

} // namespace zksdk::ui
