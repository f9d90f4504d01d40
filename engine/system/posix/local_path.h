// A seam path as the host's file system takes it: UTF-8, with forward slashes.
#pragma once

#include "toolkit/core/text_conversion.h"

#include <string>

namespace nimbic::sys {

inline std::string local_path(const std::u16string& path)
{
    std::string local = zksdk::ui::utf16_to_utf8(path);
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    return local;
}

} // namespace nimbic::sys
