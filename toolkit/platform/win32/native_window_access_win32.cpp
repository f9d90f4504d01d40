// The native window's side of accessibility: announcing changes to assistive technology, as
// WinEvents and, when a client listens, as UI Automation events.
#include "toolkit/platform/native_window.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/accessibility_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace zksdk::ui {

namespace win32 {

namespace {

// A property change with the new value as the element reports it; the old one is not kept.
void raise_property(const access_functions& api, IRawElementProviderSimple* element,
                    PROPERTYID property)
{
    if (api.raise_property_changed == nullptr) {
        return;
    }
    VARIANT before;
    VARIANT after;
    VariantInit(&before);
    VariantInit(&after);
    element->GetPropertyValue(property, &after);
    api.raise_property_changed(element, property, before, after);
    VariantClear(&after);
}

std::wstring string_property(IRawElementProviderSimple* element, PROPERTYID property)
{
    VARIANT value;
    VariantInit(&value);
    element->GetPropertyValue(property, &value);
    std::wstring text = value.vt == VT_BSTR && value.bstrVal != nullptr ? value.bstrVal : L"";
    VariantClear(&value);
    return text;
}

// NVDA speaks a dialog's full description as the focus enters it and a UI Automation alert as
// if it had the focus: a message that is both would be read twice, half a minute each for a
// failure's. Such an alert is told to Active Accessibility readers only, by its WinEvent.
bool alert_is_dialog_description(HWND window, IRawElementProviderSimple* element)
{
    IRawElementProviderSimple* root = make_uia_element(window, 0);
    const std::wstring description = string_property(root, uia::property::full_description);
    root->Release();
    return !description.empty() && description == string_property(element, uia::property::name);
}

bool is_role(IRawElementProviderSimple* element, CONTROLTYPEID type)
{
    VARIANT value;
    VariantInit(&value);
    element->GetPropertyValue(uia::property::control_type, &value);
    const bool same = value.vt == VT_I4 && value.lVal == type;
    VariantClear(&value);
    return same;
}

// Raised on the element where the tree changed. Only a removal names a child, by the runtime
// id that child had (ours are {append_runtime_id, node id}); every other change carries none.
void raise_structure(const access_functions& api, IRawElementProviderSimple* element, int change,
                     int32_t removed = 0)
{
    if (api.raise_structure_changed == nullptr) {
        return;
    }
    int runtime[2] = {uia::append_runtime_id, removed};
    const bool names_child = change == uia::child_removed;
    api.raise_structure_changed(element, change, names_child ? runtime : nullptr,
                                names_child ? 2 : 0);
}

// The described parent of a node, taken on the window's thread; the window (0) when unknown.
int32_t parent_of(HWND window, int32_t id)
{
    native_window* record = record_of(window);
    if (record == nullptr || record->client() == nullptr) {
        return 0;
    }
    for (const access_node& node : record->client()->access_tree()) {
        if (node.id == id) {
            return node.parent;
        }
    }
    return 0;
}

// Active Accessibility readers follow the reading place in a document by the system caret: one
// that is never shown (the view shows the place) but lies on the caret's line, so that the
// system answers for OBJID_CARET and raises its location change as the place moves. Only while
// the window has the focus, as carets require.
void place_caret(HWND window, native_window::impl& record, access_event event, int32_t id)
{
    if (event == access_event::focus && record.access_caret) {
        DestroyCaret(); // the focus went to another node: the document's place is left
        record.access_caret = false;
        return;
    }
    if (event != access_event::text_selection_changed || GetFocus() != window ||
        record.client == nullptr) {
        return;
    }
    access_text text;
    if (!record.client->access_text_of(id, text) || text.caret < 0) {
        return;
    }
    const int32_t line = line_of(text, text.caret);
    if (line < 0) {
        return;
    }
    const text_line_geometry& where = text.lines[static_cast<size_t>(line)];
    const auto column = static_cast<size_t>(std::max(0, text.caret - where.first));
    const float x = column < where.edges.size() ? where.edges[column] : 0.0f;
    const int32_t height =
        std::max(1, mul_div(static_cast<int32_t>(std::lround(where.height)), record.dpi_y, 96));
    if (!record.access_caret) {
        record.access_caret = CreateCaret(window, nullptr, 1, height) != FALSE;
    }
    if (record.access_caret) {
        SetCaretPos(mul_div(static_cast<int32_t>(std::lround(x)), record.dpi_x, 96),
                    mul_div(static_cast<int32_t>(std::lround(where.top)), record.dpi_y, 96));
    }
}

} // namespace

void raise_uia_event(HWND window, access_event event, int32_t id, std::string_view text)
{
    // A UI Automation client reaches the window's elements through WM_GETOBJECT first; until
    // one has, nobody can listen for them, and UIAutomationCore.dll (with oleacc.dll) is not
    // loaded for events alone: the first frame does not pay for them.
    if (!uia_providers_handed_out()) {
        return;
    }
    const access_functions& api = access_api();
    if (api.clients_listening == nullptr || api.raise_event == nullptr ||
        !api.clients_listening()) {
        return;
    }
    IRawElementProviderSimple* element = make_uia_element(window, id);
    switch (event) {
    case access_event::focus:
        api.raise_event(element, uia::event::focus_changed);
        break;
    case access_event::structure_changed:
        api.raise_event(element, uia::event::layout_invalidated);
        raise_structure(api, element, uia::children_invalidated);
        break;
    case access_event::alert:
        if (!alert_is_dialog_description(window, element)) {
            api.raise_event(element, uia::event::system_alert);
        }
        break;
    case access_event::dialog_opened:
        api.raise_event(element, uia::event::window_opened);
        break;
    case access_event::live_region_changed:
        api.raise_event(element, uia::event::live_region_changed);
        break;
    case access_event::text_selection_changed:
        api.raise_event(element, uia::event::text_selection_changed);
        break;
    case access_event::shown:
        raise_structure(api, element, uia::child_added);
        break;
    case access_event::hidden: {
        // The element is gone from the tree: its parent tells.
        IRawElementProviderSimple* parent = make_uia_element(window, parent_of(window, id));
        raise_structure(api, parent, uia::child_removed, id);
        parent->Release();
        break;
    }
    case access_event::notification:
        // Absent before Windows 10 1709: there the node that shows the sentence tells it as a
        // live region, as it does to Active Accessibility readers.
        if (api.raise_notification == nullptr) {
            if (id != 0) {
                api.raise_event(element, uia::event::live_region_changed);
            }
        } else {
            BSTR sentence = to_bstr(std::string(text));
            BSTR activity = SysAllocString(L"zksdk.result");
            api.raise_notification(element, uia::action_completed, uia::important_all, sentence,
                                   activity);
            SysFreeString(activity);
            SysFreeString(sentence);
        }
        break;
    case access_event::name_changed:
        raise_property(api, element, uia::property::name);
        break;
    case access_event::enabled_changed:
        raise_property(api, element, uia::property::is_enabled);
        break;
    case access_event::state_changed:
        // Only a check box has a toggle state to tell.
        if (is_role(element, uia::control_type::check_box)) {
            raise_property(api, element, uia::property::toggle_state);
        }
        break;
    case access_event::value_changed:
        raise_property(api, element, uia::property::value_value);
        if (is_role(element, uia::control_type::progress_bar)) {
            raise_property(api, element, uia::property::range_value_value);
        }
        break;
    }
    element->Release();
}

void raise_held_uia_events(HWND window, native_window::impl& record)
{
    const int32_t focus = std::exchange(record.uia_held_focus, -1);
    const auto sentence = std::exchange(record.uia_held_sentence, std::nullopt);
    if (focus >= 0 && GetFocus() == window) {
        raise_uia_event(window, access_event::focus, focus, {});
    }
    if (sentence) {
        raise_uia_event(window, access_event::notification, sentence->first, sentence->second);
    }
}

} // namespace win32

bool native_window::is_input_enabled() const
{
    return m_impl->handle != nullptr && IsWindowEnabled(m_impl->handle) != FALSE;
}

void native_window::announce(access_event event, int32_t id, std::string_view text)
{
    const HWND window = m_impl->handle;
    if (window == nullptr) {
        return;
    }
    // A dialog is the whole popup window; the rest is about a node of the client.
    const bool whole_window = event == access_event::dialog_opened;
    // A sentence that a node shows reaches Active Accessibility readers as that node's live
    // change; UI Automation clients hear it as a notification (raise_uia_event), and only so:
    // one channel for each reader.
    if (event == access_event::notification && id != 0) {
        NotifyWinEvent(win32::live_region_changed_event, window, OBJID_CLIENT, id);
    }
    if (const DWORD win_event = win32::event_for(event); win_event != 0) {
        NotifyWinEvent(win_event, window, whole_window ? OBJID_WINDOW : OBJID_CLIENT,
                       whole_window || id == 0 ? CHILDID_SELF : id);
    }
    if (!m_impl->uia_root_requested && !win32::uia_providers_handed_out()) {
        if (event == access_event::focus) {
            m_impl->uia_held_focus = id;
        } else if (event == access_event::notification) {
            m_impl->uia_held_sentence.emplace(id, std::string(text));
        }
    }
    win32::raise_uia_event(window, event, id, text);
    win32::place_caret(window, *m_impl, event, id);
}

} // namespace zksdk::ui
