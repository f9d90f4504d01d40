// The system libraries the toolkit loads itself instead of importing them: Direct2D,
// DirectWrite and the session notifications, each from System32 and only there.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>

namespace zksdk::ui::win32 {

// None of these libraries is a known system DLL. Imported, each would be looked for beside the
// program first, before the entry point could narrow the search, and a copy planted there would
// run inside the elevated installer. So each is loaded from System32 when first needed and its
// entry points are looked up once per process; a missing library or entry point reads as null,
// and the caller fails as it does when the function itself fails.

using d2d_factory_function = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID,
                                              const D2D1_FACTORY_OPTIONS*, void**);
using write_factory_function = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

// D2D1CreateFactory of "d2d1.dll" and DWriteCreateFactory of "dwrite.dll", loaded together:
// every renderer needs both.
struct graphics_functions {
    d2d_factory_function create_d2d_factory = nullptr;
    write_factory_function create_write_factory = nullptr;
};
const graphics_functions& graphics_api();

// The session-change registration pair of "wtsapi32.dll"; both null unless both are there, so
// a window is never registered without a way to unregister it.
struct session_functions {
    BOOL(WINAPI* register_notification)(HWND, DWORD) = nullptr;
    BOOL(WINAPI* unregister_notification)(HWND) = nullptr;
};
const session_functions& session_api();

// LoadLibraryExW restricted to System32, whatever the process's default search.
HMODULE system_library(const wchar_t* name);

template <typename Function> void look_up(HMODULE module, const char* name, Function& function)
{
    // The function types are what the system declares; only their presence is uncertain.
    function =
        module != nullptr
            ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
            : nullptr;
}

} // namespace zksdk::ui::win32
