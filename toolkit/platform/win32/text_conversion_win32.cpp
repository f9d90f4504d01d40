// The Windows build converts with the system converter (code page UTF-8, flags 0).
#include "toolkit/core/text_conversion.h"

#include <windows.h>
#include <climits>

namespace zksdk::ui {

std::u16string utf8_to_utf16(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (needed <= 0)
        return {};
    std::u16string out(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        needed);
    return out;
}

// Only the given code units are converted: a view need not be followed by a terminator.
std::string utf16_to_utf8(std::u16string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const auto* units = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, units, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units, length, out.data(), needed, nullptr, nullptr);
    return out;
}

} // namespace zksdk::ui
