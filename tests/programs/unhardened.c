// A program linked as ours must never be: it imports version.dll, which is no known DLL, never
// narrows its DLL search, asks for neither address randomisation nor non-executable data, and
// has no relocations. pe_check.py must name each fault, or it could pass a faulty program too.
#include <windows.h>

int main(void)
{
    DWORD ignored = 0;
    return GetFileVersionInfoSizeW(L"kernel32.dll", &ignored) != 0 ? 0 : 1;
}
