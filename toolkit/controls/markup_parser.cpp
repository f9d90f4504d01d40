// markup parser: splits the markup into tags with their preceding content, then replays them on
// a style stack, closing a run whenever a tag adds text.
#include "toolkit/controls/markup_parser.h"

#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <span>

namespace zksdk::ui {

namespace {

constexpr std::string_view white_space = " \t\n\v\f\r";
// Sizes outside this range would make layouts fail or overflow integer extents.
constexpr float largest_font_size = 1024.0f;
constexpr float byte_to_unit = 0.003921569f;
constexpr color link_color{0, 0, 1, 1};

enum class element_kind {
    document,
    body,
    paragraph,
    bold,
    underline,
    font,
    list,
    list_item,
    italic,
    line_break,
    link,
    unrecognised,
};

struct element {
    element_kind kind = element_kind::unrecognised;
    bool closing = false;
};

// A stack entry names its strings by index, so pushing many tags inside one long link target or
// font face costs no copies of it.
struct style_entry {
    int32_t weight_kind = 0;
    int32_t style_kind = 0;
    bool underline = false;
    float size = 12.0f;
    color text_color;
    std::size_t family = 0;
    std::size_t link = 0;
};

bool is_white(char c)
{
    return white_space.find(c) != std::string_view::npos;
}

bool only_white(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), is_white);
}

element classify(std::string_view tag)
{
    std::string name;
    std::copy_if(tag.begin(), tag.end(), std::back_inserter(name),
                 [](char c) { return !is_white(c); });
    struct exact {
        std::string_view name;
        element_kind kind;
    };
    static constexpr exact before_font[] = {
        {"html", element_kind::document}, {"body", element_kind::body},
        {"p", element_kind::paragraph},   {"b", element_kind::bold},
        {"u", element_kind::underline},
    };
    static constexpr exact after_font[] = {
        {"ul", element_kind::list},
        {"li", element_kind::list_item},
        {"i", element_kind::italic},
    };
    auto match = [&name](std::span<const exact> table) -> std::optional<element> {
        for (const exact& entry : table) {
            if (name == entry.name)
                return element{entry.kind, false};
            if (name.size() == entry.name.size() + 1 && name[0] == '/' &&
                name.ends_with(entry.name))
                return element{entry.kind, true};
        }
        return std::nullopt;
    };
    if (auto found = match(before_font))
        return *found;
    if (name.starts_with("font"))
        return {element_kind::font, false};
    if (name == "/font")
        return {element_kind::font, true};
    if (auto found = match(after_font))
        return *found;
    if (name == "br")
        return {element_kind::line_break, false};
    if (name.starts_with("a"))
        return {element_kind::link, false};
    if (name == "/a")
        return {element_kind::link, true};
    return {};
}

// Up to six hexadecimal digits after the first character, as "%06X" reads them; an unreadable
// value is black.
color parse_color(std::string_view value)
{
    uint32_t rgb = 0;
    if (value.size() > 1) {
        const std::string_view digits = value.substr(1, 6);
        std::from_chars(digits.data(), digits.data() + digits.size(), rgb, 16);
    }
    return {static_cast<float>((rgb >> 16) & 0xFF) * byte_to_unit,
            static_cast<float>((rgb >> 8) & 0xFF) * byte_to_unit,
            static_cast<float>(rgb & 0xFF) * byte_to_unit, 1.0f};
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The number at the front of the value as std::from_chars reads a float: an optional minus,
// digits with an optional fraction, an optional exponent, and whatever follows ignored. Written
// out because the library's float reader is about 33 KB of the setup program. Numbers no float
// holds are unreadable, as they are there.
std::optional<float> read_decimal(std::string_view value)
{
    std::size_t at = 0;
    const bool negative = !value.empty() && value[0] == '-';
    at += negative;
    // Up to 19 significant digits fit in 64 bits; later ones only move the decimal point.
    uint64_t digits = 0;
    int significant = 0;
    int64_t exponent = 0;
    bool seen_digit = false;
    for (bool fraction = false;; ++at) {
        if (at < value.size() && value[at] == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (at >= value.size() || !is_digit(value[at]))
            break;
        seen_digit = true;
        if (significant < 19) {
            digits = digits * 10 + static_cast<uint64_t>(value[at] - '0');
            significant += digits != 0;
            exponent -= fraction;
        } else {
            exponent += !fraction;
        }
    }
    if (!seen_digit)
        return std::nullopt;
    // An exponent counts only with at least one digit after the "e" and its sign.
    if (at < value.size() && (value[at] == 'e' || value[at] == 'E')) {
        std::size_t next = at + 1;
        const bool minus = next < value.size() && value[next] == '-';
        next += next < value.size() && (value[next] == '-' || value[next] == '+');
        int64_t written = 0;
        bool any = false;
        for (; next < value.size() && is_digit(value[next]); ++next, any = true)
            written = std::min<int64_t>(written * 10 + (value[next] - '0'), 100000);
        if (any)
            exponent += minus ? -written : written;
    }
    // Powers of ten up to 10^22 are exact doubles, so the common cases round only once.
    const double scale = std::pow(10.0, static_cast<double>(exponent < 0 ? -exponent : exponent));
    const double magnitude =
        exponent < 0 ? static_cast<double>(digits) / scale : static_cast<double>(digits) * scale;
    const float number = static_cast<float>(negative ? -magnitude : magnitude);
    if (!std::isfinite(number) || (number == 0.0f && digits != 0))
        return std::nullopt;
    return number;
}

std::optional<float> parse_size(std::string_view value)
{
    const std::optional<float> number = read_decimal(value);
    if (!number)
        return std::nullopt;
    const float size = *number * 4.0f;
    if (!std::isfinite(size) || size <= 0.0f || size > largest_font_size)
        return std::nullopt;
    return size;
}

// UTF-16 units of well-formed UTF-8: one per sequence, two for the four-byte ones.
std::size_t utf16_length(std::string_view text)
{
    std::size_t units = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

int32_t run_index(std::size_t units)
{
    return static_cast<int32_t>(std::min<std::size_t>(units, std::numeric_limits<int32_t>::max()));
}

// Replays the elements in order; owns the text and runs being built.
class markup_builder {
public:
    markup_builder(std::string_view base_family, float base_size)
    {
        m_strings.emplace_back(base_family);
        m_strings.emplace_back();
        style_entry base;
        base.size = base_size;
        base.family = 0;
        base.link = 1;
        m_stack.push_back(base);
    }

    void add(std::string_view tag, std::string_view raw_content)
    {
        const element current = classify(tag);
        const style_entry top = m_stack.back();
        style_entry next = top;
        const std::size_t length_before = m_result.text.size();
        std::string content = shown_content(raw_content);
        if (m_bullet_pending && !content.empty()) {
            append("* ");
            m_bullet_pending = false;
        }
        append(content);
        if (current.kind == element_kind::document || current.kind == element_kind::body ||
            current.kind == element_kind::unrecognised)
            return;
        apply(current, tag, next);
        if (m_result.text.size() != length_before)
            close_run(top);
        if (current.kind == element_kind::line_break)
            return;
        if (!current.closing)
            m_stack.push_back(next);
        else if (m_stack.size() > 1) // surplus closing tags leave the base style alone
            m_stack.pop_back();
    }

    parsed_markup finish()
    {
        m_result.runs.push_back(make_run(m_stack.back(), m_run_end, m_units));
        return std::move(m_result);
    }

private:
    // Line breaks in the source are layout, not text; ill-formed bytes become U+FFFD here so
    // that counting UTF-16 units agrees with the renderer's conversion.
    static std::string shown_content(std::string_view raw)
    {
        std::string content;
        std::copy_if(raw.begin(), raw.end(), std::back_inserter(content),
                     [](char c) { return c != '\n' && c != '\r'; });
        if (std::any_of(content.begin(), content.end(), [](char c) { return c & 0x80; }))
            content = utf16_to_utf8(utf8_to_utf16(content));
        return content;
    }

    void append(std::string_view piece)
    {
        m_result.text += piece;
        m_units += utf16_length(piece);
    }

    void apply(element current, std::string_view tag, style_entry& next)
    {
        switch (current.kind) {
        case element_kind::bold:
            next.weight_kind = 2;
            break;
        case element_kind::italic:
            next.style_kind = 1;
            break;
        case element_kind::underline:
            if (!current.closing)
                next.underline = true;
            break;
        case element_kind::font:
            if (!current.closing)
                apply_font(tag, next);
            break;
        case element_kind::paragraph:
        case element_kind::line_break:
            append("\n");
            break;
        case element_kind::list:
            if (!current.closing)
                append("\n");
            break;
        case element_kind::list_item:
            m_bullet_pending = !current.closing;
            if (current.closing && !m_result.text.ends_with('\n'))
                append("\n");
            break;
        case element_kind::link:
            if (!current.closing)
                apply_link(tag, next);
            break;
        default:
            break;
        }
    }

    void apply_font(std::string_view tag, style_entry& next)
    {
        if (std::string_view face = markup_attribute(tag, "face"); !face.empty())
            next.family = intern(face);
        if (std::optional<float> size = parse_size(markup_attribute(tag, "size")))
            next.size = *size;
        if (std::string_view value = markup_attribute(tag, "color"); !value.empty())
            next.text_color = parse_color(value);
    }

    void apply_link(std::string_view tag, style_entry& next)
    {
        const std::string_view target = markup_attribute(tag, "href");
        if (target.empty())
            return;
        next.text_color = link_color;
        next.underline = true;
        next.link = intern(target);
    }

    std::size_t intern(std::string_view value)
    {
        m_strings.emplace_back(value);
        return m_strings.size() - 1;
    }

    // The link target is left out of the comparison: adjacent links of one look share a run.
    bool looks_like(const text_run& run, const style_entry& style) const
    {
        return run.weight_kind == style.weight_kind && run.style_kind == style.style_kind &&
               run.underline == style.underline && run.size == style.size &&
               run.text_color == style.text_color && run.family == m_strings[style.family];
    }

    void close_run(const style_entry& style)
    {
        if (!m_result.runs.empty() && looks_like(m_result.runs.back(), style))
            m_result.runs.back().end = run_index(m_units);
        else
            m_result.runs.push_back(make_run(style, m_run_end, m_units));
        m_run_end = m_units;
    }

    text_run make_run(const style_entry& style, std::size_t first, std::size_t end) const
    {
        return {style.weight_kind,       style.style_kind, style.underline,
                m_strings[style.family], style.size,       run_index(first),
                run_index(end),          style.text_color, m_strings[style.link]};
    }

    parsed_markup m_result;
    std::vector<std::string> m_strings;
    std::vector<style_entry> m_stack;
    std::size_t m_units = 0;
    std::size_t m_run_end = 0;
    bool m_bullet_pending = false;
};

} // namespace

std::string_view markup_attribute(std::string_view tag, std::string_view name)
{
    if (name.empty())
        return {};
    std::size_t at = tag.find(name);
    if (at == std::string_view::npos)
        return {};
    at = tag.find_first_not_of(white_space, at + name.size());
    if (at == std::string_view::npos || tag[at] != '=')
        return {};
    at = tag.find_first_not_of(white_space, at + 1);
    if (at == std::string_view::npos || tag[at] != '"')
        return {};
    const std::size_t close = tag.find('"', at + 1);
    if (close == std::string_view::npos)
        return {};
    return tag.substr(at + 1, close - at - 1);
}

parsed_markup parse_markup(std::string_view markup, std::string_view base_family, float base_size)
{
    markup_builder builder(base_family, base_size);
    // Content before the first ">" belongs to no element and is never shown.
    std::size_t content_start = std::string_view::npos;
    std::size_t tag_start = 0;
    bool in_tag = false;
    std::string_view pending;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] == '<') {
            pending = content_start == std::string_view::npos
                          ? std::string_view()
                          : markup.substr(content_start, i - content_start);
            if (only_white(pending))
                pending = {};
            tag_start = i + 1;
            in_tag = true;
        } else if (markup[i] == '>' && in_tag) {
            builder.add(markup.substr(tag_start, i - tag_start), pending);
            content_start = i + 1;
            in_tag = false;
        }
    }
    return builder.finish();
}

} // namespace zksdk::ui
