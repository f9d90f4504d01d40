// Conversions between UTF-8 (inside the toolkit and installer) and UTF-16 (system calls, paths).
#pragma once

#include <string>
#include <string_view>

namespace zksdk::ui {

// Converts exactly the given bytes; invalid sequences become U+FFFD. Never fails outwardly.
std::u16string utf8_to_utf16(std::string_view text);

// Converts exactly the given code units (a NUL inside is kept); a lone surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

} // namespace zksdk::ui
