// Two system services asked only now and then, each from its DLL in System32, loaded when first
// needed: the Restart Manager (who holds a file) and Windows Installer (is the MSI's product
// there). A machine without either simply gets no answer.
#include "engine/system/system.h"

#include <windows.h>
#include <restartmanager.h>

#include <algorithm>
#include <string>
#include <vector>

namespace nimbic::sys {

namespace {

// Never freed: the process uses it again and ends soon after.
HMODULE SystemLibrary(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

template <typename Call> Call Function(HMODULE library, const char* name)
{
    return library ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(library, name)))
                   : nullptr;
}

struct RestartManager {
    using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using Register = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                    LPCWSTR*);
    using List = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
    using End = DWORD(WINAPI*)(DWORD);

    RestartManager()
    {
        const HMODULE library = SystemLibrary(L"rstrtmgr.dll");
        start = Function<Start>(library, "RmStartSession");
        register_resources = Function<Register>(library, "RmRegisterResources");
        list = Function<List>(library, "RmGetList");
        end = Function<End>(library, "RmEndSession");
    }
    bool ready() const { return start && register_resources && list && end; }

    Start start = nullptr;
    Register register_resources = nullptr;
    List list = nullptr;
    End end = nullptr;
};

// RmGetList says how many entries it needs; a program that opens the file meanwhile makes it
// ask again, so a few tries.
std::vector<RM_PROCESS_INFO> Holders(const RestartManager& rm, DWORD session)
{
    std::vector<RM_PROCESS_INFO> found;
    for (int attempt = 0; attempt < 4; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        const DWORD status =
            rm.list(session, &needed, &count, found.empty() ? nullptr : found.data(), &reasons);
        if (status == ERROR_SUCCESS) {
            found.resize(std::min<size_t>(count, found.size()));
            return found;
        }
        if (status != ERROR_MORE_DATA)
            break;
        found.resize(needed + 1);
    }
    return {};
}

} // namespace

std::vector<std::u16string> programs_using_files(const std::vector<std::u16string>& paths)
{
    static const RestartManager rm;
    std::vector<std::u16string> names;
    if (!rm.ready() || paths.empty())
        return names;
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (rm.start(&session, 0, key) != ERROR_SUCCESS)
        return names;
    std::vector<LPCWSTR> files;
    for (const std::u16string& path : paths)
        files.push_back(reinterpret_cast<LPCWSTR>(path.c_str()));
    if (rm.register_resources(session, static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0,
                              nullptr) == ERROR_SUCCESS) {
        for (const RM_PROCESS_INFO& holder : Holders(rm, session)) {
            const std::u16string name(reinterpret_cast<const char16_t*>(holder.strAppName),
                                      wcsnlen(holder.strAppName, CCH_RM_MAX_APP_NAME));
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    rm.end(session);
    return names;
}

bool related_product_installed(const std::u16string& upgrade_code, std::u16string* product_code)
{
    using Enumerate = UINT(WINAPI*)(LPCWSTR, DWORD, DWORD, LPWSTR);
    static const auto enumerate =
        Function<Enumerate>(SystemLibrary(L"msi.dll"), "MsiEnumRelatedProductsW");
    if (!enumerate)
        return false;
    WCHAR product[39] = {};
    if (enumerate(reinterpret_cast<LPCWSTR>(upgrade_code.c_str()), 0, 0, product) != ERROR_SUCCESS)
        return false;
    product_code->assign(reinterpret_cast<const char16_t*>(product), wcsnlen(product, 38));
    return true;
}

bool product_install_location(const std::u16string& product_code, std::u16string* folder)
{
    using Info = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);
    static const auto info = Function<Info>(SystemLibrary(L"msi.dll"), "MsiGetProductInfoW");
    if (!info)
        return false;
    const auto code = reinterpret_cast<LPCWSTR>(product_code.c_str());
    DWORD length = 0;
    WCHAR none[1] = {};
    if (info(code, L"InstallLocation", none, &length) != ERROR_MORE_DATA &&
        (length == 0 || none[0] == 0))
        return false;
    std::wstring text(length + 1, L'\0');
    length = static_cast<DWORD>(text.size());
    if (info(code, L"InstallLocation", text.data(), &length) != ERROR_SUCCESS || length == 0)
        return false;
    text.resize(length);
    while (text.size() > 3 && text.back() == L'\\')
        text.pop_back();
    folder->assign(text.begin(), text.end());
    return true;
}

} // namespace nimbic::sys
