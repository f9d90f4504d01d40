// access-client: what a screen reader sees of a window, through Active Accessibility (the tree,
// default actions, waiting for a name or a state) and through the flat UI Automation client API.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <string>
#include <vector>

namespace access_client {

// Exit codes.
constexpr int succeeded = 0;
constexpr int usage_error = 1;
constexpr int not_found = 2;
constexpr int timed_out = 3;

// How deep the trees are walked: a misbehaving provider could describe a cycle, and no real
// window is this deep.
inline constexpr int deepest = 32;

// One line of output, UTF-8, with a line end.
void print_line(const std::wstring& text);
void print_error(const std::wstring& text);

// The text of a string a call handed over, which it frees.
std::wstring take(BSTR text);

// A text as one line: runs of white space (line ends included) become one space, and the
// ends are trimmed.
std::wstring one_line(const std::wstring& text);

// The first visible top-level window with exactly this title, waiting for it until the
// command's deadline; null when none came.
HWND find_window(const std::wstring& title);
// Milliseconds left before the running command's deadline.
DWORD time_left();

// A state an element must have (or, with `wanted` false, must not have), by the name the tree
// prints for it: "checked", "focused", "unavailable", ...
struct state_condition {
    std::wstring state;
    bool wanted;
};

// Active Accessibility. Each returns an exit code.
int print_msaa_tree(HWND window);
// The element that has the keyboard focus, as one line of the tree.
int print_focus(HWND window);
int press(HWND window, const std::wstring& name);
// Whether the element's children, in order, are its value's lines with text (a document read
// by paragraphs).
int check_paragraphs(HWND window, const std::wstring& name);
// Waits until an element whose name contains `text` meets every condition.
int wait_for(HWND window, const std::wstring& text, const std::vector<state_condition>& states);

// Logs what a reader is told by the window's process (focus, live changes, alerts, dialogs,
// the caret), one line each, into the file, until the next listen or the client's end.
int listen(HWND window, const std::wstring& path);

// UI Automation through the flat client API: the tree with name, control type and automation id.
int print_uia_tree(HWND window);

} // namespace access_client
