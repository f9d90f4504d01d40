// What a failed component's status code means to the person installing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbic {

// "Could not create the plugin file (Error code: 40)." and the hints below it, one per line
// starting " - "; unknown codes get the generic line.
std::string InstallErrorText(int32_t code);

// "In use by: Adobe After Effects 2019" (several programs separated by ", "): who the Restart
// Manager says holds any of the files. Empty when it names nobody, as under Wine. The program
// is only named, never closed: it may hold unsaved work.
std::string InUseLine(const std::vector<std::u16string>& paths);

} // namespace nimbic
