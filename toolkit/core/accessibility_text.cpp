// Text units over a laid-out document: where each unit starts, moving by them, and the
// geometry of ranges and points.
#include "toolkit/core/accessibility_text.h"

#include <algorithm>
#include <cmath>

namespace zksdk::ui {

namespace {

bool is_break(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

bool is_space(char16_t c)
{
    return c == u' ' || c == u'\t' || c == 0xA0 || is_break(c);
}

bool is_trailing_surrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Every position where a unit starts, ascending, from 0; the text's end closes the last one.
std::vector<int32_t> unit_starts(const access_text& document, text_unit unit)
{
    const std::u16string& t = document.text;
    const auto length = static_cast<int32_t>(t.size());
    std::vector<int32_t> starts{0};
    const auto add = [&starts](int32_t at) {
        if (at > starts.back())
            starts.push_back(at);
    };
    switch (unit) {
    case text_unit::character:
        for (int32_t at = 1; at < length; ++at) {
            if (!is_trailing_surrogate(t[static_cast<size_t>(at)]))
                add(at);
        }
        break;
    case text_unit::format: // one format throughout: the next larger unit
    case text_unit::word:
        for (int32_t at = 1; at < length; ++at) {
            const char16_t before = t[static_cast<size_t>(at - 1)];
            const char16_t here = t[static_cast<size_t>(at)];
            if ((!is_space(here) && is_space(before)) || is_break(before))
                add(at);
        }
        break;
    case text_unit::line:
        for (const text_line_geometry& line : document.lines)
            add(line.first);
        break;
    case text_unit::paragraph:
        for (int32_t at = 1; at < length; ++at) {
            if (!is_break(t[static_cast<size_t>(at)]) && is_break(t[static_cast<size_t>(at - 1)]))
                add(at);
        }
        break;
    case text_unit::page: // no pages: the next larger unit
    case text_unit::document:
        break;
    }
    if (starts.size() > 1 && starts.back() >= length)
        starts.pop_back();
    return starts;
}

int32_t clamp_position(const access_text& document, int32_t position)
{
    return std::clamp(position, 0, static_cast<int32_t>(document.text.size()));
}

} // namespace

std::vector<text_span> paragraphs(std::u16string_view text)
{
    std::vector<text_span> found;
    const auto length = static_cast<int32_t>(text.size());
    int32_t at = 0;
    while (at < length) {
        while (at < length && is_break(text[static_cast<size_t>(at)]))
            ++at;
        const int32_t first = at;
        while (at < length && !is_break(text[static_cast<size_t>(at)]))
            ++at;
        if (at > first)
            found.push_back({first, at});
    }
    return found;
}

text_span enclosing_unit(const access_text& document, int32_t position, text_unit unit)
{
    const auto length = static_cast<int32_t>(document.text.size());
    const std::vector<int32_t> starts = unit_starts(document, unit);
    position = clamp_position(document, position);
    // The end of the text belongs to the last unit.
    const int32_t probe = position == length && length > 0 ? length - 1 : position;
    const auto next = std::upper_bound(starts.begin(), starts.end(), probe);
    const int32_t first = *(next - 1);
    return {first, next == starts.end() ? length : *next};
}

int32_t move_by_units(const access_text& document, int32_t& position, text_unit unit, int32_t count)
{
    const auto length = static_cast<int32_t>(document.text.size());
    std::vector<int32_t> starts = unit_starts(document, unit);
    starts.push_back(length); // the end is where a forward move stops
    position = clamp_position(document, position);
    int32_t moved = 0;
    while (moved < count) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), position);
        if (next == starts.end())
            break;
        position = *next;
        ++moved;
    }
    while (moved > count) {
        const auto before = std::lower_bound(starts.begin(), starts.end(), position);
        if (before == starts.begin())
            break;
        position = *(before - 1);
        --moved;
    }
    return moved;
}

std::vector<rect> range_boxes(const access_text& document, text_span range)
{
    std::vector<rect> boxes;
    if (range.first >= range.end)
        return boxes;
    const rect& seen = document.visible;
    for (const text_line_geometry& line : document.lines) {
        const int32_t first = std::max(range.first, line.first);
        const int32_t end = std::min(range.end, line.end);
        if (first >= end || line.edges.size() != static_cast<size_t>(line.end - line.first + 1))
            continue;
        const float left = line.edges[static_cast<size_t>(first - line.first)];
        const float right = line.edges[static_cast<size_t>(end - line.first)];
        const auto x0 = static_cast<int32_t>(std::lround(std::max<float>(left, seen.x)));
        const auto x1 =
            static_cast<int32_t>(std::lround(std::min<float>(right, seen.x + seen.width)));
        const auto y0 = static_cast<int32_t>(std::lround(std::max<float>(line.top, seen.y)));
        const auto y1 = static_cast<int32_t>(
            std::lround(std::min<float>(line.top + line.height, seen.y + seen.height)));
        if (x1 > x0 && y1 > y0)
            boxes.push_back({x0, y0, x1 - x0, y1 - y0});
    }
    return boxes;
}

int32_t line_of(const access_text& document, int32_t position)
{
    const auto& lines = document.lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (position < lines[i].end || i + 1 == lines.size())
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t position_at(const access_text& document, point at)
{
    const auto& lines = document.lines;
    if (lines.empty())
        return 0;
    const auto y = static_cast<float>(at.y);
    size_t chosen = lines.size() - 1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (y < lines[i].top + lines[i].height) {
            chosen = i;
            break;
        }
    }
    const text_line_geometry& line = lines[chosen];
    // A line's break is no place to put a reader: the last position is before it.
    int32_t last = line.end;
    while (last > line.first && is_break(document.text[static_cast<size_t>(last - 1)]))
        --last;
    int32_t best = line.first;
    float distance = INFINITY;
    for (int32_t p = line.first;
         p <= last && static_cast<size_t>(p - line.first) < line.edges.size(); ++p) {
        const float d =
            std::fabs(line.edges[static_cast<size_t>(p - line.first)] - static_cast<float>(at.x));
        if (d < distance) {
            distance = d;
            best = p;
        }
    }
    return best;
}

text_span visible_span(const access_text& document)
{
    const rect& seen = document.visible;
    text_span span{-1, -1};
    for (const text_line_geometry& line : document.lines) {
        const bool shown = line.top + line.height > static_cast<float>(seen.y) &&
                           line.top < static_cast<float>(seen.y + seen.height);
        if (!shown)
            continue;
        if (span.first < 0)
            span.first = line.first;
        span.end = line.end;
    }
    return span.first < 0 ? text_span{} : span;
}

} // namespace zksdk::ui
