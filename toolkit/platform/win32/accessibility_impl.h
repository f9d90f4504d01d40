// The Windows side of a window's accessibility: Active Accessibility and UI Automation objects
// over the toolkit window's description, and the way their calls reach the window's thread.
#pragma once

#include "toolkit/core/accessibility.h"
#include "toolkit/core/accessibility_text.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/win32/uia_declarations.h"

#include <windows.h>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zksdk::ui {
class native_window_client;
}

namespace zksdk::ui::win32 {

// The private message the accessibility objects send their window: wparam says what for.
constexpr UINT access_message = WM_APP + 0x0A11;
constexpr WPARAM forwarded_call = 1;  // lparam: the token of a pending call
constexpr WPARAM deferred_action = 2; // lparam: the token of a posted default action
constexpr WPARAM held_events = 3;     // the window's first UI Automation client has come

// WM_GETOBJECT: the client object for OBJID_CLIENT, the UI Automation root for its id.
// A window with nothing to describe gets the system's answer.
LRESULT answer_object_request(HWND window, native_window_client& client, WPARAM wparam,
                              LPARAM lparam);
// Before the window goes: lets UI Automation drop the providers it holds for it, once any was
// handed out (the library is not loaded for this alone).
void release_access_providers(HWND window);
// True once a UI Automation client has been given a provider (by any window of ours).
bool uia_providers_handed_out();
// The focus and sentence a window told before its first UI Automation client came (see
// native_window::impl), raised now, once.
void raise_held_uia_events(HWND window, native_window::impl& record);
// access_message, on the window's own thread.
LRESULT run_access_message(HWND window, native_window_client& client, WPARAM wparam, LPARAM lparam);

// oleacc.dll and UIAutomationCore.dll, loaded from System32 on first use (oleacc first: the
// other imports it by name). Any entry point may be null.
struct access_functions {
    LRESULT(WINAPI* lresult_from_object)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
    HRESULT(WINAPI* create_standard_object)(HWND, LONG, REFIID, void**) = nullptr;
    LRESULT(WINAPI* return_provider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    HRESULT(WINAPI* host_provider)(HWND, IRawElementProviderSimple**) = nullptr;
    HRESULT(WINAPI* raise_event)(IRawElementProviderSimple*, EVENTID) = nullptr;
    HRESULT(WINAPI* raise_property_changed)
    (IRawElementProviderSimple*, PROPERTYID, VARIANT, VARIANT) = nullptr;
    BOOL(WINAPI* clients_listening)() = nullptr;
    HRESULT(WINAPI* raise_structure_changed)
    (IRawElementProviderSimple*, int, int*, int) = nullptr;
    // Windows 10 1709 and later only.
    HRESULT(WINAPI* raise_notification)(IRawElementProviderSimple*, int, int, BSTR, BSTR) = nullptr;
    HRESULT(WINAPI* not_supported)(IUnknown**) = nullptr;
};
const access_functions& access_api();

// What a provider call sees of the window: its description, taken on the window's thread,
// with what turns the description's DIPs into screen pixels.
struct access_snapshot {
    std::vector<access_node> nodes;
    POINT origin{}; // the client area's top-left on the screen, pixels
    int32_t dpi_x = 96;
    int32_t dpi_y = 96;
    bool window_focused = false; // the window has the system's keyboard focus

    const access_node* find(int32_t id) const;
    std::vector<const access_node*> children(int32_t id) const;
    bool has_children(int32_t id) const;
    // The node's neighbour under the same parent, one step forward or back; null at the end.
    const access_node* sibling(int32_t id, int step) const;
    // The deepest visible node at a screen point; null outside the window.
    const access_node* at(POINT screen) const;
    const access_node* focused() const;
    RECT screen_bounds(const access_node& node) const;
};

enum class call_result { done, gone, busy };

// A provider's link to its window, safe to use from any thread and after the window is gone.
class window_link {
public:
    explicit window_link(HWND window) : m_window(window) {}
    HWND window() const { return m_window; }

    call_result snapshot(access_snapshot& out) const;
    // Checks that the node is shown, has an action and is enabled, then runs the action later
    // on the window's thread: a default action may open a modal popup, and the caller must not
    // wait for it to close. One look at the tree decides, so a node hidden meanwhile is gone.
    enum class action_answer { gone, refused, posted };
    call_result default_action(int32_t id, action_answer& answer) const;
    call_result focus(int32_t id, bool& accepted) const;
    // A document node's text and lines; false in `found` for a node without them.
    call_result text(int32_t id, access_text& out, bool& found) const;
    call_result scroll(int32_t id, text_span range, bool align_to_top, bool place) const;

private:
    call_result on_window_thread(const std::function<void(native_window_client&)>& work) const;

    HWND m_window;
};

// A node's role and states as Active Accessibility names them, and its UI Automation control
// type.
LONG role_of(access_role role);
LONG states_of(const access_node& node);
CONTROLTYPEID control_type_of(access_role role);

// New objects, each with one reference for the caller.
IAccessible* make_msaa_object(HWND window, int32_t id);
IRawElementProviderSimple* make_uia_element(HWND window, int32_t id);
// The pattern's provider for a node of this role, or null when the role has no such pattern.
IUnknown* make_uia_pattern(HWND window, int32_t id, access_role role, PATTERNID pattern);
ITextRangeProvider* make_text_range(HWND window, int32_t id, text_span range);
// The node id behind one of our providers, or -1 for anyone else's.
int32_t node_of_provider(IUnknown* provider);
// HRESULT for a call that could not reach the window.
HRESULT uia_failure(call_result result);

// EVENT_OBJECT_LIVEREGIONCHANGED, which older headers lack.
constexpr DWORD live_region_changed_event = 0x8019;

// The WinEvent that tells of an announcement (0: none).
DWORD event_for(access_event event);

// Raises the UI Automation event that goes with an announcement, when a client listens.
void raise_uia_event(HWND window, access_event event, int32_t id, std::string_view text = {});

// UTF-8 to a new BSTR (null for an empty text).
BSTR to_bstr(const std::string& text);

} // namespace zksdk::ui::win32
