// access-client through the flat UI Automation client API: the window's element and its
// descendants with name, control type and automation id. Only navigation and property reads
// are used: they are what every UI Automation implementation answers.
#include "tools/access_client/access_client.h"

#include "toolkit/platform/win32/uia_declarations.h"

#include <windows.h>
#include <oleauto.h>

namespace access_client {

namespace {

namespace uia = zksdk::ui::uia;
using node = uia::node_handle;

struct client_functions {
    HRESULT(WINAPI* node_from_handle)(HWND, node*) = nullptr;
    BOOL(WINAPI* release)(node) = nullptr;
    HRESULT(WINAPI* property)(node, PROPERTYID, VARIANT*) = nullptr;
    HRESULT(WINAPI* navigate)
    (node, NavigateDirection, uia::condition*, uia::cache_request*, SAFEARRAY**, BSTR*) = nullptr;
    HRESULT(WINAPI* node_from_variant)(VARIANT*, node*) = nullptr;
};

template <typename Function> void look_up(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// UIAutomationCore.dll has no import library in mingw-w64, and is no known DLL either.
bool load(client_functions& api)
{
    const HMODULE library =
        LoadLibraryExW(L"UIAutomationCore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) {
        return false;
    }
    look_up(library, "UiaNodeFromHandle", api.node_from_handle);
    look_up(library, "UiaNodeRelease", api.release);
    look_up(library, "UiaGetPropertyValue", api.property);
    look_up(library, "UiaNavigate", api.navigate);
    look_up(library, "UiaHUiaNodeFromVariant", api.node_from_variant);
    return api.node_from_handle != nullptr && api.release != nullptr && api.property != nullptr &&
           api.navigate != nullptr && api.node_from_variant != nullptr;
}

const wchar_t* control_type_name(int id)
{
    switch (id) {
    case uia::control_type::button:
        return L"button";
    case uia::control_type::check_box:
        return L"check box";
    case uia::control_type::hyperlink:
        return L"hyperlink";
    case uia::control_type::progress_bar:
        return L"progress bar";
    case uia::control_type::text:
        return L"text";
    case uia::control_type::group:
        return L"group";
    case uia::control_type::document:
        return L"document";
    case uia::control_type::window:
        return L"window";
    case uia::control_type::pane:
        return L"pane";
    default:
        return nullptr;
    }
}

class walker {
public:
    explicit walker(const client_functions& api) : m_api(api) {}

    std::wstring text(node n, PROPERTYID id) const
    {
        VARIANT value;
        VariantInit(&value);
        std::wstring result;
        if (SUCCEEDED(m_api.property(n, id, &value)) && value.vt == VT_BSTR &&
            value.bstrVal != nullptr) {
            result.assign(value.bstrVal, SysStringLen(value.bstrVal));
        }
        VariantClear(&value);
        return result;
    }

    std::wstring control_type(node n) const
    {
        VARIANT value;
        VariantInit(&value);
        std::wstring result = L"(no control type)";
        if (SUCCEEDED(m_api.property(n, uia::property::control_type, &value)) &&
            value.vt == VT_I4) {
            const wchar_t* known = control_type_name(value.lVal);
            result = known != nullptr ? known : L"control type " + std::to_wstring(value.lVal);
        }
        VariantClear(&value);
        return result;
    }

    // The element in that direction, or null; the caller releases it.
    node step(node from, NavigateDirection direction) const
    {
        uia::condition everything;
        uia::cache_request request;
        request.view_condition = &everything;
        SAFEARRAY* data = nullptr;
        BSTR structure = nullptr;
        node found = nullptr;
        if (SUCCEEDED(m_api.navigate(from, direction, &everything, &request, &data, &structure)) &&
            data != nullptr) {
            LONG first[2] = {0, 0};
            VARIANT cell;
            VariantInit(&cell);
            if (SUCCEEDED(SafeArrayGetElement(data, first, &cell))) {
                m_api.node_from_variant(&cell, &found);
            }
            VariantClear(&cell);
        }
        if (data != nullptr) {
            SafeArrayDestroy(data);
        }
        SysFreeString(structure);
        return found;
    }

    void print(node n, int depth) const
    {
        std::wstring line(static_cast<size_t>(depth) * 2, L' ');
        line += control_type(n) + L" \"" + one_line(text(n, uia::property::name)) + L"\"";
        const std::wstring id = text(n, uia::property::automation_id);
        if (!id.empty()) {
            line += L" #" + id;
        }
        print_line(line);
        if (depth >= deepest) {
            return;
        }
        for (node child = step(n, NavigateDirection_FirstChild); child != nullptr;) {
            print(child, depth + 1);
            const node next = step(child, NavigateDirection_NextSibling);
            m_api.release(child);
            child = next;
        }
    }

private:
    const client_functions& m_api;
};

} // namespace

int print_uia_tree(HWND window)
{
    client_functions api;
    if (!load(api)) {
        print_error(L"access-client: UI Automation is not available");
        return not_found;
    }
    node root = nullptr;
    const HRESULT result = api.node_from_handle(window, &root);
    if (FAILED(result) || root == nullptr) {
        wchar_t code[16];
        wsprintfW(code, L"%08lx", static_cast<unsigned long>(result));
        print_error(L"access-client: UI Automation offers no element for the window (" +
                    std::wstring(code) + L")");
        return not_found;
    }
    walker(api).print(root, 0);
    api.release(root);
    return succeeded;
}

} // namespace access_client
