// access-client: the command line and the script of commands, the window search, and the watchdog
// that bounds every command.
#include "tools/access_client/access_client.h"

#include <windows.h>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <string>
#include <vector>

namespace access_client {

namespace {

// The running command's deadline; 0 while a script waits for its next command.
std::atomic<ULONGLONG> g_deadline{0};
// A command stuck inside a provider's call past its deadline by this much ends the program.
constexpr ULONGLONG grace_ms = 2000;

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

HWND visible_window(const std::wstring& title)
{
    search wanted{&title, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&wanted));
    return wanted.found;
}

// A provider that never answers must not hang a script: every command is bounded.
DWORD WINAPI watchdog(void*)
{
    for (;;) {
        Sleep(200);
        const ULONGLONG deadline = g_deadline.load();
        if (deadline != 0 && GetTickCount64() > deadline + grace_ms) {
            print_error(L"access-client: timed out");
            ExitProcess(timed_out);
        }
    }
}

int usage()
{
    print_error(
        L"usage: access-client [--timeout SECONDS] COMMAND TITLE [ARGUMENT...]\n"
        L"       access-client [--timeout SECONDS] script\n"
        L"  tree TITLE        the Active Accessibility tree of the window\n"
        L"  focus TITLE       the element that has the keyboard focus, as a line of the tree\n"
        L"  uia TITLE         the UI Automation tree (name, control type, automation id)\n"
        L"  press TITLE NAME  the default action of the element named NAME\n"
        L"  paragraphs TITLE NAME\n"
        L"                    whether the element's children are its value's lines with text\n"
        L"  wait TITLE TEXT [STATE|!STATE]...\n"
        L"                    waits until an element whose name contains TEXT has each STATE\n"
        L"                    and lacks each !STATE (states as the tree prints them)\n"
        L"  gone TITLE        waits until no visible window has the title\n"
        L"  listen TITLE FILE logs what a reader is told by the window's program into FILE\n"
        L"  script            reads commands from standard input, one a line, with the fields\n"
        L"                    separated by tabs; each command's output ends with \"= CODE\"\n"
        L"every command ends within --timeout seconds (30 by default)\n"
        L"exit codes: 0 done, 1 usage, 2 window or element not found, 3 timed out");
    return usage_error;
}

int wait_until_gone(const std::wstring& title)
{
    while (visible_window(title) != nullptr) {
        if (time_left() == 0) {
            print_error(L"access-client: the window \"" + title + L"\" is still there");
            return timed_out;
        }
        Sleep(100);
    }
    return succeeded;
}

// One command: its name, the window title and the arguments after them.
int run(const std::vector<std::wstring>& fields, double seconds)
{
    if (fields.size() < 2) {
        return usage();
    }
    const std::wstring& command = fields[0];
    const std::wstring& title = fields[1];
    const size_t arguments = fields.size() - 2;
    const bool known =
        ((command == L"tree" || command == L"focus" || command == L"uia" || command == L"gone") &&
         arguments == 0) ||
        ((command == L"press" || command == L"paragraphs" || command == L"listen") &&
         arguments == 1) ||
        (command == L"wait" && arguments >= 1);
    if (!known) {
        return usage();
    }
    g_deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    if (command == L"gone") {
        return wait_until_gone(title);
    }
    const HWND window = find_window(title);
    if (window == nullptr) {
        print_error(L"access-client: no window \"" + title + L"\"");
        return not_found;
    }
    if (command == L"tree") {
        return print_msaa_tree(window);
    }
    if (command == L"focus") {
        return print_focus(window);
    }
    if (command == L"uia") {
        return print_uia_tree(window);
    }
    if (command == L"press") {
        return press(window, fields[2]);
    }
    if (command == L"paragraphs") {
        return check_paragraphs(window, fields[2]);
    }
    if (command == L"listen") {
        return listen(window, fields[2]);
    }
    std::vector<state_condition> states;
    for (size_t i = 3; i < fields.size(); ++i) {
        const bool negated = !fields[i].empty() && fields[i][0] == L'!';
        states.push_back({fields[i].substr(negated ? 1 : 0), !negated});
    }
    return wait_for(window, fields[2], states);
}

// One line of standard input, UTF-8, without its line end; false at the end of the input.
bool read_line(std::wstring& line)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string bytes;
    char c = 0;
    DWORD got = 0;
    bool any = false;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (c != '\r') {
            bytes += c;
        }
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    line.assign(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), line.data(),
                        size);
    return any;
}

std::vector<std::wstring> split_at_tabs(const std::wstring& line)
{
    std::vector<std::wstring> fields(1);
    for (const wchar_t c : line) {
        if (c == L'\t') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// A test drives one session with many commands, so Wine starts once for all of them.
int run_script(double seconds)
{
    std::wstring line;
    while (read_line(line)) {
        if (line.empty()) {
            continue;
        }
        const int code = run(split_at_tabs(line), seconds);
        g_deadline = 0;
        print_line(L"= " + std::to_wstring(code));
    }
    return succeeded;
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

std::wstring take(BSTR text)
{
    std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return result;
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
    const ULONGLONG deadline = g_deadline.load();
    return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
}

HWND find_window(const std::wstring& title)
{
    for (;;) {
        const HWND found = visible_window(title);
        if (found != nullptr || time_left() == 0) {
            return found;
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
    if (argc - first < 1 || seconds <= 0) {
        return usage();
    }
    const bool script = std::wcscmp(argv[first], L"script") == 0;
    if (script && argc - first != 1) {
        return usage();
    }
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (script) {
        return run_script(seconds);
    }
    return run(std::vector<std::wstring>(argv + first, argv + argc), seconds);
}
