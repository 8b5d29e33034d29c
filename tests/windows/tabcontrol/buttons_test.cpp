// The strip's own buttons from real window messages: the close button on a
// tab, the middle button, the list of every tab, and the unsaved mark as a
// screen reader gets it.
#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace item_id = corvane::dispid::item;

// The accessible object of tab index, which it is while it has a close button.
ComPtr<IAccessible> TabObject(HWND strip, int32_t index) {
    ComPtr<IAccessible> list = AccessibleOf(strip);
    ComPtr<IDispatch> child;
    if (!list || list->get_accChild(Child(index + 1), child.put()) != S_OK || !child) return nullptr;
    ComPtr<IAccessible> tab;
    child.As(IID_IAccessible, tab);
    return tab;
}

std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), IAccessible* acc, long child) {
    Bstr text;
    (acc->*get)(Child(child), text.put());
    return text.str();
}

LONG IntOf(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), IAccessible* acc, long child) {
    Variant v;
    (acc->*get)(Child(child), v.put());
    return V_VT(v.get()) == VT_I4 ? V_I4(v.get()) : -1;
}

POINT CentreOf(HWND strip, IAccessible* acc, long child) {
    long x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(acc->accLocation(&x, &y, &w, &h, Child(child)), S_OK) << "child " << child;
    POINT p{x + w / 2, y + h / 2};
    ScreenToClient(strip, &p);
    return p;
}

void MoveTo(HWND strip, POINT at) {
    SendMessageW(strip, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
}

struct Strip {
    std::unique_ptr<HostedControl> host;
    HWND hwnd = nullptr;
    IDispatch* control = nullptr;
    Log& log() { return host->events->log; }
};

Strip Workbooks(std::initializer_list<const wchar_t*> captions, RECT position = RECT{0, 0, 400, 25},
                bool closeButtons = true) {
    Strip s;
    s.host = HostControl(position);
    s.control = s.host->control.get();
    s.hwnd = s.host->Strip();
    EXPECT_EQ(Put(s.control, ctl::ShowCloseButtons, closeButtons), S_OK);
    AddTabs(s.control, captions);
    EXPECT_EQ(Put(s.control, ctl::SelectedItem, int32_t{0}), S_OK);
    PumpMessages();
    s.log().clear();
    return s;
}

TEST(TabControlButtons, TheCloseButtonsAreOffUntilTheContainerTurnsThemOn) {
    Strip s = Workbooks({L"Book1", L"Book2"}, RECT{0, 0, 400, 25}, false);
    EXPECT_FALSE(GetBool(s.control, ctl::ShowCloseButtons));
    EXPECT_FALSE(GetBool(s.control, ctl::ShowUnsavedMarks));
    EXPECT_FALSE(TabObject(s.hwnd, 0)) << "tabs stay simple elements";
    const POINT right{TabCentre(s.hwnd, 0).x * 2 - 4, 14};  // near the right end of Book1
    Click(s.hwnd, right);
    EXPECT_EQ(s.log(), (Log{L"MouseDown 1 0", L"BeforeItemClick Book1", L"MouseUp 1 0"}));
}

TEST(TabControlButtons, AClickOnTheCloseButtonRaisesCloseButtonClickOnceAndNothingElse) {
    Strip s = Workbooks({L"Book1", L"Book2"});
    ComPtr<IAccessible> selected = TabObject(s.hwnd, 0);
    ASSERT_TRUE(selected) << "the selected tab has a close button";
    Click(s.hwnd, CentreOf(s.hwnd, selected.get(), 1));
    EXPECT_EQ(s.log(), (Log{L"CloseButtonClick Book1"}));

    SCOPED_TRACE("the button of the tab under the pointer, not selected");
    s.log().clear();
    ComPtr<IAccessible> other = TabObject(s.hwnd, 1);
    ASSERT_TRUE(other);
    const POINT button = CentreOf(s.hwnd, other.get(), 1);
    EXPECT_NE(IntOf(&IAccessible::get_accState, other.get(), 1) & STATE_SYSTEM_INVISIBLE, 0) << "not drawn yet";
    MoveTo(s.hwnd, button);
    EXPECT_EQ(IntOf(&IAccessible::get_accState, other.get(), 1) & STATE_SYSTEM_INVISIBLE, 0);
    Click(s.hwnd, button);
    EXPECT_EQ(s.log(), (Log{L"CloseButtonClick Book2"}));
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 0);

    SCOPED_TRACE("pressed on the button, released off it: no click at all");
    s.log().clear();
    SendMessageW(s.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.x, button.y));
    SendMessageW(s.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(TabCentre(s.hwnd, 1).x - 20, button.y));
    EXPECT_TRUE(s.log().empty());
}

TEST(TabControlButtons, AMiddleClickIsReportedAsButtonFourOnTheTabHitTestFinds) {
    Strip s = Workbooks({L"Book1", L"Book2"});
    for (bool onCloseButton : {false, true}) {
        SCOPED_TRACE(onCloseButton ? "on the close button" : "on the caption");
        s.log().clear();
        ComPtr<IAccessible> tab = TabObject(s.hwnd, 1);
        ASSERT_TRUE(tab);
        const POINT at = onCloseButton ? CentreOf(s.hwnd, tab.get(), 1) : TabCentre(s.hwnd, 1);
        MoveTo(s.hwnd, at);
        Click(s.hwnd, at, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON);
        EXPECT_EQ(s.log(), (Log{L"MouseDown 4 0", L"MouseUp 4 0"}));
        Variant hit;
        ASSERT_EQ(InvokeArgs(s.control, ctl::HitTest, DISPATCH_METHOD, hit.get(),
                             int32_t{s.host->events->lastMouseUp.x}, int32_t{s.host->events->lastMouseUp.y}),
                  S_OK);
        ASSERT_EQ(V_VT(hit.get()), VT_DISPATCH);
        EXPECT_EQ(Caption(V_DISPATCH(hit.get())), L"Book2");
    }
    s.log().clear();
    Click(s.hwnd, POINT{390, 12}, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON);
    EXPECT_EQ(s.log(), (Log{L"MouseDown 4 0", L"MouseUp 4 0"}));
    Variant empty;
    ASSERT_EQ(InvokeArgs(s.control, ctl::HitTest, DISPATCH_METHOD, empty.get(), int32_t{390}, int32_t{12}), S_OK);
    EXPECT_EQ(V_DISPATCH(empty.get()), nullptr);
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 0);
}

TEST(TabControlButtons, TheCloseButtonIsAPushButtonInsideItsTab) {
    Strip s = Workbooks({L"Book1", L"Book2"});
    ASSERT_EQ(Put(ItemAt(s.control, 0).get(), item_id::ToolTip, L"C:\\Book1.xls"), S_OK);
    ComPtr<IAccessible> list = AccessibleOf(s.hwnd);
    ComPtr<IAccessible> tab = TabObject(s.hwnd, 0);
    ASSERT_TRUE(tab);
    long count = 0;
    ASSERT_EQ(tab->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    // The tab itself answers as the list's simple element did.
    EXPECT_EQ(Text(&IAccessible::get_accName, tab.get(), CHILDID_SELF), L"Book1");
    EXPECT_EQ(Text(&IAccessible::get_accDescription, tab.get(), CHILDID_SELF), L"C:\\Book1.xls");
    EXPECT_EQ(IntOf(&IAccessible::get_accRole, tab.get(), CHILDID_SELF), ROLE_SYSTEM_PAGETAB);
    EXPECT_EQ(IntOf(&IAccessible::get_accState, tab.get(), CHILDID_SELF),
              IntOf(&IAccessible::get_accState, list.get(), 1));
    EXPECT_EQ(Text(&IAccessible::get_accName, tab.get(), 1), L"关闭");
    EXPECT_EQ(IntOf(&IAccessible::get_accRole, tab.get(), 1), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(IntOf(&IAccessible::get_accState, tab.get(), 1) & STATE_SYSTEM_INVISIBLE, 0)
        << "shown on the selected tab";

    long x = 0, y = 0, w = 0, h = 0, bx = 0, by = 0, bw = 0, bh = 0;
    ASSERT_EQ(tab->accLocation(&x, &y, &w, &h, Child(CHILDID_SELF)), S_OK);
    ASSERT_EQ(tab->accLocation(&bx, &by, &bw, &bh, Child(1)), S_OK);
    EXPECT_TRUE(bx > x && bx + bw <= x + w && by >= y && by + bh <= y + h) << "inside its tab";
    Variant hit;
    ASSERT_EQ(list->accHitTest(bx + bw / 2, by + bh / 2, hit.put()), S_OK);
    ASSERT_EQ(V_VT(hit.get()), VT_DISPATCH) << "the tab, as an object";
    ComPtr<IAccessible> hitTab;
    ComPtr<IDispatch>(V_DISPATCH(hit.get())).As(IID_IAccessible, hitTab);
    ASSERT_TRUE(hitTab);
    Variant inner;
    ASSERT_EQ(hitTab->accHitTest(bx + bw / 2, by + bh / 2, inner.put()), S_OK);
    EXPECT_EQ(V_I4(inner.get()), 1);

    ComPtr<IDispatch> parent;
    ASSERT_EQ(tab->get_accParent(parent.put()), S_OK);
    EXPECT_TRUE(parent);
    ASSERT_EQ(tab->accDoDefaultAction(Child(1)), S_OK);
    EXPECT_TRUE(s.log().empty()) << "performed from the message loop";
    PumpMessages();
    EXPECT_EQ(s.log(), (Log{L"CloseButtonClick Book1"}));

    ASSERT_EQ(Call(s.control, ctl::RemoveItem, int32_t{0}), S_OK);
    EXPECT_EQ(tab->get_accChildCount(&count), RPC_E_DISCONNECTED) << "its tab left the list";
}

TEST(TabControlButtons, AnUnsavedTabTellsItThroughItsValueOnlyWhileMarksShow) {
    Strip s = Workbooks({L"Book1", L"预算.xls"}, RECT{0, 0, 400, 25}, false);
    ComPtr<IDispatch> book = ItemAt(s.control, 1);
    ASSERT_EQ(Put(book.get(), item_id::Unsaved, true), S_OK);
    EXPECT_TRUE(GetBool(book.get(), item_id::Unsaved));
    ComPtr<IAccessible> list = AccessibleOf(s.hwnd);
    EXPECT_EQ(Text(&IAccessible::get_accValue, list.get(), 2), L"") << "marks are off";
    const POINT before = TabCentre(s.hwnd, 1);

    ASSERT_EQ(Put(s.control, ctl::ShowUnsavedMarks, true), S_OK);
    EXPECT_EQ(Text(&IAccessible::get_accValue, list.get(), 2), L"未保存");
    EXPECT_EQ(Text(&IAccessible::get_accValue, list.get(), 1), L"");
    EXPECT_EQ(Text(&IAccessible::get_accName, list.get(), 2), L"预算.xls") << "the name stays the caption";
    EXPECT_EQ(GetString(book.get(), item_id::Caption), L"预算.xls");
    EXPECT_GT(TabCentre(s.hwnd, 1).x, before.x) << "the mark takes room in the tab";

    ASSERT_EQ(Put(book.get(), item_id::Unsaved, false), S_OK);
    EXPECT_EQ(Text(&IAccessible::get_accValue, list.get(), 2), L"");
    EXPECT_TRUE(s.log().empty());
}

// What the popup list showed, and the keys that choose an entry in it. The
// menu runs its own loop; a thread timer reaches into it.
struct MenuChooser {
    int choose = -1;  // zero-based entry
    std::vector<std::wstring> texts;
    std::vector<bool> checked;
    bool seen = false;
};
MenuChooser* g_chooser = nullptr;

void CALLBACK ChooseFromMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND menuWindow = FindWindowW(L"#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow) || !g_chooser || g_chooser->seen) return;
    KillTimer(nullptr, timer);
    g_chooser->seen = true;
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        g_chooser->texts.push_back(text);
        g_chooser->checked.push_back((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0);
    }
    for (int i = 0; i <= g_chooser->choose; ++i) PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menuWindow, WM_KEYDOWN, g_chooser->choose < 0 ? VK_ESCAPE : VK_RETURN, 0);
}

void ChooseFromList(HWND strip, POINT listButton, MenuChooser& chooser) {
    g_chooser = &chooser;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, ChooseFromMenu);
    Click(strip, listButton);
    const DWORD end = GetTickCount() + 3000;
    while (!chooser.seen && static_cast<LONG>(end - GetTickCount()) > 0) {
        PumpMessages();
        Sleep(10);
    }
    PumpMessages();
    KillTimer(nullptr, timer);
    g_chooser = nullptr;
}

TEST(TabControlButtons, TheListChoosesTheTabAsALeftClickWouldAndScrollsToIt) {
    Strip s = Workbooks({L"Book1", L"Book11", L"R&D.xls", L"Book1.xls", L"RD.xls"}, RECT{0, 0, 200, 25}, false);
    ComPtr<IAccessible> list = AccessibleOf(s.hwnd);
    long count = 0;
    ASSERT_EQ(list->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, 6) << "five tabs and the list button";
    EXPECT_EQ(Text(&IAccessible::get_accName, list.get(), 6), L"所有工作簿");
    EXPECT_EQ(IntOf(&IAccessible::get_accRole, list.get(), 6), ROLE_SYSTEM_PUSHBUTTON);
    const POINT button = CentreOf(s.hwnd, list.get(), 6);
    ASSERT_NE(IntOf(&IAccessible::get_accState, list.get(), 5) & STATE_SYSTEM_INVISIBLE, 0);

    MenuChooser chooser;
    chooser.choose = 4;
    ChooseFromList(s.hwnd, button, chooser);
    ASSERT_TRUE(chooser.seen) << "no popup list appeared";
    EXPECT_EQ(chooser.texts, (std::vector<std::wstring>{L"Book1", L"Book11", L"R&&D.xls", L"Book1.xls", L"RD.xls"}));
    EXPECT_EQ(chooser.checked, (std::vector<bool>{true, false, false, false, false}));
    EXPECT_EQ(s.log(), (Log{L"BeforeItemClick RD.xls", L"SelectedChanged RD.xls"}));
    EXPECT_EQ(IntOf(&IAccessible::get_accState, list.get(), 5) & STATE_SYSTEM_INVISIBLE, 0) << "scrolled into view";

    SCOPED_TRACE("the name with an ampersand, then the selected tab again");
    for (const auto& [entry, expected] : {std::pair{2, Log{L"BeforeItemClick R&D.xls", L"SelectedChanged R&D.xls"}},
                                          std::pair{2, Log{L"BeforeItemClick R&D.xls"}}, std::pair{-1, Log{}}}) {
        s.log().clear();
        MenuChooser again;
        again.choose = entry;
        ChooseFromList(s.hwnd, CentreOf(s.hwnd, list.get(), 6), again);
        ASSERT_TRUE(again.seen);
        EXPECT_EQ(s.log(), expected) << "entry " << entry;
    }
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 2);
}

}  // namespace
}  // namespace tabtest
