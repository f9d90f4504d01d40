// Helpers on UTF-16 paths whose separator is "\" (callers replace "/" first).
#pragma once

#include <string>
#include <string_view>

namespace nimbic {

// base + "\" + tail, without doubling the separator; an empty tail gives base, an empty base tail.
std::u16string path_join(std::u16string_view base, std::u16string_view tail);
// Drops one trailing "\", then everything from the last "\" on; empty when none remains.
std::u16string path_parent(std::u16string_view path);
// Drops one trailing "\", then keeps what follows the last "\".
std::u16string path_filename(std::u16string_view path);
// Makes the folder and every missing folder above it; true when it exists at the end.
bool create_directories(std::u16string_view path);
// Replaces every "/" by "\".
std::u16string to_backslashes(std::u16string path);

} // namespace nimbic
