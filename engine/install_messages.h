// What a failed component's status code means to the person installing.
#pragma once

#include <cstdint>
#include <string>

namespace nimbic {

// "Could not create the plugin file (Error code: 40)." and the hints below it, one per line
// starting " - "; unknown codes get the generic line.
std::string InstallErrorText(int32_t code);

} // namespace nimbic
