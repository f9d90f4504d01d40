// The same table runs on the host's converter and on the Windows system converter under Wine,
// so both builds must give the same strings.
#include "toolkit/core/text_conversion.h"

#include <gtest/gtest.h>

using zksdk::ui::utf16_to_utf8;
using zksdk::ui::utf8_to_utf16;

namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

const std::vector<Utf8Case>& Utf8Cases()
{
    static const std::vector<Utf8Case> cases = {
        {"empty", "", u""},
        {"ascii", "abc", u"abc"},
        {"two byte", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
        {"three byte", "\xE2\x82\xAC", u"\u20AC"},
        {"four byte becomes a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"embedded nul is kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"byte that never starts a sequence", "\xFF", u"\uFFFD"},
        {"truncated sequence at the end", "ab\xE2\x82", u"ab\uFFFD"},
        {"truncated sequence before ascii", "\xE2\x82z", u"\uFFFDz"},
        {"overlong two byte form", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"overlong three byte form", "\xE0\x80\xAF", u"\uFFFD\uFFFD"},
        {"overlong four byte form", "\xF0\x8F\xBF\xBFz", u"\uFFFD\uFFFD\uFFFDz"},
        {"lead byte then ascii", "\xC3(", u"\uFFFD("},
        {"four byte cut after three", "\xF0\x9F\x98z", u"\uFFFDz"},
    };
    return cases;
}

TEST(TextConversion, Utf8ToUtf16ConvertsExactlyTheGivenBytes)
{
    for (const Utf8Case& test : Utf8Cases()) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(test.utf16, utf8_to_utf16(test.utf8));
    }
    // Only the view's bytes count: what follows it in memory is not read.
    const std::string longer = "abcdef";
    EXPECT_EQ(u"abc", utf8_to_utf16(std::string_view(longer).substr(0, 3)));
}

TEST(TextConversion, Utf16ToUtf8ConvertsExactlyTheGivenUnits)
{
    for (const Utf8Case& test : Utf8Cases()) {
        if (test.utf16.find(u'\uFFFD') != std::u16string::npos)
            continue;
        SCOPED_TRACE(test.name);
        EXPECT_EQ(test.utf8, utf16_to_utf8(test.utf16));
    }
    // A view into a longer text with no terminator after it converts only its own units.
    const std::u16string text = u"abcdef";
    EXPECT_EQ("abc", utf16_to_utf8(std::u16string_view(text).substr(0, 3)));
    const char16_t unterminated[2] = {u'h', u'i'};
    EXPECT_EQ("hi", utf16_to_utf8(std::u16string_view(unterminated, 2)));
}

TEST(TextConversion, LoneSurrogatesBecomeReplacementCharacters)
{
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              utf16_to_utf8(std::u16string(u"a") + char16_t(0xD800) + u"b"));
    EXPECT_EQ("\xEF\xBF\xBD", utf16_to_utf8(std::u16string(1, char16_t(0xDC00))));
    EXPECT_EQ("\xEF\xBF\xBD", utf16_to_utf8(std::u16string(1, char16_t(0xD83D))));
}

TEST(TextConversion, RoundTripsEveryPlane)
{
    std::u16string all;
    for (char32_t c = 1; c < 0x110000; c += 0x101) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c < 0x10000) {
            all.push_back(static_cast<char16_t>(c));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    EXPECT_EQ(all, utf8_to_utf16(utf16_to_utf8(all)));
}

} // namespace
