// Events of Corvane.ocx raised from real window messages, in the order
// the add-in relies on for a left click, and the re-entrancy Excel brings along.
#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace item_id = corvane::dispid::item;

struct Strip {
    std::unique_ptr<HostedControl> host;
    HWND hwnd = nullptr;
    IDispatch* control = nullptr;
    EventRecorder& events() { return *host->events.get(); }
};

// Two workbooks, the first one selected, the log empty.
Strip TwoWorkbooks(RECT position = RECT{0, 0, 400, 25}) {
    Strip s;
    s.host = HostControl(position);
    s.control = s.host->control.get();
    s.hwnd = s.host->Strip();
    AddTabs(s.control, {L"Book1", L"Book2"});
    EXPECT_EQ(Put(ItemAt(s.control, 0).get(), item_id::Selected, true), S_OK);
    PumpMessages();
    s.events().log.clear();
    return s;
}

TEST(TabControlEvents, LeftClickOnAnotherTabRaisesBeforeItemClickThenSelectedChangedThenMouseUp) {
    Strip s = TwoWorkbooks();
    SCOPED_TRACE("a left click on Book2");
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    EXPECT_EQ(s.events().log,
              (Log{L"MouseDown 1 0", L"BeforeItemClick Book2", L"SelectedChanged Book2", L"MouseUp 1 0"}));
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 1);
}

TEST(TabControlEvents, MouseUpDeliversTheUnitHitTestTakes) {
    Strip s = TwoWorkbooks();
    const POINT centre = TabCentre(s.hwnd, 1);
    Click(s.hwnd, centre);
    EXPECT_EQ(s.events().lastMouseUp.x, centre.x);
    EXPECT_EQ(s.events().lastMouseUp.y, centre.y);
    Variant hit;
    ASSERT_EQ(InvokeArgs(s.control, ctl::HitTest, DISPATCH_METHOD, hit.get(), int32_t{s.events().lastMouseUp.x},
                         int32_t{s.events().lastMouseUp.y}),
              S_OK);
    ASSERT_EQ(V_VT(hit.get()), VT_DISPATCH);
    EXPECT_EQ(Caption(V_DISPATCH(hit.get())), L"Book2");

    Variant empty;
    ASSERT_EQ(InvokeArgs(s.control, ctl::HitTest, DISPATCH_METHOD, empty.get(), int32_t{390}, int32_t{12}), S_OK);
    EXPECT_EQ(V_VT(empty.get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(empty.get()), nullptr) << "the empty part of the strip is Nothing";
}

TEST(TabControlEvents, LeftClickOnTheSelectedTabRaisesNoSelectedChanged) {
    Strip s = TwoWorkbooks();
    Click(s.hwnd, TabCentre(s.hwnd, 0));
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"BeforeItemClick Book1", L"MouseUp 1 0"}));
}

TEST(TabControlEvents, RightClickReportsButtonTwoAndLeavesTheSelectionToTheContainer) {
    Strip s = TwoWorkbooks();
    Click(s.hwnd, TabCentre(s.hwnd, 1), WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 2 0", L"MouseUp 2 0"}));
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 0);
}

TEST(TabControlEvents, ClickOnTheEmptyPartReportsOnlyTheButton) {
    Strip s = TwoWorkbooks();
    Click(s.hwnd, POINT{390, 12});
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"MouseUp 1 0"}));
}

TEST(TabControlEvents, ADoubleClickArrivesAsTwoClicksForTheContainerToPair) {
    Strip s = TwoWorkbooks();
    EXPECT_EQ(GetClassLongW(s.hwnd, GCL_STYLE) & CS_DBLCLKS, 0u) << "no WM_LBUTTONDBLCLK for the strip";
    const POINT at = TabCentre(s.hwnd, 1);
    Click(s.hwnd, at);
    Click(s.hwnd, at);
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"BeforeItemClick Book2", L"SelectedChanged Book2", L"MouseUp 1 0",
                                   L"MouseDown 1 0", L"BeforeItemClick Book2", L"MouseUp 1 0"}));
}

TEST(TabControlEvents, ShiftAndCtrlAreReportedInTheShiftArgument) {
    Strip s = TwoWorkbooks();
    const LPARAM where = MAKELPARAM(390, 12);
    SendMessageW(s.hwnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, where);
    SendMessageW(s.hwnd, WM_LBUTTONUP, MK_SHIFT, where);
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 3", L"MouseUp 1 1"}));
}

TEST(TabControlEvents, ACancelledClickKeepsTheSelection) {
    Strip s = TwoWorkbooks();
    s.events().cancelClicks = true;
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"BeforeItemClick Book2", L"MouseUp 1 0"}));
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 0);
}

TEST(TabControlEvents, SettingSelectedRaisesSelectedChangedOnlyWhenTheSelectionChanges) {
    Strip s = TwoWorkbooks();
    ComPtr<IDispatch> book2 = ItemAt(s.control, 1);
    ASSERT_EQ(Put(book2.get(), item_id::Selected, true), S_OK);
    ASSERT_EQ(Put(book2.get(), item_id::Selected, true), S_OK);
    ASSERT_EQ(Put(s.control, ctl::SelectedItem, int32_t{0}), S_OK);
    EXPECT_EQ(s.events().log, (Log{L"SelectedChanged Book2", L"SelectedChanged Book1"}));
}

TEST(TabControlEvents, AHandlerMayRebuildTheWholeListInsideSelectedChanged) {
    // Activating a workbook raises Excel's WorkbookActivate, which may
    // rebuild the strip (UpdateMenu) before the click is over.
    Strip s = TwoWorkbooks();
    s.events().onSelectedChanged = [&](IDispatch*) {
        EXPECT_EQ(Call(s.control, ctl::RemoveAll), S_OK);
        EXPECT_EQ(Put(s.control, ctl::ItemCount, int32_t{3}), S_OK);
        EXPECT_EQ(Put(ItemAt(s.control, 2).get(), item_id::Caption, L"Book3"), S_OK);
    };
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    EXPECT_EQ(s.events().log,
              (Log{L"MouseDown 1 0", L"BeforeItemClick Book2", L"SelectedChanged Book2", L"MouseUp 1 0"}));
    EXPECT_EQ(GetLong(s.control, ctl::ItemCount), 3);
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), -1);
    EXPECT_EQ(Caption(ItemAt(s.control, 2).get()), L"Book3");
}

TEST(TabControlEvents, AHandlerMayCloseTheControlInsideBeforeItemClick) {
    Strip s = TwoWorkbooks();
    s.events().onBeforeItemClick = [&](IDispatch*) { s.host->Close(); };
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    EXPECT_FALSE(IsWindow(s.hwnd));
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"BeforeItemClick Book2"}))
        << "the sink was disconnected by Close";
}

TEST(TabControlEvents, AClickLeavesTheKeyboardFocusWhereItWas) {
    // The add-in tells from the focus that Excel is editing a cell.
    Strip s = TwoWorkbooks();
    SetForegroundWindow(s.host->form);
    SetFocus(s.host->edit);
    PumpMessages();
    if (GetFocus() != s.host->edit) GTEST_SKIP() << "no focus under this display";
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    PumpMessages();
    EXPECT_EQ(GetFocus(), s.host->edit);
}

TEST(TabControlEvents, FrozenEventsAreNotRaised) {
    Strip s = TwoWorkbooks();
    ComPtr<IOleControl> control;
    ASSERT_EQ(s.host->ole.As(IID_IOleControl, control), S_OK);
    ASSERT_EQ(control->FreezeEvents(TRUE), S_OK);
    Click(s.hwnd, TabCentre(s.hwnd, 1));
    EXPECT_TRUE(s.events().log.empty());
    EXPECT_EQ(GetLong(s.control, ctl::SelectedItem), 1) << "the click itself still selects";
    ASSERT_EQ(control->FreezeEvents(FALSE), S_OK);
    Click(s.hwnd, POINT{390, 12});
    EXPECT_EQ(s.events().log, (Log{L"MouseDown 1 0", L"MouseUp 1 0"}));
}

LONG TabState(HWND strip, int32_t index) {
    ComPtr<IAccessible> acc;
    AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void());
    VARIANT child;
    V_VT(&child) = VT_I4;
    V_I4(&child) = index + 1;
    Variant state;
    if (acc) acc->get_accState(child, state.put());
    return V_VT(state.get()) == VT_I4 ? V_I4(state.get()) : -1;
}

TEST(TabControlEvents, NavigationButtonsScrollTheTabsWithoutMouseEvents) {
    auto host = HostControl(RECT{0, 0, 200, 25});
    const HWND strip = host->Strip();
    AddTabs(host->control.get(), {L"Workbook one", L"Workbook two", L"Workbook three", L"Workbook four"});
    PumpMessages();
    EXPECT_EQ(TabState(strip, 0) & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_NE(TabState(strip, 3) & STATE_SYSTEM_INVISIBLE, 0);
    host->events->log.clear();

    const POINT next{195, 15};  // the right navigation button
    for (int i = 0; i < 3; ++i) Click(strip, next);
    EXPECT_TRUE(host->events->log.empty());
    EXPECT_NE(TabState(strip, 0) & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_EQ(TabState(strip, 3) & STATE_SYSTEM_INVISIBLE, 0);
}

TEST(TabControlEvents, SelectingAHiddenTabScrollsItIntoView) {
    auto host = HostControl(RECT{0, 0, 200, 25});
    const HWND strip = host->Strip();
    AddTabs(host->control.get(), {L"Workbook one", L"Workbook two", L"Workbook three", L"Workbook four"});
    PumpMessages();
    ASSERT_NE(TabState(strip, 3) & STATE_SYSTEM_INVISIBLE, 0);
    ASSERT_EQ(Put(host->control.get(), ctl::SelectedItem, int32_t{3}), S_OK);
    EXPECT_EQ(TabState(strip, 3) & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_NE(TabState(strip, 3) & STATE_SYSTEM_SELECTED, 0);
}

}  // namespace
}  // namespace tabtest
