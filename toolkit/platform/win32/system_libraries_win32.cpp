// Direct2D, DirectWrite and the session notifications, loaded from System32 on first use.
#include "toolkit/platform/win32/system_libraries.h"

namespace zksdk::ui::win32 {

HMODULE system_library(const wchar_t* name)
{
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

const graphics_functions& graphics_api()
{
    static const graphics_functions functions = [] {
        graphics_functions found;
        // DirectWrite first: Direct2D loads it by name for its own text, and a loader that
        // resolves such a load through the program's folder (Wine's, for delayed imports) then
        // finds the copy already in the process instead of one planted there.
        look_up(system_library(L"dwrite.dll"), "DWriteCreateFactory", found.create_write_factory);
        look_up(system_library(L"d2d1.dll"), "D2D1CreateFactory", found.create_d2d_factory);
        return found;
    }();
    return functions;
}

const session_functions& session_api()
{
    static const session_functions functions = [] {
        session_functions found;
        const HMODULE library = system_library(L"wtsapi32.dll");
        look_up(library, "WTSRegisterSessionNotification", found.register_notification);
        look_up(library, "WTSUnRegisterSessionNotification", found.unregister_notification);
        if (found.register_notification == nullptr || found.unregister_notification == nullptr) {
            return session_functions{};
        }
        return found;
    }();
    return functions;
}

} // namespace zksdk::ui::win32
