// The embedded licence agreement: complete, and shown by the label as clean text in Arial.
#include "installer/license/license_document.h"
#include "toolkit/controls/markup_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace nimbic {
namespace {

std::string_view Document()
{
    return {reinterpret_cast<const char*>(license_agreement.data()), license_agreement.size()};
}

TEST(LicenseDocument, EmbedsTheWholeAgreementAsAscii)
{
    EXPECT_EQ(25759u, license_agreement.size());
    // The label's runs count UTF-8 bytes while the renderer counts UTF-16 units; they only agree
    // on ASCII.
    EXPECT_TRUE(std::all_of(license_agreement.begin(), license_agreement.end(),
                            [](unsigned char byte) { return byte < 0x80; }));
    EXPECT_TRUE(Document().starts_with("<html>"));
}

TEST(LicenseDocument, ParsesToPlainTextUnderABoldHeadingWithTheBodyInArial)
{
    // A base font unlike the document's, so every Arial run must come from the markup itself.
    const zksdk::ui::parsed_markup parsed = zksdk::ui::parse_markup(Document(), "Segoe UI", 9.0f);

    // What "Copy" puts on the clipboard: any tag or character reference left over is visible.
    ASSERT_FALSE(parsed.text.empty());
    EXPECT_EQ(std::string::npos, parsed.text.find_first_of("<>&"));

    // The Welcome page's link names the agreement by this title.
    const std::string_view title = "Vantrel Software License Agreement";
    EXPECT_TRUE(parsed.text.starts_with(title));
    EXPECT_NE(std::string::npos, parsed.text.find("Nimbic Plug-in"));
    EXPECT_NE(std::string::npos, parsed.text.find("1.0.5"));

    ASSERT_GE(parsed.runs.size(), 3u);
    const zksdk::ui::text_run& heading = parsed.runs.front();
    EXPECT_EQ(0, heading.first);
    EXPECT_EQ(static_cast<int32_t>(title.size()), heading.end);
    EXPECT_EQ(2, heading.weight_kind);
    EXPECT_EQ(20.0f, heading.size);
    EXPECT_EQ("Arial", heading.family);

    bool bold_section_heading = false;
    for (auto run = parsed.runs.begin() + 1; run != parsed.runs.end(); ++run) {
        if (run->first == run->end)
            continue; // the closing tags leave an empty run in the base style
        SCOPED_TRACE(parsed.text.substr(run->first, 60));
        EXPECT_EQ("Arial", run->family);
        EXPECT_EQ(12.0f, run->size);
        bold_section_heading |= run->weight_kind == 2;
    }
    EXPECT_TRUE(bold_section_heading);
}

} // namespace
} // namespace nimbic
