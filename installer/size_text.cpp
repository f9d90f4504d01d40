// Size texts for the space line, the progress line and the disk space popup.
#include "installer/size_text.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace nimbic {

namespace {

constexpr double bytes_per_megabyte = 1048576.0;

// Below this a size shows in kilobytes: in megabytes it would round to 0.0.
constexpr uint64_t kilobyte_limit = 104858; // 0.1 MB, rounded up

struct Parts {
    std::string number;
    std::string unit;
};

Parts Split(uint64_t bytes)
{
    if (bytes >= kilobyte_limit)
        return {
            FormatMegabytes(static_cast<float>(static_cast<double>(bytes) / bytes_per_megabyte)),
            "MB"};
    // A file of a few bytes still takes room: it never shows as nothing.
    const uint64_t kilobytes = bytes == 0 ? 0 : std::max<uint64_t>(1, (bytes + 512) / 1024);
    return {std::to_string(kilobytes), "KB"};
}

} // namespace

// One digit after the point, rounded as "%.1f" rounds (to nearest, ties to even, on the exact
// value). Written out because printf's float formatting is about 17 KB of the setup program.
std::string FormatMegabytes(float megabytes)
{
    assert(std::isfinite(megabytes) && std::fabs(megabytes) < 1e15f && "megabytes out of range");
    // A float times ten is exact in a double, so nearbyint rounds the very value printf would.
    const double tenths = std::nearbyint(std::fabs(static_cast<double>(megabytes)) * 10.0);
    const auto whole = static_cast<unsigned long long>(tenths);
    const std::string sign = std::signbit(megabytes) ? "-" : "";
    return sign + std::to_string(whole / 10) + "." + std::to_string(whole % 10);
}

std::string SizeText(uint64_t bytes)
{
    const Parts parts = Split(bytes);
    return parts.number + " " + parts.unit;
}

std::string CompactSizeText(uint64_t bytes)
{
    const Parts parts = Split(bytes);
    return parts.number + parts.unit;
}

} // namespace nimbic
