// access-client through Active Accessibility: the window's client object and everything below
// it, as a screen reader walks it, and the default action of an element found by name.
#include "tools/access_client/access_client.h"

#include <windows.h>
#include <functional>
#include <oleacc.h>
#include <vector>

namespace access_client {

namespace {

// A misbehaving provider could describe a cycle; no real window is this deep.
constexpr int deepest = 32;

// An element as Active Accessibility addresses it: an object, and a child id inside it
// (CHILDID_SELF for the object itself).
struct element {
    IAccessible* object;
    VARIANT child;
};

std::wstring take(BSTR text)
{
    std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return result;
}

std::wstring name_of(const element& e)
{
    BSTR text = nullptr;
    return SUCCEEDED(e.object->get_accName(e.child, &text)) ? take(text) : L"";
}

std::wstring role_of(const element& e)
{
    VARIANT role;
    VariantInit(&role);
    if (FAILED(e.object->get_accRole(e.child, &role)) || role.vt != VT_I4) {
        VariantClear(&role);
        return L"(no role)";
    }
    wchar_t text[128] = L"";
    GetRoleTextW(static_cast<DWORD>(role.lVal), text, 128);
    return text;
}

std::wstring states_of(const element& e)
{
    static const struct {
        LONG bit;
        const wchar_t* name;
    } known[] = {{STATE_SYSTEM_FOCUSABLE, L"focusable"}, {STATE_SYSTEM_FOCUSED, L"focused"},
                 {STATE_SYSTEM_CHECKED, L"checked"},     {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
                 {STATE_SYSTEM_INVISIBLE, L"invisible"}, {STATE_SYSTEM_READONLY, L"read-only"},
                 {STATE_SYSTEM_LINKED, L"linked"}};
    VARIANT state;
    VariantInit(&state);
    if (FAILED(e.object->get_accState(e.child, &state)) || state.vt != VT_I4) {
        VariantClear(&state);
        return L"";
    }
    std::wstring result;
    for (const auto& flag : known) {
        if ((state.lVal & flag.bit) != 0) {
            result += (result.empty() ? L"" : L", ") + std::wstring(flag.name);
        }
    }
    return result;
}

// A document's value is its whole text: the line shows its start and its length.
std::wstring shortened(const std::wstring& text)
{
    constexpr size_t longest = 60;
    if (text.size() <= longest) {
        return L"\"" + one_line(text) + L"\"";
    }
    return L"\"" + one_line(text).substr(0, longest - 3) + L"...\" (" +
           std::to_wstring(text.size()) + L" characters)";
}

std::wstring line_of(const element& e, int depth)
{
    std::wstring line(static_cast<size_t>(depth) * 2, L' ');
    line += role_of(e) + L" \"" + one_line(name_of(e)) + L"\"";
    BSTR text = nullptr;
    if (e.object->get_accValue(e.child, &text) == S_OK) {
        const std::wstring value = take(text);
        if (!value.empty()) {
            line += L" = " + shortened(value);
        }
    }
    const std::wstring states = states_of(e);
    if (!states.empty()) {
        line += L" [" + states + L"]";
    }
    text = nullptr;
    if (e.object->get_accDefaultAction(e.child, &text) == S_OK) {
        const std::wstring action = take(text);
        if (!action.empty()) {
            line += L" (" + action + L")";
        }
    }
    LONG x = 0, y = 0, width = 0, height = 0;
    if (SUCCEEDED(e.object->accLocation(&x, &y, &width, &height, e.child))) {
        line += L" @ " + std::to_wstring(x) + L"," + std::to_wstring(y) + L" " +
                std::to_wstring(width) + L"x" + std::to_wstring(height);
    }
    return line;
}

using visitor = std::function<bool(const element&, int depth)>;

// Visits the object, then its children in order; false once the visitor asks to stop.
bool walk(IAccessible* object, int depth, const visitor& visit)
{
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    if (!visit({object, self}, depth) || depth >= deepest) {
        return depth < deepest;
    }
    LONG count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0) {
        return true;
    }
    std::vector<VARIANT> children(static_cast<size_t>(count));
    LONG got = 0;
    if (FAILED(AccessibleChildren(object, 0, count, children.data(), &got))) {
        return true;
    }
    bool going = true;
    for (LONG i = 0; i < got; ++i) {
        VARIANT& child = children[static_cast<size_t>(i)];
        if (going && child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
            IAccessible* inner = nullptr;
            if (SUCCEEDED(child.pdispVal->QueryInterface(__uuidof(IAccessible),
                                                         reinterpret_cast<void**>(&inner)))) {
                going = walk(inner, depth + 1, visit);
                inner->Release();
            }
        } else if (going && child.vt == VT_I4) {
            going = visit({object, child}, depth + 1);
        }
        VariantClear(&child);
    }
    return going;
}

// The window's client object, or null (with a message) when the window offers none.
IAccessible* client_object(HWND window)
{
    IAccessible* object = nullptr;
    const HRESULT result =
        AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&object));
    if (FAILED(result) || object == nullptr) {
        print_error(L"access-client: the window offers no accessible object");
        return nullptr;
    }
    return object;
}

} // namespace

int print_msaa_tree(HWND window)
{
    IAccessible* root = client_object(window);
    if (root == nullptr) {
        return not_found;
    }
    walk(root, 0, [](const element& e, int depth) {
        print_line(line_of(e, depth));
        return true;
    });
    root->Release();
    return succeeded;
}

int press(HWND window, const std::wstring& name)
{
    IAccessible* root = client_object(window);
    if (root == nullptr) {
        return not_found;
    }
    HRESULT result = E_FAIL;
    std::wstring pressed;
    walk(root, 0, [&](const element& e, int) {
        BSTR action = nullptr;
        if (name_of(e) != name || e.object->get_accDefaultAction(e.child, &action) != S_OK ||
            take(action).empty()) {
            return true;
        }
        pressed = line_of(e, 0);
        result = e.object->accDoDefaultAction(e.child);
        return false;
    });
    root->Release();
    if (pressed.empty()) {
        print_error(L"access-client: no element \"" + name + L"\" with a default action");
        return not_found;
    }
    if (FAILED(result)) {
        print_error(L"access-client: the default action failed: " + pressed);
        return not_found;
    }
    print_line(L"pressed " + pressed);
    return succeeded;
}

int wait_for_name(HWND window, const std::wstring& text)
{
    for (;;) {
        IAccessible* root = client_object(window);
        std::wstring found;
        if (root != nullptr) {
            walk(root, 0, [&](const element& e, int) {
                if (name_of(e).find(text) == std::wstring::npos) {
                    return true;
                }
                found = line_of(e, 0);
                return false;
            });
            root->Release();
        }
        if (!found.empty()) {
            print_line(found);
            return succeeded;
        }
        if (!IsWindow(window) || time_left() == 0) {
            print_error(L"access-client: no element named \"" + text + L"\" came");
            return timed_out;
        }
        Sleep(200);
    }
}

} // namespace access_client
