// Narrows the DLL search of a Windows program of ours to System32, and turns on redirection
// trust.
#include "engine/system/win32/dll_search.h"

#include <windows.h>

namespace nimbic::sys {

namespace {

// Looked up: older Windows has no such function, and older ones that have it refuse the policy,
// which is then simply not in force.
void EnforceRedirectionTrust()
{
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const auto set_policy = reinterpret_cast<SetPolicy>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy")));
    if (!set_policy)
        return;
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    set_policy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

} // namespace

void restrict_dll_search_to_system32()
{
    // The result is not looked at. The call fails only on flags the system does not know, and
    // every system that has the function (Windows 8 on, the program's Windows 10 included)
    // knows this one. Were it to fail anyway, our own loads still name System32 and our
    // imports are all known DLLs, so only loads that system libraries make for us would still
    // look beside the program; refusing to run would trade that for no program at all, before
    // there is a window in which to say why.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    EnforceRedirectionTrust();
}

} // namespace nimbic::sys
