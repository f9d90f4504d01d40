// The UI Automation view of a toolkit window: a fragment root for the client area and one
// fragment per described node, with the Invoke, Toggle, RangeValue and Value patterns. Calls
// arrive on UI Automation's threads; each reads a fresh description from the window's thread.
#include "toolkit/platform/win32/accessibility_impl.h"

#include <atomic>
#include <string>

namespace zksdk::ui::win32 {

namespace {

HRESULT failure_of(call_result result)
{
    return result == call_result::gone ? uia::element_not_available : uia::timeout;
}

void set_bool(VARIANT& out, bool value)
{
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

class uia_element final : public IRawElementProviderSimple,
                          public IRawElementProviderFragment,
                          public IRawElementProviderFragmentRoot,
                          public IInvokeProvider,
                          public IToggleProvider,
                          public IRangeValueProvider,
                          public IValueProvider {
public:
    uia_element(HWND window, int32_t id) : m_link(window), m_id(id) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IRawElementProviderSimple)) {
            *out = static_cast<IRawElementProviderSimple*>(this);
        } else if (iid == __uuidof(IRawElementProviderFragment)) {
            *out = static_cast<IRawElementProviderFragment*>(this);
        } else if (iid == __uuidof(IRawElementProviderFragmentRoot) && m_id == 0) {
            *out = static_cast<IRawElementProviderFragmentRoot*>(this);
        } else if (iid == __uuidof(IInvokeProvider)) {
            *out = static_cast<IInvokeProvider*>(this);
        } else if (iid == __uuidof(IToggleProvider)) {
            *out = static_cast<IToggleProvider*>(this);
        } else if (iid == __uuidof(IRangeValueProvider)) {
            *out = static_cast<IRangeValueProvider*>(this);
        } else if (iid == __uuidof(IValueProvider)) {
            *out = static_cast<IValueProvider*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IRawElementProviderSimple. No COM threading option: under it, Wine's UI Automation
    // waits on the window's thread while that thread waits on it.
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override
    {
        *options = ProviderOptions_ServerSideProvider;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override
    {
        *out = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const access_role role = self->role;
        const bool supported =
            (pattern == uia::pattern::invoke &&
             (role == access_role::push_button || role == access_role::link)) ||
            (pattern == uia::pattern::toggle && role == access_role::check_button) ||
            (pattern == uia::pattern::range_value && role == access_role::progress_bar) ||
            (pattern == uia::pattern::value &&
             (role == access_role::document || role == access_role::progress_bar));
        if (supported) {
            *out = static_cast<IRawElementProviderSimple*>(this);
            AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* out) override
    {
        VariantInit(out);
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const access_node& n = *self;
        switch (property) {
        case uia::property::name:
            out->vt = VT_BSTR;
            out->bstrVal = to_bstr(n.name);
            break;
        case uia::property::control_type:
            // The window's own element is the system's (a window); the client area is a pane.
            out->vt = VT_I4;
            out->lVal = control_type_of(n.role);
            break;
        case uia::property::automation_id:
            out->vt = VT_BSTR;
            out->bstrVal = to_bstr(std::to_string(n.id));
            break;
        case uia::property::is_enabled:
            set_bool(*out, (n.states & access_state::disabled) == 0);
            break;
        case uia::property::is_keyboard_focusable:
            set_bool(*out, (n.states & access_state::focusable) != 0);
            break;
        case uia::property::has_keyboard_focus:
            set_bool(*out, (n.states & access_state::focused) != 0);
            break;
        case uia::property::is_offscreen:
            set_bool(*out, (n.states & access_state::invisible) != 0);
            break;
        case uia::property::toggle_state:
            if (n.role == access_role::check_button) {
                out->vt = VT_I4;
                out->lVal =
                    (n.states & access_state::checked) != 0 ? uia::toggle_on : uia::toggle_off;
            }
            break;
        case uia::property::value_value:
            if (!n.value.empty()) {
                out->vt = VT_BSTR;
                out->bstrVal = to_bstr(n.value);
            }
            break;
        case uia::property::framework_id:
            out->vt = VT_BSTR;
            out->bstrVal = SysAllocString(L"zksdk");
            break;
        default:
            break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override
    {
        *host = nullptr;
        const auto from_window = access_api().host_provider;
        if (m_id != 0 || from_window == nullptr) {
            return S_OK;
        }
        return from_window(m_link.window(), host);
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction,
                                       IRawElementProviderFragment** out) override
    {
        *out = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const access_node* to = nullptr;
        switch (direction) {
        case NavigateDirection_Parent:
            // The root's parent is the window's element, which the system provides.
            to = m_id != 0 ? s.find(self->parent) : nullptr;
            break;
        case NavigateDirection_NextSibling:
        case NavigateDirection_PreviousSibling:
            to = s.sibling(m_id, direction == NavigateDirection_NextSibling ? 1 : -1);
            break;
        case NavigateDirection_FirstChild:
        case NavigateDirection_LastChild: {
            const std::vector<const access_node*> family = s.children(m_id);
            if (!family.empty()) {
                to = direction == NavigateDirection_FirstChild ? family.front() : family.back();
            }
            break;
        }
        }
        if (to != nullptr) {
            *out = fragment(to->id);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override
    {
        *out = nullptr;
        if (m_id == 0) {
            return S_OK; // the window's element carries the root's id
        }
        *out = SafeArrayCreateVector(VT_I4, 0, 2);
        if (*out == nullptr) {
            return E_OUTOFMEMORY;
        }
        LONG index = 0;
        int value = uia::append_runtime_id;
        SafeArrayPutElement(*out, &index, &value);
        index = 1;
        value = m_id;
        SafeArrayPutElement(*out, &index, &value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* out) override
    {
        *out = UiaRect{0, 0, 0, 0};
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        if (m_id == 0 || (self->states & access_state::invisible) != 0) {
            return S_OK; // the window's element has the window's rectangle
        }
        const RECT area = s.screen_bounds(*self);
        *out = UiaRect{static_cast<double>(area.left), static_cast<double>(area.top),
                       static_cast<double>(area.right - area.left),
                       static_cast<double>(area.bottom - area.top)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override
    {
        *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override
    {
        bool accepted = false;
        const call_result result = m_link.focus(m_id, accepted);
        return result != call_result::done ? failure_of(result)
               : accepted                  ? S_OK
                                           : uia::invalid_operation;
    }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override
    {
        auto* root = new uia_element(m_link.window(), 0);
        *out = root;
        return S_OK;
    }

    // IRawElementProviderFragmentRoot
    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y,
                                                       IRawElementProviderFragment** out) override
    {
        *out = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const access_node* hit = s.at({static_cast<LONG>(x), static_cast<LONG>(y)});
        if (hit != nullptr) {
            *out = fragment(hit->id);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override
    {
        *out = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        if (const access_node* focused = s.focused()) {
            *out = fragment(focused->id);
        }
        return S_OK;
    }

    // IInvokeProvider, IToggleProvider: both are the node's default action.
    HRESULT STDMETHODCALLTYPE Invoke() override { return act(); }
    HRESULT STDMETHODCALLTYPE Toggle() override { return act(); }
    HRESULT STDMETHODCALLTYPE get_ToggleState(int* state) override
    {
        *state = uia::toggle_off;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        *state = (self->states & access_state::checked) != 0 ? uia::toggle_on : uia::toggle_off;
        return S_OK;
    }

    // IRangeValueProvider: a progress bar, 0 to 100, read only.
    HRESULT STDMETHODCALLTYPE SetValue(double) override { return uia::invalid_operation; }
    HRESULT STDMETHODCALLTYPE get_Value(double* value) override
    {
        *value = 0;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        *value = self->range_value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) override
    {
        *read_only = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Maximum(double* value) override
    {
        *value = 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Minimum(double* value) override
    {
        *value = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) override
    {
        *value = 10;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) override
    {
        *value = 1;
        return S_OK;
    }

    // IValueProvider: a document's whole text, a progress bar's "13%"; read only.
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR) override { return uia::invalid_operation; }
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) override
    {
        *value = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        *value = self->value.empty() ? SysAllocString(L"") : to_bstr(self->value);
        return S_OK;
    }

private:
    ~uia_element() = default;

    HRESULT own(access_snapshot& s, const access_node*& self) const
    {
        const call_result result = m_link.snapshot(s);
        if (result != call_result::done) {
            return failure_of(result);
        }
        self = s.find(m_id);
        return self != nullptr ? S_OK : uia::element_not_available;
    }

    IRawElementProviderFragment* fragment(int32_t id) const
    {
        return new uia_element(m_link.window(), id);
    }

    HRESULT act() const
    {
        bool accepted = false;
        const call_result result = m_link.default_action(m_id, accepted);
        return result != call_result::done ? failure_of(result)
               : accepted                  ? S_OK
                                           : uia::element_not_enabled;
    }

    std::atomic<ULONG> m_references{1};
    window_link m_link;
    int32_t m_id;
};

} // namespace

IRawElementProviderSimple* make_uia_element(HWND window, int32_t id)
{
    return new uia_element(window, id);
}

} // namespace zksdk::ui::win32
