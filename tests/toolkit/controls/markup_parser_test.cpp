// The markup parser: text and runs for the documented markup, and safety on broken input.
#include "toolkit/controls/markup_parser.h"
#include "toolkit/core/text_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>

namespace zksdk::ui {
namespace {

// first, end, weight kind, style kind, underline, link
using run_shape = std::tuple<int32_t, int32_t, int32_t, int32_t, bool, std::string>;

std::vector<run_shape> shapes(const parsed_markup& parsed)
{
    std::vector<run_shape> result;
    for (const text_run& run : parsed.runs)
        result.emplace_back(run.first, run.end, run.weight_kind, run.style_kind, run.underline,
                            run.link);
    return result;
}

parsed_markup parse(std::string_view markup)
{
    return parse_markup(markup, "Tahoma", 11.0f);
}

// Runs follow each other from 0 to the end of the text's UTF-16 form.
void expect_covering_runs(const parsed_markup& parsed)
{
    ASSERT_FALSE(parsed.runs.empty());
    int32_t next = 0;
    for (const text_run& run : parsed.runs) {
        EXPECT_EQ(next, run.first);
        EXPECT_LE(run.first, run.end);
        next = run.end;
    }
    EXPECT_EQ(utf8_to_utf16(parsed.text).size(), std::size_t(next));
}

TEST(MarkupParser, DocumentedMarkupGivesItsTextAndRuns)
{
    struct example {
        std::string markup;
        std::string text;
        std::vector<run_shape> runs;
    };
    const std::vector<example> examples = {
        {"<html><body><p>A<b>B</b></p></body></html>",
         "\nAB\n",
         {{0, 2, 0, 0, false, ""},
          {2, 3, 2, 0, false, ""},
          {3, 4, 0, 0, false, ""},
          {4, 4, 0, 0, false, ""}}},
        {"<p>a<br>b<br/>c<BR>d</p>",
         "\na\nbcd\n",
         {{0, 7, 0, 0, false, ""}, {7, 7, 0, 0, false, ""}}},
        {"<ul><li>x</li><li>y</li></ul>",
         "\n* x\n* y\n",
         {{0, 9, 0, 0, false, ""}, {9, 9, 0, 0, false, ""}}},
        {"<p><a href=\"one\">A</a><a href=\"two\">B</a></p>",
         "\nAB\n",
         {{0, 1, 0, 0, false, ""},
          {1, 3, 0, 0, true, "one"},
          {3, 4, 0, 0, false, ""},
          {4, 4, 0, 0, false, ""}}},
        {"<p>a\r\nb</p>  \r\n <i>c</i><u>d</u>",
         "\nab\ncd",
         {{0, 4, 0, 0, false, ""},
          {4, 5, 0, 1, false, ""},
          {5, 6, 0, 0, true, ""},
          {6, 6, 0, 0, false, ""}}},
        // Closing tags pop whatever is on top; they are not matched against their opening tag.
        {"<b><i>x</b>y</i>z",
         "xy",
         {{0, 1, 2, 1, false, ""}, {1, 2, 2, 0, false, ""}, {2, 2, 0, 0, false, ""}}},
        // Before the first tag and after the last nothing shows; entities stay literal.
        {"lead<p>a &amp; b > c</p>tail",
         "\na &amp; b > c\n",
         {{0, 15, 0, 0, false, ""}, {15, 15, 0, 0, false, ""}}},
        {"<p>a < b</p>", "\na < b\n", {{0, 7, 0, 0, false, ""}, {7, 7, 0, 0, false, ""}}},
        {"<p class=\"x\">a</p><a>b</a><a href=\"\">c</a>",
         "a\nbc",
         {{0, 4, 0, 0, false, ""}, {4, 4, 0, 0, false, ""}}},
        // A closing item adds a line feed only where the text does not already end with one.
        {"<li></li><li> </li>", "\n", {{0, 1, 0, 0, false, ""}, {1, 1, 0, 0, false, ""}}},
    };
    for (const example& each : examples) {
        SCOPED_TRACE(each.markup);
        const parsed_markup parsed = parse(each.markup);
        EXPECT_EQ(each.text, parsed.text);
        EXPECT_EQ(each.runs, shapes(parsed));
        expect_covering_runs(parsed);
    }
}

TEST(MarkupParser, FontAttributesSetFaceSizeAndColourAndBadValuesChangeNothing)
{
    const parsed_markup parsed = parse("<font face=\"Arial\" size=\"3\" color=\"#FF8000\">x</font>"
                                       "<font size=\"big\" color=\"#zz\">y</font>"
                                       "<font size=\"-1\" color=\"#\" face=\"\">z</font>"
                                       "<font size=\"1e30\" face=Arial>w</font>");
    ASSERT_EQ(4u, parsed.runs.size());
    EXPECT_EQ("Arial", parsed.runs[0].family);
    EXPECT_FLOAT_EQ(12.0f, parsed.runs[0].size);
    EXPECT_EQ((color{255 * 0.003921569f, 128 * 0.003921569f, 0, 1}), parsed.runs[0].text_color);
    for (std::size_t i = 1; i < parsed.runs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ("Tahoma", parsed.runs[i].family);
        EXPECT_FLOAT_EQ(11.0f, parsed.runs[i].size);
    }
    // Unreadable colours are black, so "y" and "z" share one run; no colour at all inherits.
    EXPECT_EQ(3, parsed.runs[1].end);
    EXPECT_EQ((color{0, 0, 0, 1}), parsed.runs[1].text_color);
    EXPECT_EQ((color{}), parsed.runs[2].text_color);
}

// The parser reads sizes itself; it must read them exactly as std::from_chars does.
TEST(MarkupParser, FontSizesReadAsTheLibraryReadsFloats)
{
    const char* const values[] = {"3",
                                  "2.5",
                                  "0.5",
                                  ".5",
                                  "5.",
                                  "12px",
                                  "007",
                                  "1e1",
                                  "1E+1",
                                  "25e-1",
                                  "1e",
                                  "1e+",
                                  "2e-",
                                  "-",
                                  ".",
                                  "-0",
                                  "0",
                                  "+3",
                                  " 3",
                                  "inf",
                                  "nan",
                                  "1e30",
                                  "1e-50",
                                  "0x10",
                                  "256",
                                  "256.01",
                                  "-2",
                                  "1.5.5",
                                  "0.00000000000000000000000000000000001e36",
                                  "3.14159265358979323846264338327950288",
                                  "123456789012345678901234e-22",
                                  "0.1e1",
                                  "1e400",
                                  "1e-400",
                                  "99.99999999",
                                  ""};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        float number = 0;
        const char* end = value + std::strlen(value);
        std::optional<float> expected;
        if (std::from_chars(value, end, number).ec == std::errc() && std::isfinite(number * 4) &&
            number * 4 > 0 && number * 4 <= 1024)
            expected = number * 4;
        const parsed_markup parsed = parse("<font size=\"" + std::string(value) + "\">w</font>");
        const auto w = std::find_if(parsed.runs.begin(), parsed.runs.end(),
                                    [](const text_run& run) { return run.end > run.first; });
        ASSERT_NE(parsed.runs.end(), w);
        EXPECT_EQ(expected.value_or(11.0f), w->size);
    }
}

TEST(MarkupParser, AttributesNeedNameEqualsAndBothQuotes)
{
    EXPECT_EQ("#fff", markup_attribute("font color = \"#fff\"", "color"));
    EXPECT_EQ("", markup_attribute("font color \"#fff\"", "color"));
    EXPECT_EQ("", markup_attribute("font color=\"#fff", "color"));
    EXPECT_EQ("", markup_attribute("font color=#fff", "color"));
    EXPECT_EQ("", markup_attribute("font color=", "color"));
    EXPECT_EQ("", markup_attribute("font", "color"));
    EXPECT_EQ("x", markup_attribute("a data-href=\"x\" href=\"y\"", "href")); // first occurrence
}

TEST(MarkupParser, SurplusClosingTagsKeepTheBaseStyle)
{
    const parsed_markup parsed = parse("</b></b></p>A</i></font></a><b>B</b></ul></li>");
    EXPECT_EQ("\nAB\n", parsed.text);
    ASSERT_FALSE(parsed.runs.empty());
    for (const text_run& run : {parsed.runs.front(), parsed.runs.back()}) {
        EXPECT_EQ("Tahoma", run.family);
        EXPECT_FLOAT_EQ(11.0f, run.size);
        EXPECT_EQ(0, run.weight_kind);
    }
    expect_covering_runs(parsed);
}

TEST(MarkupParser, RunsCountUtf16UnitsAndIllFormedBytesBecomeReplacements)
{
    const parsed_markup parsed = parse("<p>\xC3\xA9\xF0\x9F\x98\x80<b>\xFF\xC3</b></p>");
    EXPECT_EQ("\n\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD\n", parsed.text);
    EXPECT_EQ((std::vector<run_shape>{{0, 4, 0, 0, false, ""},
                                      {4, 6, 2, 0, false, ""},
                                      {6, 7, 0, 0, false, ""},
                                      {7, 7, 0, 0, false, ""}}),
              shapes(parsed));
}

TEST(MarkupParser, GarbageAndDeepNestingParseIntoCoveringRuns)
{
    const std::vector<std::string> pieces = {"<",
                                             ">",
                                             "</",
                                             "b",
                                             "p",
                                             "li",
                                             "ul",
                                             "br",
                                             "a href=\"x\"",
                                             "font size=\"2\" color=\"#123\"",
                                             "\"",
                                             "=",
                                             " ",
                                             "\r\n",
                                             "text",
                                             "\xE2\x82",
                                             "\xAC",
                                             "/",
                                             "i",
                                             "u"};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string markup;
        for (int i = 0; i < 40; ++i)
            markup += pieces[random() % pieces.size()];
        SCOPED_TRACE(markup);
        expect_covering_runs(parse(markup));
    }
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a href=\"https://example.com/a-long-target\"><b>x";
    for (int i = 0; i < 300000; ++i)
        deep += "</b>";
    const parsed_markup parsed = parse(deep);
    EXPECT_EQ(100000u, parsed.text.size());
    expect_covering_runs(parsed);
}

} // namespace
} // namespace zksdk::ui
