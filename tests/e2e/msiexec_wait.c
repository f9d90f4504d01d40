/* msiexec-wait.exe ARGUMENTS...: runs msiexec.exe with the same arguments, waits for it and
   prints "msiexec exit code N" with the whole code. Wine hands a program's exit code to Linux
   as one byte, so 1603 would arrive as 67 and 1638 as 102; the printed line keeps it intact.
   Exits with msiexec's code as well, or 1 when msiexec could not be started. A run that has not
   ended after two minutes is ended, with "msiexec timed out" and ERROR_TIMEOUT, so a hung
   install fails its check instead of holding the whole suite until ctest gives up. */
#include <windows.h>

#include <stdio.h>

static const int not_started = 1;
static const DWORD time_limit_ms = 2 * 60 * 1000;

/* The command line after our own name, as typed: msiexec parses its options itself. */
static const wchar_t* arguments_after_program(const wchar_t* line)
{
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        if (*line)
            ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

int wmain(int argc, wchar_t** argv)
{
    (void)argc; /* the raw command line keeps msiexec's own quoting */
    (void)argv;
    static wchar_t command[32768];
    _snwprintf(command, sizeof command / sizeof *command - 1, L"msiexec.exe %ls",
               arguments_after_program(GetCommandLineW()));
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "msiexec-wait: cannot start msiexec (error %lu)\n", GetLastError());
        return not_started;
    }
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, time_limit_ms) == WAIT_TIMEOUT) {
        printf("msiexec timed out after %lu seconds\n", time_limit_ms / 1000);
        TerminateProcess(process.hProcess, ERROR_TIMEOUT);
        WaitForSingleObject(process.hProcess, 10000);
        code = ERROR_TIMEOUT;
    } else {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("msiexec exit code %lu\n", code);
    return (int)code;
}
