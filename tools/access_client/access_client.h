// access-client: what a screen reader sees of a window, through Active Accessibility (the tree,
// default actions, waiting for a name) and through the flat UI Automation client API.
#pragma once

#include <windows.h>
#include <string>

namespace access_client {

// Exit codes.
constexpr int succeeded = 0;
constexpr int usage_error = 1;
constexpr int not_found = 2;
constexpr int timed_out = 3;

// One line of output, UTF-8, with a line end.
void print_line(const std::wstring& text);
void print_error(const std::wstring& text);

// A text as one line: runs of white space (line ends included) become one space, and the
// ends are trimmed.
std::wstring one_line(const std::wstring& text);

// The first visible top-level window with exactly this title, waiting for it until the
// process's deadline; null when none came.
HWND find_window(const std::wstring& title);
// Milliseconds left before the deadline the watchdog enforces.
DWORD time_left();

// Active Accessibility. Each returns an exit code.
int print_msaa_tree(HWND window);
int press(HWND window, const std::wstring& name);
int wait_for_name(HWND window, const std::wstring& text);

// UI Automation through the flat client API: the tree with name, control type and automation id.
int print_uia_tree(HWND window);

} // namespace access_client
