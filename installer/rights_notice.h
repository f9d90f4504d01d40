// The rights notice: the wizard's header shows it, NimbicSetup.exe's version information carries
// it.
#pragma once

#include <cstdint>
#include <string>

namespace nimbic {

// "© <first year>–<year> Vantrel. All rights reserved.", or only the first year while that is
// the year given.
std::string RightsNotice(int32_t year);

} // namespace nimbic
