// The native window's side of accessibility: announcing changes to assistive technology, as
// WinEvents and, when a client listens, as UI Automation events.
#include "toolkit/platform/native_window.h"

#include "toolkit/core/text_conversion.h"
#include "toolkit/platform/win32/accessibility_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"

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

bool is_role(IRawElementProviderSimple* element, CONTROLTYPEID type)
{
    VARIANT value;
    VariantInit(&value);
    element->GetPropertyValue(uia::property::control_type, &value);
    const bool same = value.vt == VT_I4 && value.lVal == type;
    VariantClear(&value);
    return same;
}

void raise_structure(const access_functions& api, IRawElementProviderSimple* element, int change,
                     int32_t id)
{
    if (api.raise_structure_changed == nullptr) {
        return;
    }
    int runtime[2] = {uia::append_runtime_id, id};
    api.raise_structure_changed(element, change, runtime, 2);
}

} // namespace

void raise_uia_event(HWND window, access_event event, int32_t id, std::string_view text)
{
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
        raise_structure(api, element, uia::children_invalidated, id);
        break;
    case access_event::alert:
        api.raise_event(element, uia::event::system_alert);
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
        raise_structure(api, element, uia::child_added, id);
        break;
    case access_event::hidden: {
        // The element is gone from the tree: its parent, the window, tells.
        IRawElementProviderSimple* root = make_uia_element(window, 0);
        raise_structure(api, root, uia::child_removed, id);
        root->Release();
        break;
    }
    case access_event::notification:
        // Absent before Windows 10 1709: there the focus and the live regions say it all.
        if (api.raise_notification != nullptr) {
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
    if (const DWORD win_event = win32::event_for(event); win_event != 0) {
        NotifyWinEvent(win_event, window, whole_window ? OBJID_WINDOW : OBJID_CLIENT,
                       whole_window || id == 0 ? CHILDID_SELF : id);
    }
    win32::raise_uia_event(window, event, id, text);
}

} // namespace zksdk::ui
