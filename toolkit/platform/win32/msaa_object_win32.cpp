// The Active Accessibility view of a toolkit window: one object per described node, leaves too,
// all answered from a fresh description taken on the window's thread. Node ids still serve as
// child ids (the events name nodes so), but every answer that hands out a node hands out its
// object: readers that follow IAccessible2 or keep objects need one, and a client gets the same
// kind of answer whichever way it came (children, navigation, focus, hit test, get_accChild).
#include "toolkit/platform/win32/accessibility_com.h"
#include "toolkit/platform/win32/accessibility_impl.h"

#include <algorithm>

namespace zksdk::ui::win32 {

namespace {

HRESULT failure_of(call_result result)
{
    return result == call_result::gone ? CO_E_OBJNOTCONNECTED : E_FAIL;
}

class msaa_object final : public com_object<IAccessible, IEnumVARIANT> {
public:
    msaa_object(HWND window, int32_t id) : m_link(window), m_id(id) {}

    // IDispatch: clients reach us through the vtable; no type information is offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        *parent = nullptr;
        if (m_id == 0) {
            // Above the client area is the window itself, as the system describes it.
            const auto create = access_api().create_standard_object;
            return create != nullptr ? create(m_link.window(), OBJID_WINDOW, __uuidof(IDispatch),
                                              reinterpret_cast<void**>(parent))
                                     : S_FALSE;
        }
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        *parent = make_msaa_object(m_link.window(), self->parent);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        *count = 0;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        *count = static_cast<LONG>(s.children(m_id).size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        *object = nullptr;
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        if (node->id == m_id) {
            return E_INVALIDARG; // CHILDID_SELF is no child
        }
        *object = make_msaa_object(m_link.window(), node->id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return text(child, name, [](const access_node& n) { return n.name; });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return text(child, value, [](const access_node& n) { return n.value; });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return this->text(child, text, [](const access_node& n) { return n.description; });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        VariantInit(role);
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        role->vt = VT_I4;
        role->lVal = role_of(node->role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        VariantInit(state);
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        state->vt = VT_I4;
        state->lVal = states_of(*node);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override
    {
        *text = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override
    {
        *file = nullptr;
        *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override
    {
        *text = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        VariantInit(focus);
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        // A window without the system's focus has no focused element, whatever it keeps.
        const access_node* focused = s.window_focused ? s.focused() : nullptr;
        if (focused == nullptr) {
            return S_FALSE;
        }
        express(s, *focused, *focus);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        VariantInit(selection);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return text(child, action, [](const access_node& n) { return n.default_action; });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        if (flags != SELFLAG_TAKEFOCUS) {
            return E_INVALIDARG;
        }
        bool accepted = false;
        const call_result result = m_link.focus(node->id, accepted);
        return result != call_result::done ? failure_of(result) : accepted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override
    {
        *left = *top = *width = *height = 0;
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        const RECT area = s.screen_bounds(*node);
        *left = area.left;
        *top = area.top;
        *width = area.right - area.left;
        *height = area.bottom - area.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        VariantInit(end);
        access_snapshot s;
        const access_node* from = nullptr;
        if (const HRESULT failed = resolve(start, s, from)) {
            return failed;
        }
        const access_node* to = nullptr;
        if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
            const std::vector<const access_node*> family = s.children(from->id);
            to = family.empty()                   ? nullptr
                 : direction == NAVDIR_FIRSTCHILD ? family.front()
                                                  : family.back();
        } else if (direction == NAVDIR_NEXT || direction == NAVDIR_PREVIOUS) {
            to = s.sibling(from->id, direction == NAVDIR_NEXT ? 1 : -1);
        }
        if (to == nullptr) {
            return S_FALSE;
        }
        express(s, *to, *end);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override
    {
        VariantInit(hit);
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const access_node* found = s.at({x, y});
        if (found == nullptr) {
            return S_FALSE;
        }
        express(s, *found, *hit);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        window_link::action_answer answer = window_link::action_answer::gone;
        const call_result result = m_link.default_action(node->id, answer);
        if (result != call_result::done) {
            return failure_of(result);
        }
        // A child hidden since it was looked up is no longer one of ours.
        return answer == window_link::action_answer::posted    ? S_OK
               : answer == window_link::action_answer::refused ? DISP_E_MEMBERNOTFOUND
                                                               : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // IEnumVARIANT: the children in order, as AccessibleChildren asks for them.
    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override
    {
        if (fetched != nullptr) {
            *fetched = 0;
        }
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const std::vector<const access_node*> family = s.children(m_id);
        ULONG given = 0;
        for (; given < wanted && m_cursor < family.size(); ++given, ++m_cursor) {
            VariantInit(&out[given]);
            express(s, *family[m_cursor], out[given]);
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const size_t left = s.children(m_id).size() - std::min(m_cursor, s.children(m_id).size());
        m_cursor += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_cursor = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override
    {
        auto* twin = new msaa_object(m_link.window(), m_id);
        twin->m_cursor = m_cursor;
        *copy = twin;
        return S_OK;
    }

private:
    ~msaa_object() override = default;

    void* find(REFIID iid) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            return static_cast<IAccessible*>(this);
        }
        if (iid == __uuidof(IEnumVARIANT)) {
            return static_cast<IEnumVARIANT*>(this);
        }
        return nullptr;
    }

    // A fresh description with this object's own node; S_OK (0) when both are there.
    HRESULT own(access_snapshot& s, const access_node*& self) const
    {
        const call_result result = m_link.snapshot(s);
        if (result != call_result::done) {
            return failure_of(result);
        }
        self = s.find(m_id);
        return self != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
    }

    // The node a child id names: CHILDID_SELF is this object's node, other ids are node ids.
    HRESULT resolve(const VARIANT& child, access_snapshot& s, const access_node*& node) const
    {
        if (child.vt != VT_I4) {
            return E_INVALIDARG;
        }
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        node = child.lVal == CHILDID_SELF ? self : s.find(child.lVal);
        return node != nullptr ? S_OK : E_INVALIDARG;
    }

    template <typename Field> HRESULT text(const VARIANT& child, BSTR* out, Field field) const
    {
        *out = nullptr;
        access_snapshot s;
        const access_node* node = nullptr;
        if (const HRESULT failed = resolve(child, s, node)) {
            return failed;
        }
        *out = to_bstr(field(*node));
        return *out != nullptr ? S_OK : S_FALSE;
    }

    // A node as this object names it: itself, or the node's own object.
    void express(const access_snapshot&, const access_node& node, VARIANT& out) const
    {
        if (node.id == m_id) {
            out.vt = VT_I4;
            out.lVal = CHILDID_SELF;
        } else {
            out.vt = VT_DISPATCH;
            out.pdispVal = make_msaa_object(m_link.window(), node.id);
        }
    }

    window_link m_link;
    int32_t m_id;
    size_t m_cursor = 0;
};

} // namespace

IAccessible* make_msaa_object(HWND window, int32_t id)
{
    return new msaa_object(window, id);
}

} // namespace zksdk::ui::win32
