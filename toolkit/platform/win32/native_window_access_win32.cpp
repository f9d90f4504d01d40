// The native window's side of accessibility: announcing changes to assistive technology, as
// WinEvents and, when a client listens, as UI Automation events.
#include "toolkit/platform/native_window.h"

#include "toolkit/platform/win32/accessibility_impl.h"
#include "toolkit/platform/win32/native_window_impl.h"

namespace zksdk::ui {

namespace win32 {

void raise_uia_event(HWND window, access_event event, int32_t id)
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
        break;
    case access_event::alert:
        api.raise_event(element, uia::event::system_alert);
        break;
    case access_event::dialog_opened:
        api.raise_event(element, uia::event::window_opened);
        break;
    case access_event::state_changed:
    case access_event::name_changed:
    case access_event::value_changed:
        if (api.raise_property_changed != nullptr) {
            // The old value is not kept; clients read the new one from the element.
            VARIANT before;
            VARIANT after;
            VariantInit(&before);
            VariantInit(&after);
            const PROPERTYID property = event == access_event::name_changed ? uia::property::name
                                        : event == access_event::value_changed
                                            ? uia::property::value_value
                                            : uia::property::toggle_state;
            element->GetPropertyValue(property, &after);
            api.raise_property_changed(element, property, before, after);
            VariantClear(&after);
        }
        break;
    }
    element->Release();
}

} // namespace win32

void native_window::announce(access_event event, int32_t id)
{
    const HWND window = m_impl->handle;
    if (window == nullptr) {
        return;
    }
    // An alert or a dialog is the whole popup window; the rest is about a node of the client.
    const bool whole_window = event == access_event::alert || event == access_event::dialog_opened;
    NotifyWinEvent(win32::event_for(event), window, whole_window ? OBJID_WINDOW : OBJID_CLIENT,
                   whole_window || id == 0 ? CHILDID_SELF : id);
    win32::raise_uia_event(window, event, id);
}

} // namespace zksdk::ui
