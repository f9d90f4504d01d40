// UI Automation's control patterns for a node, each an object of its own that answers for its
// interface alone: Invoke for buttons and links, Toggle for check boxes, RangeValue and Value for
// a progress bar, Value and Text for a document.
#include "toolkit/platform/win32/accessibility_com.h"
#include "toolkit/platform/win32/accessibility_impl.h"

namespace zksdk::ui::win32 {

namespace {

// A pattern of one node: its link to the window and the node's current description.
template <typename Interface> class node_pattern : public com_object<Interface> {
public:
    node_pattern(HWND window, int32_t id) : m_link(window), m_id(id) {}

protected:
    HRESULT own(access_snapshot& s, const access_node*& self) const
    {
        const call_result result = m_link.snapshot(s);
        if (result != call_result::done) {
            return uia_failure(result);
        }
        self = s.find(m_id);
        return self != nullptr ? S_OK : uia::element_not_available;
    }
    // UI Automation tells a gone element from a disabled one: a reader says "unavailable" for
    // the first and "disabled" for the second.
    HRESULT act() const
    {
        window_link::action_answer answer = window_link::action_answer::gone;
        const call_result result = m_link.default_action(m_id, answer);
        if (result != call_result::done) {
            return uia_failure(result);
        }
        switch (answer) {
        case window_link::action_answer::posted:
            return S_OK;
        case window_link::action_answer::refused:
            return uia::element_not_enabled;
        case window_link::action_answer::gone:
            break;
        }
        return uia::element_not_available;
    }

    window_link m_link;
    int32_t m_id;

private:
    void* find(REFIID iid) override
    {
        return iid == __uuidof(IUnknown) || iid == __uuidof(Interface)
                   ? static_cast<Interface*>(this)
                   : nullptr;
    }
};

class invoke_pattern final : public node_pattern<IInvokeProvider> {
public:
    using node_pattern::node_pattern;
    HRESULT STDMETHODCALLTYPE Invoke() override { return act(); }
};

class toggle_pattern final : public node_pattern<IToggleProvider> {
public:
    using node_pattern::node_pattern;
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
};

// A progress bar, 0 to 100, read only.
class range_value_pattern final : public node_pattern<IRangeValueProvider> {
public:
    using node_pattern::node_pattern;
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
};

// A document's whole text, a progress bar's "13%"; read only.
class value_pattern final : public node_pattern<IValueProvider> {
public:
    using node_pattern::node_pattern;
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
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) override
    {
        *read_only = TRUE;
        return S_OK;
    }
};

// A document read as text. There is no selection to make; the reader's place (the caret) is
// where the document's keys put it, else where the view starts.
class text_pattern final : public node_pattern<ITextProvider> {
public:
    using node_pattern::node_pattern;

    HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** ranges) override
    {
        return one_range(ranges, [](const access_text& t) {
            const int32_t caret = t.caret >= 0 ? t.caret : visible_span(t).first;
            return text_span{caret, caret};
        });
    }
    HRESULT STDMETHODCALLTYPE GetVisibleRanges(SAFEARRAY** ranges) override
    {
        return one_range(ranges, [](const access_text& t) { return visible_span(t); });
    }
    HRESULT STDMETHODCALLTYPE RangeFromChild(IRawElementProviderSimple* child,
                                             ITextRangeProvider** range) override
    {
        *range = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        const int32_t id = node_of_provider(child);
        const std::vector<const access_node*> parts = s.children(m_id);
        for (size_t i = 0; i < parts.size(); ++i) {
            if (parts[i]->id != id) {
                continue;
            }
            access_text text;
            if (const HRESULT failed = fetch(text)) {
                return failed;
            }
            const std::vector<text_span> pieces = paragraphs(text.text);
            if (i < pieces.size()) {
                *range = make_text_range(m_link.window(), m_id, pieces[i]);
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE RangeFromPoint(UiaPoint screen, ITextRangeProvider** range) override
    {
        *range = nullptr;
        access_snapshot s;
        const access_node* self = nullptr;
        access_text text;
        if (const HRESULT failed = own(s, self)) {
            return failed;
        }
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        // Screen pixels to the window's DIPs.
        const point at{mul_div(static_cast<int32_t>(screen.x) - s.origin.x, 96, s.dpi_x),
                       mul_div(static_cast<int32_t>(screen.y) - s.origin.y, 96, s.dpi_y)};
        const int32_t position = position_at(text, at);
        *range = make_text_range(m_link.window(), m_id, {position, position});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_DocumentRange(ITextRangeProvider** range) override
    {
        *range = nullptr;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        *range =
            make_text_range(m_link.window(), m_id, {0, static_cast<int32_t>(text.text.size())});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_SupportedTextSelection(int* supported) override
    {
        *supported = uia::selection_none;
        return S_OK;
    }

private:
    HRESULT fetch(access_text& text) const
    {
        bool found = false;
        const call_result result = m_link.text(m_id, text, found);
        return result != call_result::done ? uia_failure(result)
               : found                     ? S_OK
                                           : uia::element_not_available;
    }
    template <typename Pick> HRESULT one_range(SAFEARRAY** ranges, Pick pick) const
    {
        *ranges = nullptr;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        *ranges = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
        if (*ranges == nullptr) {
            return E_OUTOFMEMORY;
        }
        ITextRangeProvider* range = make_text_range(m_link.window(), m_id, pick(text));
        LONG index = 0;
        SafeArrayPutElement(*ranges, &index, range); // the array keeps its own reference
        range->Release();
        return S_OK;
    }
};

} // namespace

IUnknown* make_uia_pattern(HWND window, int32_t id, access_role role, PATTERNID pattern)
{
    const bool button = role == access_role::push_button || role == access_role::link;
    if (pattern == uia::pattern::invoke && button) {
        return static_cast<IInvokeProvider*>(new invoke_pattern(window, id));
    }
    if (pattern == uia::pattern::toggle && role == access_role::check_button) {
        return static_cast<IToggleProvider*>(new toggle_pattern(window, id));
    }
    if (pattern == uia::pattern::range_value && role == access_role::progress_bar) {
        return static_cast<IRangeValueProvider*>(new range_value_pattern(window, id));
    }
    if (pattern == uia::pattern::value &&
        (role == access_role::document || role == access_role::progress_bar)) {
        return static_cast<IValueProvider*>(new value_pattern(window, id));
    }
    if (pattern == uia::pattern::text && role == access_role::document) {
        return static_cast<ITextProvider*>(new text_pattern(window, id));
    }
    return nullptr;
}

} // namespace zksdk::ui::win32
