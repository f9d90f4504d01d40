// What the toolkit and its accessibility client need of UI Automation beyond mingw-w64's
// headers: the pattern providers, the ids, and the flat client and provider entry points.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>
#include <uiautomationcore.h>

// uiautomationcoreapi.h is left out on purpose: it names a parameter `new`, which C++ refuses.

namespace zksdk::ui::uia {

// Identifiers, as Windows numbers them.
namespace pattern {
constexpr PATTERNID invoke = 10000;
constexpr PATTERNID value = 10002;
constexpr PATTERNID range_value = 10003;
constexpr PATTERNID text = 10014;
constexpr PATTERNID toggle = 10015;
} // namespace pattern

namespace property {
constexpr PROPERTYID runtime_id = 30000;
constexpr PROPERTYID bounding_rectangle = 30001;
constexpr PROPERTYID control_type = 30003;
constexpr PROPERTYID name = 30005;
constexpr PROPERTYID has_keyboard_focus = 30008;
constexpr PROPERTYID is_keyboard_focusable = 30009;
constexpr PROPERTYID is_enabled = 30010;
constexpr PROPERTYID automation_id = 30011;
constexpr PROPERTYID is_offscreen = 30022;
constexpr PROPERTYID framework_id = 30024;
constexpr PROPERTYID value_value = 30045;
constexpr PROPERTYID range_value_value = 30047;
constexpr PROPERTYID toggle_state = 30086;
constexpr PROPERTYID live_setting = 30135;
constexpr PROPERTYID full_description = 30159;
constexpr PROPERTYID is_dialog = 30174;
} // namespace property

namespace control_type {
constexpr CONTROLTYPEID button = 50000;
constexpr CONTROLTYPEID check_box = 50002;
constexpr CONTROLTYPEID hyperlink = 50005;
constexpr CONTROLTYPEID progress_bar = 50012;
constexpr CONTROLTYPEID text = 50020;
constexpr CONTROLTYPEID group = 50026;
constexpr CONTROLTYPEID document = 50030;
constexpr CONTROLTYPEID window = 50032;
constexpr CONTROLTYPEID pane = 50033;
} // namespace control_type

namespace event {
constexpr EVENTID structure_changed = 20002;
constexpr EVENTID focus_changed = 20005;
constexpr EVENTID layout_invalidated = 20008;
constexpr EVENTID window_opened = 20016;
constexpr EVENTID text_selection_changed = 20014;
constexpr EVENTID system_alert = 20023;
constexpr EVENTID live_region_changed = 20024;
constexpr EVENTID notification = 20035;
} // namespace event

// Text attributes; only whether the text is read only is told.
constexpr int is_read_only_attribute = 40015;

enum structure_change { child_added = 0, child_removed = 1, children_invalidated = 2 };
enum notification_kind { action_completed = 2, action_aborted = 3 };
enum notification_processing { important_all = 0, important_most_recent = 1 };
enum text_endpoint { endpoint_start = 0, endpoint_end = 1 };
enum supported_text_selection { selection_none = 0, selection_single = 1 };

constexpr int append_runtime_id = 3;
constexpr LONG root_object_id = -25;
constexpr HRESULT element_not_enabled = static_cast<HRESULT>(0x80040200);
constexpr HRESULT element_not_available = static_cast<HRESULT>(0x80040201);
constexpr HRESULT invalid_operation = static_cast<HRESULT>(0x80131509);
constexpr HRESULT timeout = static_cast<HRESULT>(0x80131505);

enum toggle_state { toggle_off = 0, toggle_on = 1, toggle_indeterminate = 2 };

// The flat client API's request shapes: a condition that accepts everything and a request for
// the element alone.
struct condition {
    int type = 0; // ConditionType_True
};
struct cache_request {
    condition* view_condition = nullptr;
    int scope = 1; // TreeScope_Element
    PROPERTYID* properties = nullptr;
    int property_count = 0;
    PATTERNID* patterns = nullptr;
    int pattern_count = 0;
    int element_mode = 1; // AutomationElementMode_Full
};

DECLARE_HANDLE(node_handle);

} // namespace zksdk::ui::uia

// The pattern providers mingw-w64 does not declare, with the layouts Windows gives them.
MIDL_INTERFACE("54fcb24b-e18e-47a2-b4d3-eccbe77599a2")
IInvokeProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
__CRT_UUID_DECL(IInvokeProvider, 0x54fcb24b, 0xe18e, 0x47a2, 0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75,
                0x99, 0xa2)

MIDL_INTERFACE("56d00bd0-c4f4-433c-a836-1a52a57e0892")
IToggleProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Toggle() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToggleState(int* state) = 0;
};
__CRT_UUID_DECL(IToggleProvider, 0x56d00bd0, 0xc4f4, 0x433c, 0xa8, 0x36, 0x1a, 0x52, 0xa5, 0x7e,
                0x08, 0x92)

MIDL_INTERFACE("36dc7aef-33e6-4691-afe1-2be7274b3d33")
IRangeValueProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL * read_only) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) = 0;
};
__CRT_UUID_DECL(IRangeValueProvider, 0x36dc7aef, 0x33e6, 0x4691, 0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b,
                0x3d, 0x33)

MIDL_INTERFACE("c7935180-6fb3-4201-b174-7df73adbf64a")
IValueProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL * read_only) = 0;
};
__CRT_UUID_DECL(IValueProvider, 0xc7935180, 0x6fb3, 0x4201, 0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb,
                0xf6, 0x4a)

struct UiaPoint {
    double x;
    double y;
};

// The text pattern (UIAutomationCore.idl): a document's text as ranges a reader moves.
MIDL_INTERFACE("5347ad7b-c355-46f8-aff5-909033582f63")
ITextRangeProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Clone(ITextRangeProvider * *copy) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compare(ITextRangeProvider * range, BOOL * same) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareEndpoints(int endpoint, ITextRangeProvider* target,
                                                       int target_endpoint, int* order) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExpandToEnclosingUnit(int unit) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindAttribute(int attribute, VARIANT value, BOOL backward,
                                                    ITextRangeProvider** found) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindText(BSTR text, BOOL backward, BOOL ignore_case,
                                               ITextRangeProvider * *found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeValue(int attribute, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoundingRectangles(SAFEARRAY * *boxes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEnclosingElement(IRawElementProviderSimple * *element) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetText(int max_length, BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE Move(int unit, int count, int* moved) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEndpointByUnit(int endpoint, int unit, int count,
                                                         int* moved) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveEndpointByRange(int endpoint, ITextRangeProvider* target,
                                                          int target_endpoint) = 0;
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE ScrollIntoView(BOOL align_to_top) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChildren(SAFEARRAY * *children) = 0;
};
__CRT_UUID_DECL(ITextRangeProvider, 0x5347ad7b, 0xc355, 0x46f8, 0xaf, 0xf5, 0x90, 0x90, 0x33, 0x58,
                0x2f, 0x63)

MIDL_INTERFACE("3589c92c-63f3-4367-99bb-ada653b77cf2")
ITextProvider : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY * *ranges) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVisibleRanges(SAFEARRAY * *ranges) = 0;
    virtual HRESULT STDMETHODCALLTYPE RangeFromChild(IRawElementProviderSimple * child,
                                                     ITextRangeProvider * *range) = 0;
    virtual HRESULT STDMETHODCALLTYPE RangeFromPoint(UiaPoint point,
                                                     ITextRangeProvider * *range) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DocumentRange(ITextRangeProvider * *range) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SupportedTextSelection(int* supported) = 0;
};
__CRT_UUID_DECL(ITextProvider, 0x3589c92c, 0x63f3, 0x4367, 0x99, 0xbb, 0xad, 0xa6, 0x53, 0xb7, 0x7c,
                0xf2)
