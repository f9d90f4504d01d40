// The first call of every Windows program of ours: later loads by name search System32 only,
// and links made by users are not followed where Windows can refuse them.
#pragma once

namespace nimbic::sys {

// Windows looks for a library that is not a known system DLL in the program's own folder
// first, and a setup program runs elevated from a Downloads folder that anyone's download can
// drop a DLL into. After this call every later load by name, ours and those system libraries
// make on our behalf, searches System32 only. Call it first in the entry point, before any
// window or COM call; it cannot help with the program's own imports, which are resolved
// before the entry point runs, so those stay within the known DLLs.
//
// It also turns on redirection trust where Windows has it (Windows 10 21H2 and later): the
// process then follows no junction a user without administrator rights made, wherever it opens
// a path, so an elevated run cannot be steered by one.
void restrict_dll_search_to_system32();

} // namespace nimbic::sys
