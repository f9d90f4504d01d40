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
// The same path to Windows, whose file names ignore case (ASCII letters are compared without it;
// other letters as they stand, the rare difference then counting as another path).
bool same_path(std::u16string_view a, std::u16string_view b);
// True when `path` lies inside `folder` (at any depth), compared as same_path does.
bool is_inside(std::u16string_view path, std::u16string_view folder);

} // namespace nimbic
