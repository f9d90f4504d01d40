// A window's accessibility on Windows: the libraries, WM_GETOBJECT, the announcements, and the
// way provider calls from other threads reach the window's thread.
#include "toolkit/platform/win32/accessibility_impl.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"
#include "toolkit/platform/win32/system_libraries.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace zksdk::ui {

namespace win32 {

namespace {

// Long enough for a busy paint, short enough that a screen reader never hangs on us.
constexpr UINT forward_timeout_ms = 3000;

// Calls forwarded to the window's thread, by token. The message carries only the token, so a
// message from anywhere else finds nothing to run; and the call lives on here, not on the
// caller's stack, in case the window runs it after the caller has stopped waiting.
struct pending_calls {
    std::mutex lock;
    std::map<LPARAM, std::shared_ptr<std::function<void(native_window_client&)>>> calls;
    // Default actions posted to run later, by token, with the window and node they are for.
    std::map<LPARAM, std::pair<HWND, int32_t>> actions;
    LPARAM last_token = 0;
};

pending_calls& pending()
{
    static pending_calls calls;
    return calls;
}

} // namespace

DWORD event_for(access_event event)
{
    switch (event) {
    case access_event::focus:
        return EVENT_OBJECT_FOCUS;
    case access_event::state_changed:
        return EVENT_OBJECT_STATECHANGE;
    case access_event::name_changed:
        return EVENT_OBJECT_NAMECHANGE;
    case access_event::value_changed:
        return EVENT_OBJECT_VALUECHANGE;
    case access_event::structure_changed:
        return EVENT_OBJECT_REORDER;
    case access_event::alert:
        return EVENT_SYSTEM_ALERT;
    case access_event::dialog_opened:
        return EVENT_SYSTEM_DIALOGSTART;
    case access_event::enabled_changed:
        return EVENT_OBJECT_STATECHANGE;
    case access_event::shown:
        return EVENT_OBJECT_SHOW;
    case access_event::hidden:
        return EVENT_OBJECT_HIDE;
    case access_event::live_region_changed:
        return live_region_changed_event;
    case access_event::text_selection_changed:
        return EVENT_OBJECT_TEXTSELECTIONCHANGED;
    case access_event::notification:
        return 0; // UI Automation alone has notifications
    }
    return EVENT_OBJECT_REORDER;
}

namespace {

// What is hidden (another page, a hidden control, and all inside them) is no part of what a
// reader reads or navigates; parents come before their children, so one pass finds them all.
std::vector<access_node> shown_nodes(std::vector<access_node> nodes)
{
    std::vector<int32_t> hidden;
    std::erase_if(nodes, [&hidden](const access_node& node) {
        const bool gone =
            node.id != 0 && ((node.states & access_state::invisible) != 0 ||
                             std::find(hidden.begin(), hidden.end(), node.parent) != hidden.end());
        if (gone) {
            hidden.push_back(node.id);
        }
        return gone;
    });
    return nodes;
}

std::atomic<bool> providers_handed_out{false};

bool contains(const RECT& area, POINT p)
{
    return p.x >= area.left && p.x < area.right && p.y >= area.top && p.y < area.bottom;
}

} // namespace

const access_functions& access_api()
{
    static const access_functions functions = [] {
        access_functions found;
        const HMODULE oleacc = system_library(L"oleacc.dll");
        look_up(oleacc, "LresultFromObject", found.lresult_from_object);
        look_up(oleacc, "CreateStdAccessibleObject", found.create_standard_object);
        const HMODULE core = system_library(L"UIAutomationCore.dll");
        look_up(core, "UiaReturnRawElementProvider", found.return_provider);
        look_up(core, "UiaHostProviderFromHwnd", found.host_provider);
        look_up(core, "UiaRaiseAutomationEvent", found.raise_event);
        look_up(core, "UiaRaiseAutomationPropertyChangedEvent", found.raise_property_changed);
        look_up(core, "UiaClientsAreListening", found.clients_listening);
        look_up(core, "UiaRaiseStructureChangedEvent", found.raise_structure_changed);
        look_up(core, "UiaRaiseNotificationEvent", found.raise_notification);
        look_up(core, "UiaGetReservedNotSupportedValue", found.not_supported);
        return found;
    }();
    return functions;
}

BSTR to_bstr(const std::string& text)
{
    if (text.empty()) {
        return nullptr;
    }
    const std::u16string wide = utf8_to_utf16(text);
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                             static_cast<UINT>(wide.size()));
}

const access_node* access_snapshot::find(int32_t id) const
{
    for (const access_node& node : nodes) {
        if (node.id == id) {
            return &node;
        }
    }
    return nullptr;
}

std::vector<const access_node*> access_snapshot::children(int32_t id) const
{
    std::vector<const access_node*> result;
    for (const access_node& node : nodes) {
        if (node.id != 0 && node.parent == id) {
            result.push_back(&node);
        }
    }
    return result;
}

bool access_snapshot::has_children(int32_t id) const
{
    for (const access_node& node : nodes) {
        if (node.id != 0 && node.parent == id) {
            return true;
        }
    }
    return false;
}

const access_node* access_snapshot::sibling(int32_t id, int step) const
{
    const access_node* node = find(id);
    if (node == nullptr || id == 0) {
        return nullptr;
    }
    const std::vector<const access_node*> family = children(node->parent);
    for (size_t i = 0; i < family.size(); ++i) {
        if (family[i]->id == id) {
            const auto next = static_cast<ptrdiff_t>(i) + step;
            return next >= 0 && next < static_cast<ptrdiff_t>(family.size())
                       ? family[static_cast<size_t>(next)]
                       : nullptr;
        }
    }
    return nullptr;
}

const access_node* access_snapshot::at(POINT screen) const
{
    const access_node* window = find(0);
    if (window == nullptr || !contains(screen_bounds(*window), screen)) {
        return nullptr;
    }
    // In the paint pass's order parents come before their children, and what is drawn later
    // lies on top: a node that holds the point takes over when its parent is the hit so far or
    // one of the hit's ancestors (all of which hold it), so a sibling drawn later wins over an
    // earlier one and over its children. The list itself is in reading order.
    std::vector<const access_node*> painted;
    painted.reserve(nodes.size());
    for (const access_node& node : nodes) {
        painted.push_back(&node);
    }
    std::stable_sort(
        painted.begin(), painted.end(),
        [](const access_node* a, const access_node* b) { return a->paint_order < b->paint_order; });
    const access_node* hit = window;
    for (const access_node* drawn : painted) {
        const access_node& node = *drawn;
        if (node.id == 0 || (node.states & access_state::invisible) != 0 ||
            !contains(screen_bounds(node), screen)) {
            continue;
        }
        for (const access_node* up = hit; up != nullptr;
             up = up->id == 0 ? nullptr : find(up->parent)) {
            if (up->id == node.parent) {
                hit = &node;
                break;
            }
        }
    }
    return hit;
}

const access_node* access_snapshot::focused() const
{
    for (const access_node& node : nodes) {
        if (node.id != 0 && (node.states & access_state::focused) != 0) {
            return &node;
        }
    }
    return nullptr;
}

RECT access_snapshot::screen_bounds(const access_node& node) const
{
    const rect& b = node.bounds;
    const LONG left = origin.x + mul_div(b.x, dpi_x, 96);
    const LONG top = origin.y + mul_div(b.y, dpi_y, 96);
    RECT area{left, top, left + mul_div(b.width, dpi_x, 96), top + mul_div(b.height, dpi_y, 96)};
    // A scrolled document is far taller than its window; a reader highlights what shows.
    const access_node* window = node.id != 0 ? find(0) : nullptr;
    if (window != nullptr) {
        const RECT visible = screen_bounds(*window);
        if (!IntersectRect(&area, &area, &visible)) {
            area = RECT{left, top, left, top};
        }
    }
    return area;
}

call_result
window_link::on_window_thread(const std::function<void(native_window_client&)>& work) const
{
    const DWORD thread = GetWindowThreadProcessId(m_window, nullptr);
    if (thread == 0) {
        return call_result::gone;
    }
    if (thread == GetCurrentThreadId()) {
        native_window* record = record_of(m_window);
        if (record == nullptr || record->client() == nullptr) {
            return call_result::gone;
        }
        // Called inline from inside a COM method: an exception must not cross its caller's
        // frames, so it waits for the message loop, as the window procedure's do.
        try {
            work(*record->client());
        } catch (...) {
            keep_failure();
            return call_result::gone;
        }
        return call_result::done;
    }
    auto call = std::make_shared<std::function<void(native_window_client&)>>(work);
    pending_calls& calls = pending();
    LPARAM token = 0;
    {
        const std::lock_guard<std::mutex> guard(calls.lock);
        token = ++calls.last_token;
        calls.calls.emplace(token, call);
    }
    DWORD_PTR answer = 0;
    const LRESULT sent =
        SendMessageTimeoutW(m_window, access_message, forwarded_call, token,
                            SMTO_NORMAL | SMTO_ABORTIFHUNG, forward_timeout_ms, &answer);
    {
        const std::lock_guard<std::mutex> guard(calls.lock);
        calls.calls.erase(token);
    }
    if (sent != 0 && answer == 1) {
        return call_result::done;
    }
    return IsWindow(m_window) && record_of(m_window) != nullptr ? call_result::busy
                                                                : call_result::gone;
}

call_result window_link::snapshot(access_snapshot& out) const
{
    // The work fills a copy that it owns, so a late run never writes into `out`.
    auto taken = std::make_shared<access_snapshot>();
    const HWND window = m_window;
    const call_result result = on_window_thread([taken, window](native_window_client& client) {
        taken->nodes = shown_nodes(client.access_tree());
        ClientToScreen(window, &taken->origin);
        taken->window_focused = GetFocus() == window;
        if (native_window* record = record_of(window)) {
            taken->dpi_x = record->dpi_x();
            taken->dpi_y = record->dpi_y();
        }
    });
    if (result == call_result::done) {
        out = std::move(*taken);
    }
    return result;
}

call_result window_link::default_action(int32_t id, action_answer& answer) const
{
    auto found = std::make_shared<action_answer>(action_answer::gone);
    const HWND window = m_window;
    const call_result result = on_window_thread([found, window, id](native_window_client& client) {
        const std::vector<access_node> shown = shown_nodes(client.access_tree());
        const auto node = std::find_if(shown.begin(), shown.end(),
                                       [id](const access_node& n) { return n.id == id; });
        if (node == shown.end()) {
            return;
        }
        *found = action_answer::refused;
        if (node->default_action.empty() || (node->states & access_state::disabled) != 0) {
            return;
        }
        // Posted with a token, as forwarded calls are sent: a message from anywhere else
        // names no action and runs nothing.
        pending_calls& calls = pending();
        LPARAM token = 0;
        {
            const std::lock_guard<std::mutex> guard(calls.lock);
            token = ++calls.last_token;
            calls.actions.emplace(token, std::make_pair(window, id));
        }
        // A window whose queue takes nothing more is on its way out.
        if (PostMessageW(window, access_message, deferred_action, token) != FALSE) {
            *found = action_answer::posted;
        } else {
            *found = action_answer::gone;
            const std::lock_guard<std::mutex> guard(calls.lock);
            calls.actions.erase(token);
        }
    });
    answer = result == call_result::done ? *found : action_answer::gone;
    return result;
}

call_result window_link::text(int32_t id, access_text& out, bool& found) const
{
    auto taken = std::make_shared<access_text>();
    auto ok = std::make_shared<bool>(false);
    const call_result result = on_window_thread(
        [taken, ok, id](native_window_client& client) { *ok = client.access_text_of(id, *taken); });
    found = result == call_result::done && *ok;
    if (found) {
        out = std::move(*taken);
    }
    return result;
}

call_result window_link::scroll(int32_t id, text_span range, bool align_to_top, bool place) const
{
    return on_window_thread([id, range, align_to_top, place](native_window_client& client) {
        client.access_scroll(id, range, align_to_top, place);
    });
}

call_result window_link::focus(int32_t id, bool& accepted) const
{
    auto ok = std::make_shared<bool>(false);
    const call_result result =
        on_window_thread([ok, id](native_window_client& client) { *ok = client.access_focus(id); });
    accepted = result == call_result::done && *ok;
    return result;
}

LRESULT run_access_message(HWND window, native_window_client& client, WPARAM wparam, LPARAM lparam)
{
    if (wparam == deferred_action) {
        int32_t id = -1;
        {
            pending_calls& calls = pending();
            const std::lock_guard<std::mutex> guard(calls.lock);
            const auto found = calls.actions.find(lparam);
            if (found == calls.actions.end() || found->second.first != window) {
                return 0;
            }
            id = found->second.second;
            calls.actions.erase(found);
        }
        // Checked again now: a popup may have opened since the action was accepted.
        return client.access_default_action(id) ? 1 : 0;
    }
    if (wparam != forwarded_call) {
        return 0;
    }
    std::shared_ptr<std::function<void(native_window_client&)>> call;
    {
        pending_calls& calls = pending();
        const std::lock_guard<std::mutex> guard(calls.lock);
        const auto found = calls.calls.find(lparam);
        if (found == calls.calls.end()) {
            return 0;
        }
        call = found->second;
    }
    (*call)(client);
    return 1;
}

bool uia_providers_handed_out()
{
    return providers_handed_out.load();
}

void release_access_providers(HWND window)
{
    // UI Automation keeps the providers it was given until told the window is gone; a client
    // asking after that would reach a window handle that may already name another window.
    if (providers_handed_out.load()) {
        access_api().return_provider(window, 0, 0, nullptr);
    }
    // Actions posted to the window and never taken: their tokens would outlive it.
    pending_calls& calls = pending();
    const std::lock_guard<std::mutex> guard(calls.lock);
    std::erase_if(calls.actions,
                  [window](const auto& action) { return action.second.first == window; });
}

LRESULT answer_object_request(HWND window, native_window_client& client, WPARAM wparam,
                              LPARAM lparam)
{
    const access_functions& api = access_api();
    const auto object = static_cast<LONG>(static_cast<DWORD>(lparam));
    if ((object != OBJID_CLIENT && object != uia::root_object_id) || client.access_tree().empty()) {
        return DefWindowProcW(window, WM_GETOBJECT, wparam, lparam);
    }
    if (object == OBJID_CLIENT && api.lresult_from_object != nullptr) {
        IAccessible* root = make_msaa_object(window, 0);
        const LRESULT answer = api.lresult_from_object(__uuidof(IAccessible), wparam, root);
        root->Release();
        return answer;
    }
    if (object == uia::root_object_id && api.return_provider != nullptr) {
        providers_handed_out.store(true);
        IRawElementProviderSimple* root = make_uia_element(window, 0);
        const LRESULT answer = api.return_provider(window, wparam, lparam, root);
        root->Release();
        return answer;
    }
    return DefWindowProcW(window, WM_GETOBJECT, wparam, lparam);
}

} // namespace win32
} // namespace zksdk::ui
