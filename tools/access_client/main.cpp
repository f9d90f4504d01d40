// access-client: the command line, the window search and the watchdog that bounds every run.
#include "tools/access_client/access_client.h"

#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>

namespace access_client {

namespace {

ULONGLONG g_deadline = 0;

void write_utf8(FILE* stream, const std::wstring& text)
{
    std::string bytes;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

struct search {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter)
{
    auto& wanted = *reinterpret_cast<search*>(parameter);
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[512];
    const int length = GetWindowTextW(window, text, 512);
    if (std::wstring(text, static_cast<size_t>(length)) == *wanted.title) {
        wanted.found = window;
        return FALSE;
    }
    return TRUE;
}

// A provider that never answers must not hang a script: the whole run is bounded.
DWORD WINAPI watchdog(void*)
{
    Sleep(time_left());
    print_error(L"access-client: timed out");
    ExitProcess(timed_out);
}

int usage()
{
    print_error(L"usage: access-client [--timeout SECONDS] COMMAND TITLE [NAME]\n"
                L"  tree TITLE        the Active Accessibility tree of the window\n"
                L"  uia TITLE         the UI Automation tree (name, control type, automation id)\n"
                L"  press TITLE NAME  the default action of the element named NAME\n"
                L"  wait TITLE TEXT   waits until an element's name contains TEXT\n"
                L"exit codes: 0 done, 1 usage, 2 window or element not found, 3 timed out");
    return usage_error;
}

} // namespace

void print_line(const std::wstring& text)
{
    write_utf8(stdout, text);
}

void print_error(const std::wstring& text)
{
    write_utf8(stderr, text);
}

std::wstring one_line(const std::wstring& text)
{
    std::wstring result;
    bool space = false;
    for (const wchar_t c : text) {
        if (std::iswspace(c)) {
            space = !result.empty();
            continue;
        }
        if (space) {
            result += L' ';
            space = false;
        }
        result += c;
    }
    return result;
}

DWORD time_left()
{
    const ULONGLONG now = GetTickCount64();
    return now < g_deadline ? static_cast<DWORD>(g_deadline - now) : 0;
}

HWND find_window(const std::wstring& title)
{
    for (;;) {
        search wanted{&title, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&wanted));
        if (wanted.found != nullptr || time_left() == 0) {
            return wanted.found;
        }
        Sleep(100);
    }
}

} // namespace access_client

int wmain(int argc, wchar_t** argv)
{
    using namespace access_client;
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);

    int first = 1;
    double seconds = 30;
    if (argc > 2 && std::wcscmp(argv[1], L"--timeout") == 0) {
        seconds = std::wcstod(argv[2], nullptr);
        first = 3;
    }
    if (argc - first < 2 || seconds <= 0) {
        return usage();
    }
    const std::wstring command = argv[first];
    const std::wstring title = argv[first + 1];
    const bool named = command == L"press" || command == L"wait";
    if ((named && argc - first != 3) || (!named && argc - first != 2)) {
        return usage();
    }
    if (command != L"tree" && command != L"uia" && !named) {
        return usage();
    }
    g_deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    const HWND window = find_window(title);
    if (window == nullptr) {
        print_error(L"access-client: no window \"" + title + L"\"");
        return not_found;
    }
    if (command == L"tree") {
        return print_msaa_tree(window);
    }
    if (command == L"uia") {
        return print_uia_tree(window);
    }
    if (command == L"press") {
        return press(window, argv[first + 2]);
    }
    return wait_for_name(window, argv[first + 2]);
}
