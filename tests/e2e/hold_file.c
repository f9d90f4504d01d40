/* hold-file.exe FILE MARKER [reads|image]: keeps FILE open without sharing, as a running host
   keeps its loaded plug-in, until MARKER is deleted; with "reads", sharing reads only (others may
   read it, but not rename or delete it); with "image", mapped as a module the way After Effects
   loads a plug-in (LoadLibraryExW with DONT_RESOLVE_DLL_REFERENCES, so none of its code runs):
   no handle stays open, and Windows refuses writes and deletion but allows a rename. It creates
   MARKER itself once FILE is held, so the test knows when the installer will meet the lock.
   Exit codes: 0 released, 1 usage, 2 FILE not opened, 3 MARKER not created. */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static const int usage_error = 1;
static const int file_not_opened = 2;
static const int marker_not_created = 3;

int wmain(int argc, wchar_t** argv)
{
    const int sharing_reads = argc == 4 && wcscmp(argv[3], L"reads") == 0;
    const int image = argc == 4 && wcscmp(argv[3], L"image") == 0;
    if (argc != 3 && !sharing_reads && !image) {
        fputs("usage: hold-file FILE MARKER [reads|image]\n", stderr);
        return usage_error;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    HMODULE loaded = NULL;
    if (image) {
        loaded = LoadLibraryExW(argv[1], NULL, DONT_RESOLVE_DLL_REFERENCES);
    } else {
        /* Share mode 0: every other open of FILE fails with a sharing violation while we hold
           it. */
        held =
            CreateFileW(argv[1], sharing_reads ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                        sharing_reads ? FILE_SHARE_READ : 0, NULL,
                        sharing_reads ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    }
    if (image ? loaded == NULL : held == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold-file: cannot open the file (error %lu)\n", GetLastError());
        return file_not_opened;
    }
    HANDLE marker = CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker == INVALID_HANDLE_VALUE) {
        if (loaded)
            FreeLibrary(loaded);
        else
            CloseHandle(held);
        return marker_not_created;
    }
    CloseHandle(marker);
    /* Polling keeps the helper free of any other process to talk to: the test just deletes the
       marker, from Linux or Windows alike. */
    while (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) {
        Sleep(100);
    }
    if (loaded)
        FreeLibrary(loaded);
    else
        CloseHandle(held);
    return 0;
}
