// The seam's own types as the Win32 calls take them, shared by its Windows sources.
#pragma once

#include "engine/system/system.h"

#include <windows.h>

#include <string>

namespace nimbic::sys {

inline const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline HKEY as_hkey(reg_key key)
{
    return reinterpret_cast<HKEY>(key);
}

} // namespace nimbic::sys
