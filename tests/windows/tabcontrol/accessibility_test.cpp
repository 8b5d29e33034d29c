// The tabs as screen readers (and the Windows tests) see them: a page tab
// list with one page tab per item.
#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace item_id = corvane::dispid::item;

std::wstring Name(IAccessible* acc, long child) {
    Bstr name;
    acc->get_accName(Child(child), name.put());
    return name.str();
}

LONG Role(IAccessible* acc, long child) {
    Variant role;
    acc->get_accRole(Child(child), role.put());
    return V_VT(role.get()) == VT_I4 ? V_I4(role.get()) : -1;
}

LONG State(IAccessible* acc, long child) {
    Variant state;
    acc->get_accState(Child(child), state.put());
    return V_VT(state.get()) == VT_I4 ? V_I4(state.get()) : -1;
}

struct Workbooks {
    std::unique_ptr<HostedControl> host;
    HWND strip = nullptr;
    ComPtr<IAccessible> acc;
};

Workbooks ThreeWorkbooksSecondSelected() {
    Workbooks w;
    w.host = HostControl();
    w.strip = w.host->Strip();
    IDispatch* c = w.host->control.get();
    AddTabs(c, {L"Book1", L"预算.xls", L"Book3"});
    EXPECT_EQ(Put(ItemAt(c, 1).get(), item_id::ToolTip, L"C:\\报表\\预算.xls"), S_OK);
    EXPECT_EQ(Put(c, ctl::SelectedItem, int32_t{1}), S_OK);
    PumpMessages();
    w.host->events->log.clear();
    w.acc = AccessibleOf(w.strip);
    return w;
}

TEST(TabControlAccessibility, TheStripIsAPageTabListWithOnePageTabPerItem) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    IAccessible* acc = w.acc.get();
    long count = 0;
    ASSERT_EQ(acc->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Role(acc, CHILDID_SELF), ROLE_SYSTEM_PAGETABLIST);
    EXPECT_EQ(Role(acc, 2), ROLE_SYSTEM_PAGETAB);
    EXPECT_EQ(Name(acc, 1), L"Book1");
    EXPECT_EQ(Name(acc, 2), L"预算.xls");
    Bstr description;
    ASSERT_EQ(acc->get_accDescription(Child(2), description.put()), S_OK);
    EXPECT_EQ(description.str(), L"C:\\报表\\预算.xls") << "the tooltip";
    EXPECT_NE(State(acc, 2) & STATE_SYSTEM_SELECTED, 0);
    EXPECT_EQ(State(acc, 1) & STATE_SYSTEM_SELECTED, 0);
    EXPECT_NE(State(acc, 1) & STATE_SYSTEM_SELECTABLE, 0);
    Variant selection;
    ASSERT_EQ(acc->get_accSelection(selection.put()), S_OK);
    EXPECT_EQ(V_I4(selection.get()), 2);
    IDispatch* child = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(acc->get_accChild(Child(1), &child), S_FALSE) << "simple elements";
    EXPECT_EQ(child, nullptr);
    Bstr none;
    EXPECT_EQ(acc->get_accName(Child(4), none.put()), E_INVALIDARG);
}

TEST(TabControlAccessibility, TabsLieSideBySideInsideTheStripAndHitTestFindsThem) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    RECT window{};
    GetWindowRect(w.strip, &window);
    long previousRight = window.left;
    for (long id = 1; id <= 3; ++id) {
        SCOPED_TRACE(id);
        long x = 0, y = 0, cx = 0, cy = 0;
        ASSERT_EQ(w.acc->accLocation(&x, &y, &cx, &cy, Child(id)), S_OK);
        EXPECT_GE(x, window.left);
        EXPECT_LE(x + cx, window.right);
        EXPECT_GE(y, window.top);
        EXPECT_LE(y + cy, window.bottom);
        EXPECT_GE(x + cx, previousRight);
        previousRight = x + cx;
        Variant hit;
        ASSERT_EQ(w.acc->accHitTest(x + cx / 2, y + cy / 2, hit.put()), S_OK);
        EXPECT_EQ(V_I4(hit.get()), id);
    }
    Variant outside;
    EXPECT_EQ(w.acc->accHitTest(window.right + 5, window.top, outside.put()), S_FALSE);
}

TEST(TabControlAccessibility, NavigationWalksTheTabsInOrder) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    Variant next;
    ASSERT_EQ(w.acc->accNavigate(NAVDIR_FIRSTCHILD, Child(CHILDID_SELF), next.put()), S_OK);
    EXPECT_EQ(V_I4(next.get()), 1);
    ASSERT_EQ(w.acc->accNavigate(NAVDIR_NEXT, Child(2), next.put()), S_OK);
    EXPECT_EQ(V_I4(next.get()), 3);
    EXPECT_EQ(w.acc->accNavigate(NAVDIR_NEXT, Child(3), next.put()), S_FALSE);
}

TEST(TabControlAccessibility, TheDefaultActionClicksTheTabFromTheMessageLoop) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    Bstr action;
    ASSERT_EQ(w.acc->get_accDefaultAction(Child(3), action.put()), S_OK);
    EXPECT_EQ(action.str(), L"切换");
    ASSERT_EQ(w.acc->accDoDefaultAction(Child(3)), S_OK);
    EXPECT_TRUE(w.host->events->log.empty()) << "not while the client waits";
    PumpMessages();
    EXPECT_EQ(w.host->events->log, (Log{L"BeforeItemClick Book3", L"SelectedChanged Book3"}));
}

TEST(TabControlAccessibility, SelectingTakesTheSelectionAtOnce) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    ASSERT_EQ(w.acc->accSelect(SELFLAG_TAKESELECTION, Child(1)), S_OK);
    EXPECT_EQ(w.host->events->log, (Log{L"SelectedChanged Book1"}));
    EXPECT_EQ(w.acc->accSelect(SELFLAG_ADDSELECTION, Child(2)), E_INVALIDARG) << "one tab at a time";
}

TEST(TabControlAccessibility, AKeptObjectIsDisconnectedOnceTheStripIsGoneAndHoldsNothing) {
    Workbooks w = ThreeWorkbooksSecondSelected();
    ASSERT_TRUE(w.acc);
    w.host->Close();
    long count = 0;
    EXPECT_EQ(w.acc->get_accChildCount(&count), RPC_E_DISCONNECTED);
    w.host->events->AddRef();
    EXPECT_EQ(w.host->events->Release(), 1u) << "the control let go of the sink";
}

}  // namespace
}  // namespace tabtest
