// The command line of a custom action, as the MSI hands it over in CustomActionData.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nimbic::deploy {

// The arguments of a custom action's data: separated by spaces, a double-quoted stretch kept
// whole. No escapes: no Windows path holds a quote, and a folder property ends with "\", which
// the program command-line rules would read as an escaped quote.
std::vector<std::u16string> ActionArguments(std::u16string_view data);

} // namespace nimbic::deploy
