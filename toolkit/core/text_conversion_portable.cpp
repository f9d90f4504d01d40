// The host build's converter. It follows the Windows converter's rules (flags 0): an ill-formed
// UTF-8 subsequence becomes one U+FFFD and a lone surrogate becomes U+FFFD, so both builds give
// the same strings. (Wine 8's converter also swallows any ASCII that follows a sequence cut
// short by the end of the input; Windows does not, and neither do we.)
#include "toolkit/core/text_conversion.h"

#include <cstdint>

namespace zksdk::ui {

namespace {

constexpr char32_t replacement_character = 0xFFFD;

struct lead_byte {
    int length;              // bytes in the whole sequence, 0 for a byte that cannot start one
    unsigned char second_lo; // allowed range of the second byte (rules out overlong forms,
    unsigned char second_hi; // surrogates and code points above U+10FFFF)
};

lead_byte classify(unsigned char byte)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        return {2, 0x80, 0xBF};
    if (byte == 0xE0)
        return {3, 0xA0, 0xBF};
    if (byte == 0xED)
        return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF)
        return {3, 0x80, 0xBF};
    if (byte == 0xF0)
        return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3)
        return {4, 0x80, 0xBF};
    if (byte == 0xF4)
        return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

void append_utf16(std::u16string& out, char32_t code_point)
{
    if (code_point < 0x10000) {
        out.push_back(static_cast<char16_t>(code_point));
        return;
    }
    code_point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
}

void append_utf8(std::string& out, char32_t code_point)
{
    if (code_point < 0x80) {
        out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

} // namespace

std::u16string utf8_to_utf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out.push_back(byte);
            ++i;
            continue;
        }
        const lead_byte lead = classify(byte);
        if (lead.length == 0) {
            out.push_back(replacement_character);
            ++i;
            continue;
        }
        char32_t code_point = byte & (0x7F >> lead.length);
        int taken = 1;
        while (taken < lead.length && i + taken < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + taken]);
            const unsigned char lo = taken == 1 ? lead.second_lo : 0x80;
            const unsigned char hi = taken == 1 ? lead.second_hi : 0xBF;
            if (next < lo || next > hi) {
                // The system converter takes a continuation byte that only fails the lead's
                // range check (overlong, surrogate, above U+10FFFF) into the same U+FFFD.
                if (taken == 1 && next >= 0x80 && next <= 0xBF)
                    ++taken;
                break;
            }
            code_point = (code_point << 6) | (next & 0x3F);
            ++taken;
        }
        append_utf16(out, taken == lead.length ? code_point : replacement_character);
        i += taken;
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = replacement_character;
        append_utf8(out, unit);
    }
    return out;
}

} // namespace zksdk::ui
