// Sizes as the wizard writes them: megabytes with one digit after the point, or whole kilobytes
// for less than a tenth of a megabyte, so that no size that is there reads "0.0".
#pragma once

#include <cstdint>
#include <string>

namespace nimbic {

// Megabytes with one digit after the point ("1.7", "3.5"), rounded as "%.1f" rounds.
std::string FormatMegabytes(float megabytes);

// "1.7 MB", "12 KB"; 0 bytes is "0 KB".
std::string SizeText(uint64_t bytes);
// The same without the space, as the progress line writes it: "1.7MB", "12KB".
std::string CompactSizeText(uint64_t bytes);

} // namespace nimbic
