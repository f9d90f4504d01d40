// The UI Automation view of a toolkit window: a fragment root for the client area and one
// fragment per described node; its patterns are objects of their own (uia_patterns_win32.cpp),
// handed out only where the node's role has them. Calls arrive on UI Automation's threads; each
// reads a fresh description from the window's thread.
#include "toolkit/platform/win32/accessibility_com.h"
#include "toolkit/platform/win32/accessibility_impl.h"

#include <string>

namespace zksdk::ui::win32 {

namespace {

void set_bool(VARIANT& out, bool value)
{
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Tells our own elements from anyone else's, through QueryInterface.
MIDL_INTERFACE("6f1c7b1e-2a43-4d5e-9b0a-3c1d8e4f5a21")
node_identity : public IUnknown
{
    virtual int32_t STDMETHODCALLTYPE node() = 0;
};

} // namespace
} // namespace zksdk::ui::win32

__CRT_UUID_DECL(zksdk::ui::win32::node_identity, 0x6f1c7b1e, 0x2a43, 0x4d5e, 0x9b, 0x0a, 0x3c, 0x1d,
                0x8e, 0x4f, 0x5a, 0x21)

namespace zksdk::ui::win32 {

namespace {

class uia_element final : public com_object<IRawElementProviderSimple, IRawElementProviderFragment,
                                            IRawElementProviderFragmentRoot, node_identity> {
public:
    uia_element(HWND window, int32_t id) : m_link(window), m_id(id) {}

    int32_t STDMETHODCALLTYPE node() override { return m_id; }

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
        *out = make_uia_pattern(m_link.window(), m_id, self->role, pattern);
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
        const bool root = m_id == 0;
        // Where the window's host element has the answer (enabled, focus, focusability, place,
        // automation id), the root has none of its own: a provider's value wins over the
        // host's, and ours would describe the client area, not the window.
        if (root &&
            (property == uia::property::is_enabled ||
             property == uia::property::has_keyboard_focus ||
             property == uia::property::is_keyboard_focusable ||
             property == uia::property::is_offscreen || property == uia::property::automation_id ||
             property == uia::property::bounding_rectangle)) {
            return S_OK;
        }
        switch (property) {
        case uia::property::name:
            out->vt = VT_BSTR;
            out->bstrVal = to_bstr(n.name);
            break;
        case uia::property::control_type:
            // The root's element is the window's: a window, wizard and popup alike, as the
            // window's host says on Windows (Wine's says nothing). Any other value here would
            // win over the host's.
            out->vt = VT_I4;
            out->lVal = root ? uia::control_type::window : control_type_of(n.role);
            break;
        case uia::property::is_dialog:
            set_bool(*out, root && n.role == access_role::dialog);
            break;
        case uia::property::full_description:
            if (!n.description.empty()) {
                out->vt = VT_BSTR;
                out->bstrVal = to_bstr(n.description);
            }
            break;
        case uia::property::live_setting:
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(n.live);
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
            set_bool(*out, s.window_focused && (n.states & access_state::focused) != 0);
            break;
        case uia::property::is_offscreen:
            set_bool(*out, (n.states & (access_state::invisible | access_state::offscreen)) != 0);
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
        case uia::property::range_value_value:
            if (n.role == access_role::progress_bar) {
                out->vt = VT_R8;
                out->dblVal = n.range_value;
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
        if (m_id == 0 ||
            (self->states & (access_state::invisible | access_state::offscreen)) != 0) {
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
        return result != call_result::done ? uia_failure(result)
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
        const access_node* focused = s.window_focused ? s.focused() : nullptr;
        if (focused != nullptr) {
            *out = fragment(focused->id);
        }
        return S_OK;
    }

private:
    ~uia_element() override = default;

    void* find(REFIID iid) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IRawElementProviderSimple)) {
            return static_cast<IRawElementProviderSimple*>(this);
        }
        if (iid == __uuidof(IRawElementProviderFragment)) {
            return static_cast<IRawElementProviderFragment*>(this);
        }
        if (iid == __uuidof(IRawElementProviderFragmentRoot) && m_id == 0) {
            return static_cast<IRawElementProviderFragmentRoot*>(this);
        }
        if (iid == __uuidof(node_identity)) {
            return static_cast<node_identity*>(this);
        }
        return nullptr;
    }

    HRESULT own(access_snapshot& s, const access_node*& self) const
    {
        const call_result result = m_link.snapshot(s);
        if (result != call_result::done) {
            return uia_failure(result);
        }
        self = s.find(m_id);
        return self != nullptr ? S_OK : uia::element_not_available;
    }

    IRawElementProviderFragment* fragment(int32_t id) const
    {
        return new uia_element(m_link.window(), id);
    }

    window_link m_link;
    int32_t m_id;
};

} // namespace

IRawElementProviderSimple* make_uia_element(HWND window, int32_t id)
{
    return new uia_element(window, id);
}

HRESULT uia_failure(call_result result)
{
    return result == call_result::gone ? uia::element_not_available : uia::timeout;
}

int32_t node_of_provider(IUnknown* provider)
{
    node_identity* ours = nullptr;
    if (provider == nullptr || FAILED(provider->QueryInterface(__uuidof(node_identity),
                                                               reinterpret_cast<void**>(&ours)))) {
        return -1;
    }
    const int32_t id = ours->node();
    ours->Release();
    return id;
}

} // namespace zksdk::ui::win32
