// libFuzzer target: any bytes given to the script package reader, on the in-memory machine,
// must extract without a fault, write nothing outside the destination and leave no handle open.
#include "engine/script_package.h"
#include "engine/system/memory/memory_system.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const std::u16string destination = u"C:\\Host\\Scripts";

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::u16string lowered(std::u16string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char16_t c) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    });
    return text;
}

bool starts_with(const std::u16string& text, const std::u16string& prefix)
{
    return lowered(text).rfind(lowered(prefix), 0) == 0;
}

// The destination, what lies below it, the folders it was made in, and what the machine had.
bool is_allowed(const std::u16string& path)
{
    return starts_with(path, destination + u"\\") ||
           starts_with(destination + u"\\", path + u"\\") || path == u"C:\\ProgramData" ||
           path == u"C:\\Work";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace nimbic;
    memsys::reset();
    const int32_t status = ExtractScriptPackage(data, size, destination);
    require(status == package_status::ok || status == package_status::bad_magic ||
            status == package_status::file_record_past_end ||
            status == package_status::file_not_opened || status == package_status::inflate_failed ||
            status == package_status::stream_cut_short ||
            status == package_status::folder_record_past_end ||
            status == package_status::folder_not_created);
    for (const memsys::entry& entry : memsys::entries())
        require(is_allowed(entry.path));
    require(memsys::open_handles() == 0);
    return 0;
}
