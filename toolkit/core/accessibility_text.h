// A document's text as a reader moves through it: characters, words, lines and paragraphs,
// the boxes a range covers and the place under a point. Portable; UI Automation's text pattern
// is built on it.
#pragma once

#include "toolkit/core/geometry.h"
#include "toolkit/platform/text_geometry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zksdk::ui {

// Numbered as UI Automation numbers its text units.
enum class text_unit : int32_t {
    character = 0,
    format = 1,
    word = 2,
    line = 3,
    paragraph = 4,
    page = 5,
    document = 6,
};

// UTF-16 units [first, end).
struct text_span {
    int32_t first = 0;
    int32_t end = 0;
    bool operator==(const text_span&) const = default;
};

// A document's text and where its lines lie, in window DIPs, with the part its viewport shows.
// Taken on the window's thread; read anywhere.
struct access_text {
    std::u16string text;
    std::vector<text_line_geometry> lines;
    rect visible;
    int32_t caret = -1; // the reader's place, UTF-16 units; -1: the start of the view
};

// A widget's answer to `access_text`: its text and lines in its own coordinates, which live
// as long as the widget's text and size do not change.
struct access_text_source {
    const std::string* text = nullptr; // UTF-8
    const std::vector<text_line_geometry>* lines = nullptr;
    int32_t caret = -1; // UTF-16 units; set by whoever moves a reader's place through the text
};

// What `access_scroll` asks for: the rows [top, bottom) of the widget in view (its own
// coordinates), at the top of the view or wherever takes the shortest move.
struct access_scroll_request {
    int32_t top = 0;
    int32_t bottom = 0;
    bool align_to_top = true;
    // The line of the widget's text the reader's place moves to, or -1 when it stays.
    int32_t place_line = -1;
};

// The paragraphs: runs of text between line breaks, without the breaks; empty lines have none.
std::vector<text_span> paragraphs(std::u16string_view text);

// The unit that holds the position (at the very end: the last one).
text_span enclosing_unit(const access_text& document, int32_t position, text_unit unit);
// Moves the position by `count` starts of units (negative: backwards), stopping at either end
// of the text; returns how many it moved.
int32_t move_by_units(const access_text& document, int32_t& position, text_unit unit,
                      int32_t count);

// The boxes of the range, one per line it touches, cut to what the viewport shows; boxes that
// are wholly out of sight are left out. A range without characters has none.
std::vector<rect> range_boxes(const access_text& document, text_span range);
// The position nearest to a point (window DIPs).
int32_t position_at(const access_text& document, point at);
// From the first line the viewport shows at least in part to the end of the last one.
text_span visible_span(const access_text& document);
// The line holding the position, as an index into lines; -1 without lines.
int32_t line_of(const access_text& document, int32_t position);

} // namespace zksdk::ui
