// NimbicSetup.exe's entry point: the Windows calls behind the entry logic of entry.cpp.
#include "installer/entry.h"
#include "installer/product.h"

#include "engine/system/win32/dll_search.h"
#include "toolkit/core/text_conversion.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The first copy only asks the shell to start an elevated second copy; the marker tells that
// copy it is the one that shows the wizard. An uninstall waits for its copy's exit code.
uint32_t RelaunchElevated(const std::u16string& program, const std::u16string& arguments,
                          int* exit_code)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // This process ends as soon as the call returns: the shell must finish starting the copy
    // before it does, not on a thread of ours that is about to vanish.
    info.fMask = SEE_MASK_NOASYNC | (exit_code ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = L"runas";
    info.lpFile = wide(program);
    info.lpParameters = wide(arguments);
    // The quiet uninstall shows no window at all; the uninstall window must show.
    info.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
    if (!exit_code) {
        return 0;
    }
    // Started, but with no process to wait for: how it ended is unknown, which is no success.
    DWORD code = static_cast<DWORD>(nimbic::uninstall_exit::failed);
    if (info.hProcess) {
        WaitForSingleObject(info.hProcess, INFINITE);
        if (!GetExitCodeProcess(info.hProcess, &code)) {
            code = static_cast<DWORD>(nimbic::uninstall_exit::failed);
        }
        CloseHandle(info.hProcess);
    }
    *exit_code = static_cast<int>(code);
    return 0;
}

// Whether the process that shows a window runs with administrator rights. Ours always does; a
// window with our title in a standard user's process is someone else's. An unelevated caller
// may not read an elevated process's token at all, which tells as much; a process of the
// caller's own rights always lets it.
bool ShownElevated(HWND window)
{
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process)
        return false;
    HANDLE token = nullptr;
    bool elevated = false;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        elevated =
            GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
            elevation.TokenIsElevated;
        CloseHandle(token);
    } else {
        elevated = GetLastError() == ERROR_ACCESS_DENIED;
    }
    CloseHandle(process);
    return elevated;
}

struct SetupWindowSearch {
    std::vector<std::u16string> titles;
    bool found = false;
};

// The window of the wizard or the uninstaller that already runs: one of our toolkit's windows
// with either title, shown by an elevated process.
BOOL CALLBACK BringSetupToFront(HWND window, LPARAM search_address)
{
    wchar_t name[64] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, name, 64);
    GetWindowTextW(window, title, 256);
    auto& search = *reinterpret_cast<SetupWindowSearch*>(search_address);
    const std::u16string text(reinterpret_cast<const char16_t*>(title));
    if (std::wstring(name) != L"ZKSDK_WINDOW_CLASS" ||
        std::find(search.titles.begin(), search.titles.end(), text) == search.titles.end() ||
        !ShownElevated(window)) {
        return TRUE;
    }
    if (IsIconic(window)) {
        ShowWindowAsync(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    search.found = true;
    return FALSE;
}

bool BringToFront()
{
    SetupWindowSearch search;
    search.titles = {zksdk::ui::utf8_to_utf16(nimbic::product::window_title),
                     zksdk::ui::utf8_to_utf16(nimbic::product::uninstaller_title)};
    EnumWindows(BringSetupToFront, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string DescribeError(uint32_t code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string reason;
    if (length != 0 && text != nullptr) {
        reason.assign(reinterpret_cast<const char16_t*>(text), length);
    }
    LocalFree(text);
    while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r' ||
                               reason.back() == u' ' || reason.back() == u'.')) {
        reason.pop_back();
    }
    const std::string number = std::to_string(code);
    if (reason.empty()) {
        return "Error code " + number + ".";
    }
    return zksdk::ui::utf16_to_utf8(reason) + " (error code " + number + ").";
}

void ShowError(const std::string& title, const std::string& text)
{
    // Also on the error stream, for a console that started the program and for logs.
    std::fputs((title + ": " + text + "\n").c_str(), stderr);
    std::fflush(stderr);
    const std::u16string wide_title = zksdk::ui::utf8_to_utf16(title);
    const std::u16string wide_text = zksdk::ui::utf8_to_utf16(text);
    MessageBoxW(nullptr, wide(wide_text), wide(wide_title),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void PrintLine(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int)
{
    nimbic::sys::restrict_dll_search_to_system32();
    const nimbic::EntrySystem system{RelaunchElevated, DescribeError, ShowError, BringToFront,
                                     PrintLine};
    const std::u16string_view line =
        command_line != nullptr ? reinterpret_cast<const char16_t*>(command_line) : u"";
    return nimbic::RunEntry(line, system);
}
