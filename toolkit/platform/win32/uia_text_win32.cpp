// UI Automation's text ranges over a document node: a span of UTF-16 units that a reader moves
// by characters, words, lines and paragraphs, reads, measures and scrolls into view. Each call
// takes the document's text and lines afresh from the window's thread.
#include "toolkit/platform/win32/accessibility_com.h"
#include "toolkit/platform/win32/accessibility_impl.h"

#include <algorithm>
#include <cwctype>

namespace zksdk::ui::win32 {

namespace {

// Tells our own ranges from anyone else's, through QueryInterface.
MIDL_INTERFACE("0d5c2a4e-7b31-4f6a-8e29-5a7c1b3d9e40")
range_identity : public IUnknown
{
    virtual void STDMETHODCALLTYPE where(int32_t * node, text_span * span) = 0;
};

} // namespace
} // namespace zksdk::ui::win32

__CRT_UUID_DECL(zksdk::ui::win32::range_identity, 0x0d5c2a4e, 0x7b31, 0x4f6a, 0x8e, 0x29, 0x5a,
                0x7c, 0x1b, 0x3d, 0x9e, 0x40)

namespace zksdk::ui::win32 {

namespace {

int32_t clamp_to(int32_t position, const access_text& text)
{
    return std::clamp(position, 0, static_cast<int32_t>(text.text.size()));
}

class text_range final : public com_object<ITextRangeProvider, range_identity> {
public:
    text_range(HWND window, int32_t id, text_span span) : m_link(window), m_id(id), m_span(span) {}

    void STDMETHODCALLTYPE where(int32_t* node, text_span* span) override
    {
        *node = m_id;
        *span = m_span;
    }

    HRESULT STDMETHODCALLTYPE Clone(ITextRangeProvider** copy) override
    {
        *copy = make_text_range(m_link.window(), m_id, m_span);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Compare(ITextRangeProvider* range, BOOL* same) override
    {
        text_span other;
        *same = FALSE;
        if (!read(range, other)) {
            return E_INVALIDARG;
        }
        *same = other == m_span ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CompareEndpoints(int endpoint, ITextRangeProvider* target,
                                               int target_endpoint, int* order) override
    {
        text_span other;
        *order = 0;
        if (!read(target, other)) {
            return E_INVALIDARG;
        }
        *order = at(m_span, endpoint) - at(other, target_endpoint);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ExpandToEnclosingUnit(int unit) override
    {
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        m_span = enclosing_unit(text, m_span.first, static_cast<text_unit>(unit));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindAttribute(int, VARIANT, BOOL, ITextRangeProvider** found) override
    {
        *found = nullptr; // one format throughout: nothing differs
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindText(BSTR wanted, BOOL backward, BOOL ignore_case,
                                       ITextRangeProvider** found) override
    {
        *found = nullptr;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        std::u16string needle(reinterpret_cast<const char16_t*>(wanted), SysStringLen(wanted));
        std::u16string hay = text.text.substr(static_cast<size_t>(m_span.first),
                                              static_cast<size_t>(m_span.end - m_span.first));
        if (needle.empty()) {
            return S_OK;
        }
        if (ignore_case) {
            const auto lower = [](std::u16string& s) {
                for (char16_t& c : s) {
                    c = static_cast<char16_t>(std::towlower(static_cast<wint_t>(c)));
                }
            };
            lower(needle);
            lower(hay);
        }
        const size_t where = backward ? hay.rfind(needle) : hay.find(needle);
        if (where != std::u16string::npos) {
            const int32_t first = m_span.first + static_cast<int32_t>(where);
            *found = make_text_range(m_link.window(), m_id,
                                     {first, first + static_cast<int32_t>(needle.size())});
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeValue(int attribute, VARIANT* value) override
    {
        VariantInit(value);
        if (attribute == uia::is_read_only_attribute) {
            value->vt = VT_BOOL;
            value->boolVal = VARIANT_TRUE;
            return S_OK;
        }
        if (const auto not_supported = access_api().not_supported) {
            value->vt = VT_UNKNOWN;
            return not_supported(&value->punkVal);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBoundingRectangles(SAFEARRAY** boxes) override
    {
        *boxes = nullptr;
        access_text text;
        access_snapshot s;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        if (const call_result result = m_link.snapshot(s); result != call_result::done) {
            return uia_failure(result);
        }
        const std::vector<rect> found = range_boxes(text, m_span);
        *boxes = SafeArrayCreateVector(VT_R8, 0, static_cast<ULONG>(4 * found.size()));
        if (*boxes == nullptr) {
            return E_OUTOFMEMORY;
        }
        LONG index = 0;
        for (const rect& box : found) {
            access_node area;
            area.id = -1;
            area.bounds = box;
            const RECT pixels = s.screen_bounds(area);
            for (double v : {static_cast<double>(pixels.left), static_cast<double>(pixels.top),
                             static_cast<double>(pixels.right - pixels.left),
                             static_cast<double>(pixels.bottom - pixels.top)}) {
                SafeArrayPutElement(*boxes, &index, &v);
                ++index;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEnclosingElement(IRawElementProviderSimple** element) override
    {
        *element = make_uia_element(m_link.window(), m_id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetText(int max_length, BSTR* out) override
    {
        *out = nullptr;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        const int32_t first = clamp_to(m_span.first, text);
        int32_t length = clamp_to(m_span.end, text) - first;
        if (max_length >= 0) {
            length = std::min(length, max_length);
        }
        *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.text.data() + first),
                                 static_cast<UINT>(std::max(length, 0)));
        return S_OK;
    }
    // A range with characters moves as a whole unit and covers one unit where it lands; an
    // empty one stays empty.
    HRESULT STDMETHODCALLTYPE Move(int unit, int count, int* moved) override
    {
        *moved = 0;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        const auto kind = static_cast<text_unit>(unit);
        const auto length = static_cast<int32_t>(text.text.size());
        if (m_span.first == m_span.end) {
            int32_t position = m_span.first;
            *moved = move_by_units(text, position, kind, count);
            m_span = {position, position};
            return S_OK;
        }
        const int32_t start = enclosing_unit(text, m_span.first, kind).first;
        int32_t position = start;
        *moved = move_by_units(text, position, kind, count);
        // The text's end starts no unit: a range that would land there went one unit too far,
        // and the move it counts is the one that stops on the last unit.
        if (position >= length && *moved > 0) {
            position = start;
            *moved = move_by_units(text, position, kind, *moved - 1);
        }
        m_span = position >= length ? text_span{length, length}
                                    : text_span{position, enclosing_unit(text, position, kind).end};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveEndpointByUnit(int endpoint, int unit, int count,
                                                 int* moved) override
    {
        *moved = 0;
        access_text text;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        int32_t position = at(m_span, endpoint);
        *moved = move_by_units(text, position, static_cast<text_unit>(unit), count);
        place(endpoint, position);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveEndpointByRange(int endpoint, ITextRangeProvider* target,
                                                  int target_endpoint) override
    {
        text_span other;
        if (!read(target, other)) {
            return E_INVALIDARG;
        }
        place(endpoint, at(other, target_endpoint));
        return S_OK;
    }
    // The document is read-only and shows no selection: selecting a range moves the reader's
    // place there, which is how a reader reading on (NVDA's say-all) moves the caret.
    HRESULT STDMETHODCALLTYPE Select() override
    {
        const call_result result = m_link.scroll(m_id, m_span, true, true);
        return result == call_result::done ? S_OK : uia_failure(result);
    }
    HRESULT STDMETHODCALLTYPE AddToSelection() override { return uia::invalid_operation; }
    HRESULT STDMETHODCALLTYPE RemoveFromSelection() override { return uia::invalid_operation; }
    HRESULT STDMETHODCALLTYPE ScrollIntoView(BOOL align_to_top) override
    {
        const call_result result = m_link.scroll(m_id, m_span, align_to_top != FALSE, false);
        return result == call_result::done ? S_OK : uia_failure(result);
    }
    // The paragraphs the range touches, as the document's children.
    HRESULT STDMETHODCALLTYPE GetChildren(SAFEARRAY** children) override
    {
        *children = nullptr;
        access_text text;
        access_snapshot s;
        if (const HRESULT failed = fetch(text)) {
            return failed;
        }
        if (const call_result result = m_link.snapshot(s); result != call_result::done) {
            return uia_failure(result);
        }
        const std::vector<text_span> pieces = paragraphs(text.text);
        const std::vector<const access_node*> parts = s.children(m_id);
        std::vector<int32_t> touched;
        for (size_t i = 0; i < pieces.size() && i < parts.size(); ++i) {
            if (pieces[i].first < m_span.end && m_span.first < pieces[i].end) {
                touched.push_back(parts[i]->id);
            }
        }
        *children = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(touched.size()));
        if (*children == nullptr) {
            return E_OUTOFMEMORY;
        }
        for (LONG i = 0; i < static_cast<LONG>(touched.size()); ++i) {
            IRawElementProviderSimple* element =
                make_uia_element(m_link.window(), touched[static_cast<size_t>(i)]);
            SafeArrayPutElement(*children, &i, element);
            element->Release();
        }
        return S_OK;
    }

private:
    ~text_range() override = default;

    void* find(REFIID iid) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(ITextRangeProvider)) {
            return static_cast<ITextRangeProvider*>(this);
        }
        if (iid == __uuidof(range_identity)) {
            return static_cast<range_identity*>(this);
        }
        return nullptr;
    }

    static int32_t at(const text_span& span, int endpoint)
    {
        return endpoint == uia::endpoint_start ? span.first : span.end;
    }
    // Moving one end past the other brings the other along.
    void place(int endpoint, int32_t position)
    {
        if (endpoint == uia::endpoint_start) {
            m_span.first = position;
            m_span.end = std::max(m_span.end, position);
        } else {
            m_span.end = position;
            m_span.first = std::min(m_span.first, position);
        }
    }
    // Another range of the same document.
    bool read(ITextRangeProvider* range, text_span& span) const
    {
        range_identity* ours = nullptr;
        if (range == nullptr || FAILED(range->QueryInterface(__uuidof(range_identity),
                                                             reinterpret_cast<void**>(&ours)))) {
            return false;
        }
        int32_t node = -1;
        ours->where(&node, &span);
        ours->Release();
        return node == m_id;
    }
    HRESULT fetch(access_text& text)
    {
        bool found = false;
        const call_result result = m_link.text(m_id, text, found);
        if (result != call_result::done) {
            return uia_failure(result);
        }
        if (!found) {
            return uia::element_not_available;
        }
        m_span = {clamp_to(m_span.first, text), clamp_to(m_span.end, text)};
        return S_OK;
    }

    window_link m_link;
    int32_t m_id;
    text_span m_span;
};

} // namespace

ITextRangeProvider* make_text_range(HWND window, int32_t id, text_span range)
{
    return new text_range(window, id, range);
}

} // namespace zksdk::ui::win32
