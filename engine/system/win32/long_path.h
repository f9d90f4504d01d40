// The path form the Win32 file calls of the seam take, shared by its sources.
#pragma once

#include <string>

namespace nimbic::sys::detail {

// Past the classic limits (MAX_PATH, and 248 for a folder to create) the "\\?\" form lifts them
// on every Windows, whatever the manifest says; shorter paths stay as they are.
std::wstring file_path(const std::u16string& path);

} // namespace nimbic::sys::detail
