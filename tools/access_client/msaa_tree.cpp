// access-client through Active Accessibility: the window's client object and everything below
// it, as a screen reader walks it, and the default action of an element found by name.
#include "tools/access_client/access_client.h"

#include <windows.h>
#include <functional>
#include <oleacc.h>
#include <vector>

namespace access_client {

namespace {

// An element as Active Accessibility addresses it: an object, and a child id inside it
// (CHILDID_SELF for the object itself).
struct element {
    IAccessible* object;
    VARIANT child;
};

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

// The names of the element's states, in the order the tree prints them.
std::vector<std::wstring> states_of(const element& e)
{
    static const struct {
        LONG bit;
        const wchar_t* name;
    } known[] = {{STATE_SYSTEM_FOCUSABLE, L"focusable"}, {STATE_SYSTEM_FOCUSED, L"focused"},
                 {STATE_SYSTEM_CHECKED, L"checked"},     {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
                 {STATE_SYSTEM_INVISIBLE, L"invisible"}, {STATE_SYSTEM_READONLY, L"read-only"},
                 {STATE_SYSTEM_LINKED, L"linked"},       {STATE_SYSTEM_DEFAULT, L"default"},
                 {STATE_SYSTEM_OFFSCREEN, L"offscreen"}};
    VARIANT state;
    VariantInit(&state);
    std::vector<std::wstring> result;
    if (FAILED(e.object->get_accState(e.child, &state)) || state.vt != VT_I4) {
        VariantClear(&state);
        return result;
    }
    for (const auto& flag : known) {
        if ((state.lVal & flag.bit) != 0) {
            result.emplace_back(flag.name);
        }
    }
    return result;
}

bool meets(const element& e, const std::vector<state_condition>& conditions)
{
    const std::vector<std::wstring> states = states_of(e);
    for (const state_condition& condition : conditions) {
        bool has = false;
        for (const std::wstring& state : states) {
            has = has || state == condition.state;
        }
        if (has != condition.wanted) {
            return false;
        }
    }
    return true;
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
    text = nullptr;
    if (e.object->get_accDescription(e.child, &text) == S_OK) {
        const std::wstring description = take(text);
        if (!description.empty()) {
            line += L" ~ " + shortened(description);
        }
    }
    const std::vector<std::wstring> states = states_of(e);
    for (size_t i = 0; i < states.size(); ++i) {
        line += (i == 0 ? L" [" : L", ") + states[i];
    }
    if (!states.empty()) {
        line += L"]";
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

int print_focus(HWND window)
{
    IAccessible* root = client_object(window);
    if (root == nullptr) {
        return not_found;
    }
    VARIANT focus;
    VariantInit(&focus);
    int code = not_found;
    if (SUCCEEDED(root->get_accFocus(&focus))) {
        IAccessible* inner = nullptr;
        if (focus.vt == VT_I4) {
            print_line(line_of({root, focus}, 0));
            code = succeeded;
        } else if (focus.vt == VT_DISPATCH && focus.pdispVal != nullptr &&
                   SUCCEEDED(focus.pdispVal->QueryInterface(__uuidof(IAccessible),
                                                            reinterpret_cast<void**>(&inner)))) {
            VARIANT self;
            VariantInit(&self);
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            print_line(line_of({inner, self}, 0));
            inner->Release();
            code = succeeded;
        }
    }
    VariantClear(&focus);
    root->Release();
    if (code != succeeded) {
        print_error(L"access-client: nothing in the window has the focus");
    }
    return code;
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

int check_paragraphs(HWND window, const std::wstring& name)
{
    IAccessible* root = client_object(window);
    if (root == nullptr) {
        return not_found;
    }
    // The element, then every child walked under it.
    std::wstring value;
    std::vector<std::wstring> names;
    int depth_of_element = -1;
    bool found = false;
    walk(root, 0, [&](const element& e, int depth) {
        if (depth_of_element >= 0) {
            if (depth <= depth_of_element) {
                return false;
            }
            if (depth == depth_of_element + 1) {
                names.push_back(name_of(e));
            }
            return true;
        }
        // The element with a text of its own: a page named like its document holds it.
        BSTR text = nullptr;
        if (name_of(e) == name && e.child.lVal == CHILDID_SELF &&
            e.object->get_accValue(e.child, &text) == S_OK) {
            value = take(text);
            depth_of_element = value.empty() ? -1 : depth;
            found = !value.empty();
        }
        return true;
    });
    root->Release();
    if (!found) {
        print_error(L"access-client: no element \"" + name + L"\" with children");
        return not_found;
    }
    // The value's lines with text, in order, are the children's names.
    std::vector<std::wstring> lines(1);
    for (const wchar_t c : value) {
        if (c == L'\n' || c == L'\r') {
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    std::erase_if(lines, [](const std::wstring& line) { return line.empty(); });
    size_t same = 0;
    while (same < lines.size() && same < names.size() && lines[same] == names[same]) {
        ++same;
    }
    print_line(std::to_wstring(names.size()) + L" paragraphs of " + std::to_wstring(value.size()) +
               L" characters");
    if (same == lines.size() && same == names.size() && !names.empty()) {
        print_line(L"they join to the whole text");
        return succeeded;
    }
    print_line(L"they differ at paragraph " + std::to_wstring(same + 1));
    return not_found;
}

int wait_for(HWND window, const std::wstring& text, const std::vector<state_condition>& states)
{
    for (;;) {
        IAccessible* root = client_object(window);
        std::wstring found;
        if (root != nullptr) {
            walk(root, 0, [&](const element& e, int) {
                if (name_of(e).find(text) == std::wstring::npos || !meets(e, states)) {
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
            std::wstring wanted;
            for (const state_condition& condition : states) {
                wanted += (condition.wanted ? L" " : L" not ") + condition.state;
            }
            print_error(L"access-client: no element named \"" + text + L"\"" + wanted + L" came");
            return timed_out;
        }
        Sleep(100);
    }
}

} // namespace access_client
