// access-client's announcement log: the WinEvents a screen reader speaks from (focus, live
// changes, alerts, dialogs, the caret), each as a reader reads it then, one line each, from the
// moment a test asks until the next `listen` or the client's end.
#include "tools/access_client/access_client.h"

#include <windows.h>
#include <oleacc.h>
#include <vector>

namespace access_client {

namespace {

constexpr DWORD live_region_changed = 0x8019;

HANDLE g_log = INVALID_HANDLE_VALUE;
HANDLE g_thread = nullptr;
DWORD g_thread_id = 0;
DWORD g_process = 0;

const wchar_t* event_name(DWORD event, LONG object)
{
    switch (event) {
    case EVENT_OBJECT_FOCUS:
        return L"focus";
    case live_region_changed:
        return L"live";
    case EVENT_SYSTEM_ALERT:
        return L"alert";
    case EVENT_SYSTEM_DIALOGSTART:
        return L"dialog";
    case EVENT_OBJECT_TEXTSELECTIONCHANGED:
        return L"caret";
    case EVENT_OBJECT_LOCATIONCHANGE:
        return object == OBJID_CARET ? L"caret moved" : nullptr;
    default:
        return nullptr;
    }
}

void write_line(const std::wstring& line)
{
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(g_log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

struct event_seen {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
};
std::vector<event_seen> g_queue;
bool g_telling = false;

// As a reader reads it when it gets to the event: the source's name and description then.
void tell(const event_seen& seen)
{
    std::wstring line = event_name(seen.event, seen.object);
    IAccessible* source = nullptr;
    VARIANT which;
    VariantInit(&which);
    if (seen.object != OBJID_CARET &&
        SUCCEEDED(AccessibleObjectFromEvent(seen.window, static_cast<DWORD>(seen.object),
                                            static_cast<DWORD>(seen.child), &source, &which)) &&
        source != nullptr) {
        BSTR text = nullptr;
        const std::wstring name =
            SUCCEEDED(source->get_accName(which, &text)) ? one_line(take(text)) : L"";
        text = nullptr;
        const std::wstring description =
            SUCCEEDED(source->get_accDescription(which, &text)) ? one_line(take(text)) : L"";
        line += L" " + name;
        if (!description.empty()) {
            line += L" ~ " + description;
        }
        source->Release();
        VariantClear(&which);
    }
    write_line(line);
}

// Wine delivers another process's events only to a hook on every process, so the window's
// process is picked here. Reading a source pumps messages, and with them more events: those
// wait their turn, so the log keeps the order the events came in.
void CALLBACK heard(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    DWORD process = 0;
    if (event_name(event, object) == nullptr || window == nullptr ||
        GetWindowThreadProcessId(window, &process) == 0 || process != g_process) {
        return;
    }
    g_queue.push_back({event, window, object, child});
    if (g_telling) {
        return;
    }
    g_telling = true;
    for (size_t i = 0; i < g_queue.size(); ++i) {
        const event_seen seen = g_queue[i];
        tell(seen);
    }
    g_queue.clear();
    g_telling = false;
}

DWORD WINAPI listen_loop(void*)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, heard, 0, 0,
                                               WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (hook != nullptr) {
        UnhookWinEvent(hook);
    }
    CoUninitialize();
    return 0;
}

void stop_listening()
{
    if (g_thread != nullptr) {
        PostThreadMessageW(g_thread_id, WM_QUIT, 0, 0);
        WaitForSingleObject(g_thread, 5000);
        CloseHandle(g_thread);
        g_thread = nullptr;
    }
    if (g_log != INVALID_HANDLE_VALUE) {
        CloseHandle(g_log);
        g_log = INVALID_HANDLE_VALUE;
    }
}

} // namespace

int listen(HWND window, const std::wstring& path)
{
    stop_listening();
    g_log = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_log == INVALID_HANDLE_VALUE) {
        print_error(L"access-client: unable to create the log " + path);
        return not_found;
    }
    GetWindowThreadProcessId(window, &g_process);
    g_thread = CreateThread(nullptr, 0, listen_loop, nullptr, 0, &g_thread_id);
    return g_thread != nullptr ? succeeded : not_found;
}

} // namespace access_client
