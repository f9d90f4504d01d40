// A toolkit window's accessibility objects in a real window: the Active Accessibility tree a
// client walks, the UI Automation fragments called from another thread as UI Automation does,
// default actions run later on the window's thread, and objects that outlive their window.
#include "toolkit/platform/win32/accessibility_impl.h"

#include "tests/toolkit/platform/win32/message_queue.h"
#include "toolkit/platform/native_window.h"
#include "toolkit/platform/native_window_client.h"
#include "toolkit/platform/win32/native_window_impl.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <atomic>
#include <memory>
#include <utility>
#include <oleacc.h>
#include <string>
#include <thread>
#include <vector>

namespace zksdk::ui {
namespace {

using namespace win32;

struct access_text_query {
    int32_t id;
    text_span range;
    bool align_to_top;
    bool place;
    bool operator==(const access_text_query&) const = default;
};

class described_client : public native_window_client {
public:
    std::vector<access_node> nodes;
    std::vector<int32_t> actions;
    std::vector<int32_t> focused;

    void route(event_type, void*, const void*) override {}
    void paint_native(rect) override {}
    void native_timer(uint32_t) override {}
    bool request_close() override { return false; }
    void native_resized(size) override {}
    bool has_pointer_handlers(event_type) override { return false; }
    void user_message(intptr_t, uintptr_t) override {}
    access_text document;
    std::vector<access_text_query> scrolled;

    // Set, the node at this index is hidden once the next tree has been read: what a page
    // switch does between a reader's look-up and its action.
    int hide_after_next_tree = -1;
    std::vector<access_node> access_tree() override
    {
        std::vector<access_node> read = nodes;
        if (hide_after_next_tree >= 0) {
            nodes[static_cast<size_t>(std::exchange(hide_after_next_tree, -1))].states |=
                access_state::invisible;
        }
        return read;
    }
    bool access_text_of(int32_t id, access_text& out) override
    {
        if (id != 8) {
            return false;
        }
        out = document;
        return true;
    }
    bool access_scroll(int32_t id, text_span range, bool align_to_top, bool place) override
    {
        scrolled.push_back({id, range, align_to_top, place});
        return true;
    }
    bool access_default_action(int32_t id) override
    {
        actions.push_back(id);
        return true;
    }
    bool access_focus(int32_t id) override
    {
        focused.push_back(id);
        return true;
    }
};

access_node node(int32_t id, int32_t parent, access_role role, std::string name, uint32_t states,
                 rect bounds, std::string action = "")
{
    access_node n;
    n.id = id;
    n.parent = parent;
    n.role = role;
    n.name = std::move(name);
    n.states = states;
    n.bounds = bounds;
    n.default_action = std::move(action);
    return n;
}

// A window, a button, a group with a ticked box and a progress bar, a disabled link, a hidden
// page with a button on it, and a document of two paragraphs on three lines.
std::vector<access_node> sample_tree()
{
    using namespace access_state;
    std::vector<access_node> nodes = {
        node(0, 0, access_role::client, "Sample", 0, {0, 0, 400, 300}),
        node(1, 0, access_role::push_button, "OK", focusable | focused, {10, 20, 100, 30}, "Press"),
        node(2, 0, access_role::grouping, "Options", 0, {10, 60, 300, 100}),
        node(3, 2, access_role::check_button, "Remember", focusable | checked, {20, 70, 120, 20},
             "Uncheck"),
        node(4, 2, access_role::progress_bar, "Progress", read_only, {20, 100, 200, 10}),
        node(5, 0, access_role::link, "Licence", disabled, {10, 200, 80, 16}, "Jump"),
        node(6, 0, access_role::grouping, "Next page", invisible, {0, 0, 400, 300}),
        node(7, 6, access_role::push_button, "Hidden", focusable, {10, 20, 100, 30}, "Press"),
        node(8, 0, access_role::document, "Terms", focusable | read_only, {0, 220, 400, 40}),
        node(9, 8, access_role::static_text, "One two", read_only, {0, 220, 70, 20}),
        node(10, 8, access_role::static_text, "Three", read_only, {0, 240, 50, 20})};
    nodes[0].description = "What the sample is for";
    nodes[4].value = "13%";
    nodes[4].range_value = 13;
    nodes[8].value = "One two\nThree";
    nodes[9].live = access_live::polite;
    return nodes;
}

// The document's lines: "One " and "two\n" share the first paragraph, 10 DIPs a character.
access_text sample_document()
{
    access_text t;
    t.text = u"One two\nThree";
    const auto line = [](int32_t first, int32_t end, float top) {
        text_line_geometry g{first, end, top, 20, {}};
        for (int32_t i = 0; i <= end - first; ++i) {
            g.edges.push_back(10.0f * static_cast<float>(i));
        }
        return g;
    };
    t.lines = {line(0, 4, 220), line(4, 8, 240), line(8, 13, 260)};
    t.visible = {0, 220, 400, 40};
    return t;
}

std::wstring take(BSTR text)
{
    std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return result;
}

VARIANT child(LONG id)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// The name of a node handed out as an object (the variant is cleared); "" for anything else.
std::wstring name_of(VARIANT& v)
{
    std::wstring name;
    IAccessible* object = nullptr;
    if (v.vt == VT_DISPATCH && v.pdispVal != nullptr &&
        SUCCEEDED(
            v.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object)))) {
        BSTR text = nullptr;
        object->get_accName(child(CHILDID_SELF), &text);
        name = take(text);
        object->Release();
    }
    VariantClear(&v);
    return name;
}

class AccessibilityWin32 : public testing::Test {
protected:
    void SetUp() override
    {
        client.nodes = sample_tree();
        client.document = sample_document();
        window->create_native(nullptr, client, {50, 40, 400, 300}, 0);
        ASSERT_TRUE(window->is_created());
        win32_test::drain();
    }
    HWND handle() const { return window->backend().handle; }
    POINT origin() const
    {
        POINT p{0, 0};
        ClientToScreen(handle(), &p);
        return p;
    }
    IAccessible* client_object()
    {
        IAccessible* object = nullptr;
        EXPECT_EQ(S_OK, AccessibleObjectFromWindow(handle(), static_cast<DWORD>(OBJID_CLIENT),
                                                   __uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&object)));
        return object;
    }

    described_client client;
    std::unique_ptr<native_window> window = std::make_unique<native_window>();
};

// First of the accessibility tests: until a client asks for the window's objects, announcing
// loads no UI Automation (the first frame and every event after it would pay for it). The
// focus and the sentence of that moment wait for the first client, which is posted them once.
TEST_F(AccessibilityWin32, NoClientNoAutomationLibraryAndTheFirstClientIsToldWhatWasSaid)
{
    ASSERT_EQ(nullptr, GetModuleHandleW(L"UIAutomationCore.dll")) << "loaded before this test";
    window->show();
    win32_test::drain();
    SetFocus(handle());
    for (const access_event event :
         {access_event::focus, access_event::name_changed, access_event::structure_changed,
          access_event::hidden, access_event::notification}) {
        window->announce(event, 1, "said");
    }
    win32_test::drain();
    EXPECT_EQ(nullptr, GetModuleHandleW(L"UIAutomationCore.dll"));
    window->announce(access_event::notification, 2, "later");
    EXPECT_EQ(1, window->backend().uia_held_focus);
    ASSERT_TRUE(window->backend().uia_held_sentence.has_value());
    EXPECT_EQ("later", window->backend().uia_held_sentence->second);

    const auto posted = [&] {
        MSG message{};
        int count = 0;
        while (PeekMessageW(&message, handle(), access_message, access_message, PM_REMOVE)) {
            count += message.wParam == held_events ? 1 : 0;
            DispatchMessageW(&message);
        }
        return count;
    };
    SendMessageW(handle(), WM_GETOBJECT, 0, static_cast<LPARAM>(uia::root_object_id));
    EXPECT_EQ(1, posted());
    EXPECT_EQ(-1, window->backend().uia_held_focus);
    EXPECT_FALSE(window->backend().uia_held_sentence.has_value());
    SendMessageW(handle(), WM_GETOBJECT, 0, static_cast<LPARAM>(uia::root_object_id));
    EXPECT_EQ(0, posted()) << "told twice";
}

TEST_F(AccessibilityWin32, ClientObjectDescribesEveryNodeByChildIdAndHandsOutObjects)
{
    IAccessible* root = client_object();
    ASSERT_NE(nullptr, root);
    LONG count = 0;
    ASSERT_EQ(S_OK, root->get_accChildCount(&count));
    EXPECT_EQ(4, count) << "the hidden page is left out";
    VARIANT children[4];
    LONG got = 0;
    ASSERT_EQ(S_OK, AccessibleChildren(root, 0, 4, children, &got));
    ASSERT_EQ(4, got);
    // Every child is an object of its own, leaves too, whichever way a client asks.
    EXPECT_EQ(VT_DISPATCH, children[3].vt) << "the document holds its paragraphs";
    VariantClear(&children[3]);
    EXPECT_EQ(L"OK", name_of(children[0]));
    ASSERT_EQ(VT_DISPATCH, children[1].vt);
    EXPECT_EQ(L"Licence", name_of(children[2]));
    IDispatch* leaf = nullptr;
    EXPECT_EQ(S_OK, root->get_accChild(child(1), &leaf));
    ASSERT_NE(nullptr, leaf);
    VARIANT as_object;
    as_object.vt = VT_DISPATCH;
    as_object.pdispVal = leaf;
    EXPECT_EQ(L"OK", name_of(as_object));
    leaf = nullptr;
    EXPECT_EQ(S_OK, root->get_accChild(child(3), &leaf)) << "a grandchild, by its id";
    as_object.vt = VT_DISPATCH;
    as_object.pdispVal = leaf;
    EXPECT_EQ(L"Remember", name_of(as_object));

    const struct {
        LONG id;
        const wchar_t* name;
        LONG role;
        LONG states;
        const wchar_t* action;
    } expected[] = {
        {CHILDID_SELF, L"Sample", ROLE_SYSTEM_CLIENT, 0, L""},
        {1, L"OK", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED, L"Press"},
        {3, L"Remember", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED,
         L"Uncheck"},
        {4, L"Progress", ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY, L""},
        {5, L"Licence", ROLE_SYSTEM_LINK, STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_LINKED, L"Jump"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(testing::Message() << "child " << e.id);
        BSTR text = nullptr;
        EXPECT_EQ(S_OK, root->get_accName(child(e.id), &text));
        EXPECT_EQ(e.name, take(text));
        VARIANT role;
        EXPECT_EQ(S_OK, root->get_accRole(child(e.id), &role));
        EXPECT_EQ(e.role, role.lVal);
        VARIANT state;
        EXPECT_EQ(S_OK, root->get_accState(child(e.id), &state));
        EXPECT_EQ(e.states, state.lVal);
        text = nullptr;
        root->get_accDefaultAction(child(e.id), &text);
        EXPECT_EQ(e.action, take(text));
    }
    BSTR value = nullptr;
    EXPECT_EQ(S_OK, root->get_accValue(child(4), &value));
    EXPECT_EQ(L"13%", take(value));
    EXPECT_EQ(S_OK, root->get_accDescription(child(CHILDID_SELF), &value));
    EXPECT_EQ(L"What the sample is for", take(value));

    // The enumerator stops at the end and says so.
    IEnumVARIANT* each = nullptr;
    ASSERT_EQ(S_OK, root->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(&each)));
    each->Reset();
    EXPECT_EQ(S_OK, each->Skip(3));
    EXPECT_EQ(S_FALSE, each->Skip(2)) << "one was left";
    EXPECT_EQ(S_FALSE, each->Skip(1));
    each->Release();

    // The group answers for its own children, and knows its parent.
    IAccessible* group = nullptr;
    ASSERT_EQ(S_OK, children[1].pdispVal->QueryInterface(__uuidof(IAccessible),
                                                         reinterpret_cast<void**>(&group)));
    EXPECT_EQ(S_OK, group->get_accChildCount(&count));
    EXPECT_EQ(2, count);
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, group->get_accName(child(CHILDID_SELF), &name));
    EXPECT_EQ(L"Options", take(name));
    VARIANT first;
    EXPECT_EQ(S_OK, group->accNavigate(NAVDIR_FIRSTCHILD, child(CHILDID_SELF), &first));
    EXPECT_EQ(L"Remember", name_of(first));
    VARIANT next;
    EXPECT_EQ(S_OK, root->accNavigate(NAVDIR_NEXT, child(1), &next));
    EXPECT_EQ(VT_DISPATCH, next.vt) << "the button's neighbour is the group";
    VariantClear(&next);
    EXPECT_EQ(S_FALSE, root->accNavigate(NAVDIR_NEXT, child(8), &next)) << "the last sibling";
    // The focused node counts only while the window has the system's focus.
    VARIANT focus;
    window->show();
    win32_test::drain();
    SetFocus(handle());
    EXPECT_EQ(S_OK, root->get_accFocus(&focus));
    EXPECT_EQ(L"OK", name_of(focus));
    SetFocus(nullptr);
    EXPECT_EQ(S_FALSE, root->get_accFocus(&focus));
    EXPECT_EQ(E_INVALIDARG, root->get_accName(child(99), &name));
    group->Release();
    VariantClear(&children[1]);
    root->Release();
}

TEST_F(AccessibilityWin32, LocationsAreScreenPixelsAtTheWindowsDpi)
{
    window->backend().dpi_x = 144;
    window->backend().dpi_y = 144;
    IAccessible* root = client_object();
    ASSERT_NE(nullptr, root);
    LONG x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(S_OK, root->accLocation(&x, &y, &width, &height, child(3)));
    const POINT at = origin();
    EXPECT_EQ(at.x + 30, x);
    EXPECT_EQ(at.y + 105, y);
    EXPECT_EQ(180, width);
    EXPECT_EQ(30, height);
    VARIANT hit;
    ASSERT_EQ(S_OK, root->accHitTest(at.x + 40, at.y + 110, &hit));
    ASSERT_EQ(VT_DISPATCH, hit.vt) << "the box lies inside the group";
    IAccessible* box = nullptr;
    hit.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&box));
    BSTR name = nullptr;
    box->get_accName(child(CHILDID_SELF), &name);
    EXPECT_EQ(L"Remember", take(name));
    box->Release();
    VariantClear(&hit);
    EXPECT_EQ(S_FALSE, root->accHitTest(at.x - 5, at.y - 5, &hit)) << "outside the window";
    // A sibling of the group drawn after it lies on top of the group's box, though it is read
    // first; drawn first, it lies under the box; hidden, it is not there.
    access_node over = node(11, 0, access_role::push_button, "Over", 0, {20, 70, 120, 20});
    over.paint_order = 100;
    client.nodes.insert(client.nodes.begin() + 1, over);
    ASSERT_EQ(S_OK, root->accHitTest(at.x + 40, at.y + 110, &hit));
    EXPECT_EQ(L"Over", name_of(hit));
    client.nodes[1].paint_order = -1;
    ASSERT_EQ(S_OK, root->accHitTest(at.x + 40, at.y + 110, &hit));
    EXPECT_EQ(L"Remember", name_of(hit));
    client.nodes[1].paint_order = 100;
    client.nodes[1].states = access_state::invisible;
    ASSERT_EQ(S_OK, root->accHitTest(at.x + 40, at.y + 110, &hit));
    EXPECT_EQ(L"Remember", name_of(hit));
    root->Release();
}

TEST_F(AccessibilityWin32, DefaultActionsRunLaterOnTheWindowsThreadAndOnlyWhenAllowed)
{
    IAccessible* root = client_object();
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(S_OK, root->accDoDefaultAction(child(1)));
    EXPECT_TRUE(client.actions.empty()) << "an action may open a modal popup: never inline";
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, root->accDoDefaultAction(child(5))) << "disabled";
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, root->accDoDefaultAction(child(4))) << "no action";
    EXPECT_EQ(E_INVALIDARG, root->accDoDefaultAction(child(7))) << "on a hidden page";
    ASSERT_EQ(1, client.nodes[1].id);
    client.hide_after_next_tree = 1;
    EXPECT_EQ(E_INVALIDARG, root->accDoDefaultAction(child(1))) << "hidden after the look-up";
    client.nodes[1].states &= ~access_state::invisible;
    EXPECT_EQ(S_OK, root->accSelect(SELFLAG_TAKEFOCUS, child(3)));
    win32_test::drain();
    EXPECT_EQ(std::vector<int32_t>{1}, client.actions);
    EXPECT_EQ(std::vector<int32_t>{3}, client.focused);
    // A forged token from elsewhere runs nothing, forwarded or posted.
    EXPECT_EQ(0, SendMessageW(handle(), access_message, forwarded_call, 12345));
    EXPECT_EQ(0, SendMessageW(handle(), access_message, deferred_action, 1));
    EXPECT_EQ(std::vector<int32_t>{1}, client.actions);
    root->Release();

    // Through UI Automation a reader hears "disabled" only for what is there: a pattern kept
    // while its button's page was hidden, or after the button went, finds nothing.
    std::vector<IUnknown*> held;
    const auto invoker = [&](int32_t id) {
        IRawElementProviderSimple* element = make_uia_element(handle(), id);
        IUnknown* pattern = nullptr;
        element->GetPatternProvider(uia::pattern::invoke, &pattern);
        IInvokeProvider* invoke = nullptr;
        pattern->QueryInterface(__uuidof(IInvokeProvider), reinterpret_cast<void**>(&invoke));
        held.insert(held.end(), {element, pattern, invoke});
        return invoke;
    };
    IInvokeProvider* press = invoker(1);
    EXPECT_EQ(uia::element_not_enabled, invoker(5)->Invoke());
    client.nodes[1].states |= access_state::invisible;
    EXPECT_EQ(uia::element_not_available, press->Invoke()) << "on a page hidden since";
    client.nodes.erase(client.nodes.begin() + 1);
    EXPECT_EQ(uia::element_not_available, press->Invoke()) << "gone";
    win32_test::drain();
    EXPECT_EQ(std::vector<int32_t>{1}, client.actions);
    for (IUnknown* object : held) {
        object->Release();
    }
}

struct heard {
    DWORD event;
    LONG object;
    LONG child;
    bool operator==(const heard&) const = default;
};
std::vector<heard> g_heard;

void CALLBACK hear(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD)
{
    g_heard.push_back({event, object, child});
}

TEST_F(AccessibilityWin32, AnnouncementsAreTheMatchingWinEvents)
{
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, hear,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    win32_test::drain();
    const struct {
        access_event event;
        int32_t id;
        heard expected;
    } table[] = {
        {access_event::focus, 3, {EVENT_OBJECT_FOCUS, OBJID_CLIENT, 3}},
        {access_event::state_changed, 3, {EVENT_OBJECT_STATECHANGE, OBJID_CLIENT, 3}},
        {access_event::name_changed, 1, {EVENT_OBJECT_NAMECHANGE, OBJID_CLIENT, 1}},
        {access_event::value_changed, 4, {EVENT_OBJECT_VALUECHANGE, OBJID_CLIENT, 4}},
        {access_event::structure_changed, 0, {EVENT_OBJECT_REORDER, OBJID_CLIENT, CHILDID_SELF}},
        {access_event::alert, 9, {EVENT_SYSTEM_ALERT, OBJID_CLIENT, 9}},
        {access_event::dialog_opened, 0, {EVENT_SYSTEM_DIALOGSTART, OBJID_WINDOW, CHILDID_SELF}},
        {access_event::enabled_changed, 5, {EVENT_OBJECT_STATECHANGE, OBJID_CLIENT, 5}},
        {access_event::shown, 2, {EVENT_OBJECT_SHOW, OBJID_CLIENT, 2}},
        {access_event::hidden, 2, {EVENT_OBJECT_HIDE, OBJID_CLIENT, 2}},
        {access_event::live_region_changed, 9, {0x8019, OBJID_CLIENT, 9}},
        // A sentence a node shows reaches these readers as that node's live change.
        {access_event::notification, 9, {0x8019, OBJID_CLIENT, 9}},
        {access_event::text_selection_changed,
         8,
         {EVENT_OBJECT_TEXTSELECTIONCHANGED, OBJID_CLIENT, 8}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message() << "event " << static_cast<int>(row.event));
        g_heard.clear();
        window->announce(row.event, row.id);
        win32_test::drain();
        std::erase_if(g_heard, [&row](const heard& h) { return h.event != row.expected.event; });
        EXPECT_EQ(std::vector<heard>{row.expected}, g_heard);
    }
    UnhookWinEvent(hook);
    // The node whose live changes Active Accessibility readers hear is the one UI Automation
    // calls a polite live region, where its clients hear them; the others are not live.
    for (const auto& [id, live] : {std::pair{9, 1L}, std::pair{1, 0L}}) {
        IRawElementProviderSimple* element = make_uia_element(handle(), id);
        VARIANT setting;
        ASSERT_EQ(S_OK, element->GetPropertyValue(uia::property::live_setting, &setting));
        EXPECT_EQ(VT_I4, setting.vt);
        EXPECT_EQ(live, setting.lVal) << "node " << id;
        element->Release();
    }
}

// Active Accessibility readers find a document's reading place at the system caret: on the
// caret's line when the place moves, only while the window has the focus, gone when the focus
// moves on.
TEST_F(AccessibilityWin32, TheReadingPlaceIsTheSystemCaretWhileTheWindowHasTheFocus)
{
    const auto caret_window = [] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetCurrentThreadId(), &info);
        return info.hwndCaret;
    };
    client.document.caret = 4; // "two", on the second line
    window->show();
    win32_test::drain();
    SetFocus(nullptr);
    window->announce(access_event::text_selection_changed, 8);
    EXPECT_EQ(nullptr, caret_window()) << "no caret for a window without the focus";
    SetFocus(handle());
    window->announce(access_event::text_selection_changed, 8);
    EXPECT_EQ(handle(), caret_window());
    POINT place{};
    GetCaretPos(&place);
    EXPECT_EQ(0, place.x);
    EXPECT_EQ(240, place.y);
    client.document.caret = 8;
    window->announce(access_event::text_selection_changed, 8);
    GetCaretPos(&place);
    EXPECT_EQ(260, place.y) << "the third line";
    window->announce(access_event::focus, 1);
    EXPECT_EQ(nullptr, caret_window()) << "the focus left the document";
    SetFocus(nullptr);

    // UI Automation's selection is the same place, as an empty range.
    IRawElementProviderSimple* document = make_uia_element(handle(), 8);
    IUnknown* pattern = nullptr;
    ASSERT_EQ(S_OK, document->GetPatternProvider(uia::pattern::text, &pattern));
    ITextProvider* text = nullptr;
    ASSERT_EQ(S_OK,
              pattern->QueryInterface(__uuidof(ITextProvider), reinterpret_cast<void**>(&text)));
    SAFEARRAY* ranges = nullptr;
    ASSERT_EQ(S_OK, text->GetSelection(&ranges));
    LONG index = 0;
    ITextRangeProvider* range = nullptr;
    SafeArrayGetElement(ranges, &index, &range);
    ASSERT_NE(nullptr, range);
    range->ExpandToEnclosingUnit(static_cast<int>(text_unit::line));
    BSTR read = nullptr;
    range->GetText(-1, &read);
    EXPECT_EQ(L"Three", take(read));
    range->Release();
    SafeArrayDestroy(ranges);
    text->Release();
    pattern->Release();
    document->Release();
}

TEST_F(AccessibilityWin32, FragmentsAnswerFromAnotherThreadAndOutliveTheirWindow)
{
    IRawElementProviderSimple* root = make_uia_element(handle(), 0);
    HRESULT navigated = E_FAIL, toggled = E_FAIL, invoked = E_FAIL, ranged = E_FAIL;
    std::wstring first_name, runtime;
    VARIANT type;
    VariantInit(&type);
    int toggle = -1;
    double progress = -1;
    UiaRect box{};
    VARIANT root_type;
    VariantInit(&root_type);
    VARIANT root_focusable;
    VariantInit(&root_focusable);
    HRESULT toggle_on_button = S_OK;
    IUnknown* button_toggle = nullptr;
    std::vector<VARTYPE> root_values;
    std::atomic<bool> done{false};
    std::thread automation([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IRawElementProviderFragment* fragment = nullptr;
        root->QueryInterface(__uuidof(IRawElementProviderFragment),
                             reinterpret_cast<void**>(&fragment));
        IRawElementProviderFragment* ok = nullptr;
        navigated = fragment->Navigate(NavigateDirection_FirstChild, &ok);
        IRawElementProviderSimple* simple = nullptr;
        ok->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&simple));
        VARIANT name;
        simple->GetPropertyValue(uia::property::name, &name);
        first_name = name.bstrVal != nullptr ? name.bstrVal : L"";
        VariantClear(&name);
        simple->GetPropertyValue(uia::property::control_type, &type);
        SAFEARRAY* id = nullptr;
        ok->GetRuntimeId(&id);
        for (LONG i = 0; id != nullptr && i < 2; ++i) {
            int part = 0;
            SafeArrayGetElement(id, &i, &part);
            runtime += std::to_wstring(part) + L" ";
        }
        SafeArrayDestroy(id);
        // Patterns come from GetPatternProvider, as UI Automation asks, and only where the
        // node's role has them: a button has no toggle, by either road.
        IUnknown* pattern = nullptr;
        simple->GetPatternProvider(uia::pattern::invoke, &pattern);
        IInvokeProvider* invoke = nullptr;
        pattern->QueryInterface(__uuidof(IInvokeProvider), reinterpret_cast<void**>(&invoke));
        invoked = invoke->Invoke();
        invoke->Release();
        pattern->Release();
        simple->GetPatternProvider(uia::pattern::toggle, &button_toggle);
        IToggleProvider* sneaked = nullptr;
        toggle_on_button =
            simple->QueryInterface(__uuidof(IToggleProvider), reinterpret_cast<void**>(&sneaked));
        root->GetPropertyValue(uia::property::control_type, &root_type);
        root->GetPropertyValue(uia::property::is_keyboard_focusable, &root_focusable);
        for (const PROPERTYID property :
             {uia::property::is_enabled, uia::property::has_keyboard_focus,
              uia::property::is_offscreen, uia::property::automation_id,
              uia::property::bounding_rectangle}) {
            VARIANT value;
            root->GetPropertyValue(property, &value);
            root_values.push_back(value.vt);
            VariantClear(&value);
        }
        IRawElementProviderFragment* group = nullptr;
        ok->Navigate(NavigateDirection_NextSibling, &group);
        IRawElementProviderFragment* remember = nullptr;
        group->Navigate(NavigateDirection_FirstChild, &remember);
        IRawElementProviderSimple* remember_simple = nullptr;
        remember->QueryInterface(__uuidof(IRawElementProviderSimple),
                                 reinterpret_cast<void**>(&remember_simple));
        IUnknown* toggle_pattern = nullptr;
        remember_simple->GetPatternProvider(uia::pattern::toggle, &toggle_pattern);
        IToggleProvider* box_toggle = nullptr;
        toggle_pattern->QueryInterface(__uuidof(IToggleProvider),
                                       reinterpret_cast<void**>(&box_toggle));
        toggled = box_toggle->get_ToggleState(&toggle);
        remember->get_BoundingRectangle(&box);
        IRawElementProviderFragment* bar = nullptr;
        remember->Navigate(NavigateDirection_NextSibling, &bar);
        IRawElementProviderSimple* bar_simple = nullptr;
        bar->QueryInterface(__uuidof(IRawElementProviderSimple),
                            reinterpret_cast<void**>(&bar_simple));
        IUnknown* range_pattern = nullptr;
        bar_simple->GetPatternProvider(uia::pattern::range_value, &range_pattern);
        IRangeValueProvider* range = nullptr;
        range_pattern->QueryInterface(__uuidof(IRangeValueProvider),
                                      reinterpret_cast<void**>(&range));
        ranged = range->get_Value(&progress);
        for (IUnknown* object : std::initializer_list<IUnknown*>{
                 range, range_pattern, bar_simple, bar, box_toggle, toggle_pattern, remember_simple,
                 remember, group, simple, ok, fragment}) {
            object->Release();
        }
        CoUninitialize();
        done = true;
    });
    // UI Automation's calls are answered only while this thread takes its messages.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        win32_test::drain();
    }
    automation.join();
    win32_test::drain();
    EXPECT_EQ(S_OK, navigated);
    EXPECT_EQ(L"OK", first_name);
    EXPECT_EQ(uia::control_type::button, type.lVal);
    EXPECT_EQ(L"3 1 ", runtime);
    EXPECT_EQ(S_OK, invoked);
    EXPECT_EQ(std::vector<int32_t>{1}, client.actions);
    EXPECT_EQ(nullptr, button_toggle);
    EXPECT_EQ(E_NOINTERFACE, toggle_on_button);
    EXPECT_EQ(uia::control_type::window, root_type.lVal) << "a window, not a pane";
    EXPECT_EQ(VT_EMPTY, root_focusable.vt) << "the window's host says whether it takes the focus";
    EXPECT_EQ(std::vector<VARTYPE>(5, VT_EMPTY), root_values)
        << "enabled, focus, offscreen, automation id and rectangle are the host's to say";
    EXPECT_EQ(S_OK, toggled);
    EXPECT_EQ(uia::toggle_on, toggle);
    const POINT at = origin();
    EXPECT_EQ(at.x + 20, box.left);
    EXPECT_EQ(at.y + 70, box.top);
    EXPECT_EQ(120, box.width);
    EXPECT_EQ(S_OK, ranged);
    EXPECT_EQ(13, progress);

    IAccessible* msaa = client_object();
    ASSERT_NE(nullptr, msaa);
    window.reset();
    VARIANT name;
    EXPECT_EQ(uia::element_not_available, root->GetPropertyValue(uia::property::name, &name));
    BSTR text = nullptr;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, msaa->get_accName(child(1), &text));
    msaa->Release();
    root->Release();
}

// A reader in this thread: the window's calls run inline, as they do for UI Automation's own.
TEST_F(AccessibilityWin32, TheTextPatternReadsTheDocumentByUnitsAndMeasuresInScreenPixels)
{
    IRawElementProviderSimple* document = make_uia_element(handle(), 8);
    IUnknown* pattern = nullptr;
    ASSERT_EQ(S_OK, document->GetPatternProvider(uia::pattern::text, &pattern));
    ASSERT_NE(nullptr, pattern);
    ITextProvider* text = nullptr;
    ASSERT_EQ(S_OK,
              pattern->QueryInterface(__uuidof(ITextProvider), reinterpret_cast<void**>(&text)));
    ITextRangeProvider* range = nullptr;
    ASSERT_EQ(S_OK, text->get_DocumentRange(&range));
    BSTR read = nullptr;
    range->GetText(-1, &read);
    EXPECT_EQ(L"One two\nThree", take(read));

    // Collapsed to the start, then line by line, then a paragraph.
    int moved = 0;
    range->MoveEndpointByRange(uia::endpoint_end, range, uia::endpoint_start);
    range->ExpandToEnclosingUnit(static_cast<int>(text_unit::line));
    range->GetText(-1, &read);
    EXPECT_EQ(L"One ", take(read));
    EXPECT_EQ(S_OK, range->Move(static_cast<int>(text_unit::line), 1, &moved));
    EXPECT_EQ(1, moved);
    range->GetText(-1, &read);
    EXPECT_EQ(L"two\n", take(read));
    range->ExpandToEnclosingUnit(static_cast<int>(text_unit::paragraph));
    range->GetText(-1, &read);
    EXPECT_EQ(L"One two\n", take(read));
    EXPECT_EQ(S_OK, range->Move(static_cast<int>(text_unit::word), 5, &moved));
    EXPECT_EQ(2, moved) << "to \"two\", then \"Three\": the end holds no word";
    range->GetText(-1, &read);
    EXPECT_EQ(L"Three", take(read));
    EXPECT_EQ(S_OK, range->Move(static_cast<int>(text_unit::line), 1, &moved));
    EXPECT_EQ(0, moved) << "on the last line already";
    // An end moved past the text's end counts only the units it crossed.
    range->ExpandToEnclosingUnit(static_cast<int>(text_unit::document));
    range->MoveEndpointByRange(uia::endpoint_end, range, uia::endpoint_start);
    EXPECT_EQ(S_OK, range->MoveEndpointByUnit(uia::endpoint_end, static_cast<int>(text_unit::line),
                                              10, &moved));
    EXPECT_EQ(3, moved);
    EXPECT_EQ(S_OK, range->MoveEndpointByUnit(uia::endpoint_end, static_cast<int>(text_unit::line),
                                              1, &moved));
    EXPECT_EQ(0, moved);
    EXPECT_EQ(S_OK, range->MoveEndpointByUnit(uia::endpoint_start,
                                              static_cast<int>(text_unit::line), -2, &moved));
    EXPECT_EQ(0, moved) << "already at the start";

    // The first paragraph's boxes: its two lines, in screen pixels; the third line is out of
    // the view.
    range->ExpandToEnclosingUnit(static_cast<int>(text_unit::document));
    SAFEARRAY* boxes = nullptr;
    ASSERT_EQ(S_OK, range->GetBoundingRectangles(&boxes));
    LONG last = -1;
    SafeArrayGetUBound(boxes, 1, &last);
    EXPECT_EQ(7, last) << "two boxes of four numbers";
    double left = 0, top = 0;
    LONG index = 0;
    SafeArrayGetElement(boxes, &index, &left);
    index = 1;
    SafeArrayGetElement(boxes, &index, &top);
    SafeArrayDestroy(boxes);
    const POINT at = origin();
    EXPECT_EQ(at.x, left);
    EXPECT_EQ(at.y + 220, top);

    // The point under "two" is in it; what the view shows is the first paragraph; the place
    // of a reader is the view's start; the second paragraph's child gives its range.
    ITextRangeProvider* hit = nullptr;
    ASSERT_EQ(S_OK, text->RangeFromPoint({at.x + 14.0, at.y + 245.0}, &hit));
    hit->ExpandToEnclosingUnit(static_cast<int>(text_unit::word));
    hit->GetText(-1, &read);
    EXPECT_EQ(L"two\n", take(read));
    SAFEARRAY* visible = nullptr;
    ASSERT_EQ(S_OK, text->GetVisibleRanges(&visible));
    ITextRangeProvider* shown = nullptr;
    index = 0;
    SafeArrayGetElement(visible, &index, &shown);
    shown->GetText(-1, &read);
    EXPECT_EQ(L"One two\n", take(read));
    SAFEARRAY* children = nullptr;
    ASSERT_EQ(S_OK, shown->GetChildren(&children));
    SafeArrayGetUBound(children, 1, &last);
    EXPECT_EQ(0, last) << "the first paragraph only";
    SafeArrayDestroy(children);
    SafeArrayDestroy(visible);
    IRawElementProviderSimple* second = make_uia_element(handle(), 10);
    ITextRangeProvider* paragraph = nullptr;
    ASSERT_EQ(S_OK, text->RangeFromChild(second, &paragraph));
    paragraph->GetText(-1, &read);
    EXPECT_EQ(L"Three", take(read));
    int order = 0;
    paragraph->CompareEndpoints(uia::endpoint_start, hit, uia::endpoint_start, &order);
    EXPECT_GT(order, 0);
    VARIANT read_only;
    paragraph->GetAttributeValue(uia::is_read_only_attribute, &read_only);
    EXPECT_EQ(VT_BOOL, read_only.vt);
    EXPECT_EQ(S_OK, paragraph->ScrollIntoView(TRUE));
    EXPECT_EQ(S_OK, paragraph->Select());
    EXPECT_EQ((std::vector<access_text_query>{{8, {8, 13}, true, false}, {8, {8, 13}, true, true}}),
              client.scrolled);

    // The document has no other pattern than its own; a button has no text.
    IUnknown* none = nullptr;
    IRawElementProviderSimple* button = make_uia_element(handle(), 1);
    EXPECT_EQ(S_OK, button->GetPatternProvider(uia::pattern::text, &none));
    EXPECT_EQ(nullptr, none);
    for (IUnknown* object : std::initializer_list<IUnknown*>{button, paragraph, second, shown, hit,
                                                             range, text, pattern, document}) {
        object->Release();
    }
}

} // namespace
} // namespace zksdk::ui
