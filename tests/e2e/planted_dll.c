// A stand-in for a system library that someone dropped beside a program: once loaded it leaves
// NAME.loaded beside itself, where a real one would do anything with the program's rights.
#include <windows.h>
#include <wchar.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE;
    }
    wchar_t* extension = wcsrchr(path, L'.');
    wcscpy(extension != NULL ? extension : path + length, L".loaded");
    const HANDLE marker =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE) {
        CloseHandle(marker);
    }
    return TRUE;
}
