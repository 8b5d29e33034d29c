// The 10 ms tick: re-docking, tab count, selection, and staying cheap when
// there is nothing to repair.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tracking/sync_timer.h"
#include "tracking_session.h"

namespace tarnwick::tracking_tests {
namespace {

using Captions = std::vector<std::wstring>;

bool LockedMainWindow(const sim::World& world) {
    for (const sim::LockCall& call : world.LockHistory()) {
        if (call.hwnd == world.MainWindow()) return true;
    }
    return false;
}

// The strip shows `tab` selected while Excel keeps its active workbook, as
// when a selection change could not activate its workbook.
void SelectTabWithoutActivating(Session& excel, int32_t tab) {
    excel.world.FailCall("Workbook.Activate");
    excel.world.FailCall("Workbooks.Item");
    excel.Tabs().Select(tab);
    excel.world.ClearFaults();
}

TEST(SyncTimer, IdleTickReadsEachHostValueOnceAndRepairsNothing) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    const int32_t formsBefore = world.TabFormsCreated();
    world.ResetCallCounts();

    world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore);
    EXPECT_EQ(excel->Rebuilds(), 0);
    EXPECT_EQ(world.CallCount("Workbook.Activate"), 0);
    SCOPED_TRACE("one walk of the workbooks, one read of the window and the active workbook");
    EXPECT_EQ(world.CallCount("Application.Workbooks"), 1);
    EXPECT_EQ(world.CallCount("Application.Hwnd"), 1);
    EXPECT_EQ(world.CallCount("Application.ActiveWorkbook"), 1);
    EXPECT_EQ(world.CallCount("CommandBars.Item"), 1);
    EXPECT_EQ(world.CallCount("Platform.LockWindowUpdate"), 0);
}

TEST(SyncTimer, WidthChangeRedocksOncePerNewWidthUnderTheWindowUpdateLock) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    const int32_t formsBefore = world.TabFormsCreated();

    SCOPED_TRACE("narrower main window: one reload, under the lock, released again");
    world.ResizeMainWindow(800, 768);
    world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore + 1);
    EXPECT_TRUE(LockedMainWindow(world));
    EXPECT_EQ(world.LockedWindow(), 0u);
    EXPECT_EQ(State().DockedExcelWidth, 800);
    EXPECT_EQ(world.LiveTimers().size(), 1u) << "the reload started a fresh timer";
    world.Tick();
    world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore + 1) << "the same width docks once";

    SCOPED_TRACE("height-only changes and moves keep the strip where it is");
    world.ResizeMainWindow(800, 500);
    world.Tick();
    world.MoveMainWindow(40, 30);
    world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore + 1);
}

TEST(SyncTimer, HiddenHostBarIsBroughtBackByAReload) {
    auto excel = ExcelWith({kBookA});
    sim::World& world = excel->world;
    const int32_t formsBefore = world.TabFormsCreated();
    world.Application()->CommandBars()->Item(kHostBarName)->Visible(false);

    world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore + 1);
    ASSERT_TRUE(world.FindBar(kHostBarName).has_value());
    EXPECT_TRUE(world.FindBar(kHostBarName)->visible);
    EXPECT_EQ(world.LockedWindow(), 0u);
}

TEST(SyncTimer, DeletedHostBarIsRecreatedByAReload) {
    auto excel = ExcelWith({kBookA});
    sim::World& world = excel->world;
    world.Application()->CommandBars()->Item(kHostBarName)->Delete();

    world.Tick();
    ASSERT_TRUE(world.FindBar(kHostBarName).has_value());
    ASSERT_NE(world.Window(world.TabFormWindow()), nullptr);
    EXPECT_EQ(world.Window(world.TabFormWindow())->parent, State().TabBarHostWindow);
    EXPECT_NE(State().TabBarHostWindow, 0u);
}

TEST(SyncTimer, LastVisibleWorkbookClosedDeletesTheBarUnloadsTheFormAndStopsTheTimer) {
    auto excel = ExcelWith({kBookA});
    sim::World& world = excel->world;

    world.CloseByUser(L"a.xls");
    world.Tick();
    EXPECT_FALSE(world.FindBar(kHostBarName).has_value());
    EXPECT_EQ(world.TabFormWindow(), 0u);
    EXPECT_TRUE(world.LiveTimers().empty());
    EXPECT_EQ(State().SyncTimerId, 0u);

    SCOPED_TRACE("the next workbook brings the strip and the timer back");
    world.NewWorkbook();
    EXPECT_NE(world.TabFormWindow(), 0u);
    EXPECT_EQ(world.LiveTimers().size(), 1u);
}

TEST(SyncTimer, HiddenWorkbookWindowMakesTheTickRebuildForTheActiveWorkbook) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    world.ResetCallCounts();

    world.SetWindowVisible(L"a.xls", 1, false);
    world.Tick();
    EXPECT_EQ(world.TabCaptions(), (Captions{L"b.xls", L"c.xls"}));
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_EQ(excel->Rebuilds(), 1);

    SCOPED_TRACE("shown again: back in collection order");
    world.SetWindowVisible(L"a.xls", 1, true);
    world.Tick();
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls", L"c.xls"}));
}

TEST(SyncTimer, OutsideAWindowMenuSwitchTheSelectedTabWins) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    SelectTabWithoutActivating(*excel, 0);
    ASSERT_EQ(world.ActiveWorkbookName(), L"b.xls");

    world.Tick();
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls"}));
}

TEST(SyncTimer, DuringAWindowMenuSwitchExcelWinsOnceTheFocusLeavesTheEditWindow) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    SelectTabWithoutActivating(*excel, 0);
    excel->EditInFormulaBar();
    State().WindowMenuSwitchPending = true;

    SCOPED_TRACE("while the formula bar keeps the focus the tick waits");
    world.ResetCallCounts();
    world.Tick();
    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_EQ(world.CallCount("Application.Workbooks"), 0);
    EXPECT_TRUE(State().WindowMenuSwitchPending);

    SCOPED_TRACE("focus back in the sheet: Excel's workbook gets selected, the switch is over");
    world.FocusWindow(world.DeskWindow());
    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls");
    EXPECT_FALSE(State().WindowMenuSwitchPending);
}

TEST(SyncTimer, EditBoxSwitchLetsTheTickSelectExcelsWorkbookAndKeepsTheSwitchPending) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    SelectTabWithoutActivating(*excel, 0);
    const WindowHandle bar = world.CreateWindow(L"MsoCommandBar", L"Formatting", world.DockWindow());
    world.FocusWindow(world.CreateWindow(L"EDTBX", L"", bar));
    State().WindowMenuSwitchPending = true;

    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 0) << "the same edit box: still waiting";

    world.FocusWindow(world.CreateWindow(L"EDTBX", L"", bar));
    ASSERT_TRUE(State().EditBoxSwitched);
    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_FALSE(State().EditBoxSwitched);
    EXPECT_TRUE(State().WindowMenuSwitchPending);
}

TEST(SyncTimer, SavedAsActiveWorkbookTabTakesTheNewNameAndPath) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;

    world.RenameWorkbook(L"b.xls", L"D:\\archive\\b-2024.xls");
    world.Tick();
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b-2024.xls"}));
    EXPECT_EQ(world.TabToolTips(), (Captions{kBookA, L"D:\\archive\\b-2024.xls"}));
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_EQ(world.ActiveWorkbookName(), L"b-2024.xls");
}

TEST(SyncTimer, TwoTabsWithTheSameCaptionSelectTheLowerIndex) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    SCOPED_TRACE("tabs a, c, c with a selected while Excel shows c, a switch pending");
    excel->Item(1)->Caption(L"c.xls");
    SelectTabWithoutActivating(*excel, 0);
    State().WindowMenuSwitchPending = true;

    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 1);
}

TEST(SyncTimer, NoSelectedTabLeavesExcelAlone) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    excel->Item(1)->Selected(false);
    ASSERT_EQ(world.SelectedTab(), -1);
    world.ResetCallCounts();

    world.Tick();
    EXPECT_EQ(world.SelectedTab(), -1);
    EXPECT_EQ(world.CallCount("Workbook.Activate"), 0);
}

TEST(SyncTimer, UndockedStripIsNotReloadedOnEveryTick) {
    auto excel = ExcelWith({kBookA});
    sim::World& world = excel->world;
    SCOPED_TRACE("a reload that finds no host bar window");
    world.FailCall("Platform.FindWindowExA");
    world.ResizeMainWindow(900, 768);
    world.Tick();
    world.ClearFaults();
    ASSERT_EQ(State().TabBarHostWindow, 0u);
    const int32_t formsBefore = world.TabFormsCreated();

    for (int i = 0; i < 5; ++i) world.Tick();
    EXPECT_EQ(world.TabFormsCreated(), formsBefore);

    SCOPED_TRACE("the next width change docks it again");
    world.ResizeMainWindow(1000, 768);
    world.Tick();
    EXPECT_NE(State().TabBarHostWindow, 0u);
}

// A pending flag whose activation never comes must not absorb the user's
// next switch: the tick would then take Excel back to the selected tab.
TEST(SyncTimer, NoUserSwitchIsUndoneByAFlagWhoseActivationNeverCame) {
    struct Case {
        const char* what;
        std::function<void(Session&)> run;
    };
    const Case cases[] = {
        {"a click on the selected tab", [](Session& e) { e.world.ClickTab(1); }},
        {"a workbook opened hidden", [](Session& e) { e.world.OpenHiddenWorkbook(L"C:\\data\\tools.xls"); }},
        {"a click on the selected tab while editing",
         [](Session& e) {
             e.EditInFormulaBar();
             e.world.ClickTab(1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session excel({kBookA, kBookB});
        c.run(excel);
        excel.Settle();
        ASSERT_EQ(excel.world.ActiveWorkbookName(), L"b.xls");

        excel.world.ActivateByUser(L"a.xls");
        excel.Settle();
        EXPECT_EQ(excel.world.ActiveWorkbookName(), L"a.xls");
        EXPECT_EQ(excel.world.SelectedTab(), 0);
    }
}

TEST(SyncTimer, HidingAndShowingTheOnlyWorkbookBringsTheStripBack) {
    Session excel({kBookA});
    sim::World& world = excel.world;
    world.SetWindowVisible(L"a.xls", 1, false);
    excel.Settle();
    ASSERT_EQ(world.TabFormWindow(), 0u);

    world.SetWindowVisible(L"a.xls", 1, true);
    excel.Settle();
    EXPECT_EQ(world.TabCaptions(), Captions{L"a.xls"});
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_NE(State().TabBarHostWindow, 0u);
    EXPECT_EQ(world.LiveTimers().size(), 1u);
}

// Once Excel has made the switch the strip asked for, it is over: a right
// click in a later editing session opens its menu again.
TEST(SyncTimer, AWindowMenuSwitchEndsOnceExcelAndTheStripAgree) {
    for (const bool stillEditing : {false, true}) {
        SCOPED_TRACE(stillEditing ? "the focus goes back to the formula bar" : "the focus stays in Excel");
        Session excel({kBookA, kBookB});
        sim::World& world = excel.world;
        excel.EditInFormulaBar();
        world.ClickTab(0);
        ASSERT_EQ(world.ActiveWorkbookName(), L"a.xls");
        if (stillEditing) excel.EditInFormulaBar();
        world.Tick();
        EXPECT_FALSE(State().WindowMenuSwitchPending);

        excel.EditInFormulaBar();
        world.ClickTab(1, 2);
        EXPECT_EQ(world.PopupsShown().size(), 1u);
        EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls");
    }
}

TEST(SyncTimer, TimerStartedWhileExcelWasHiddenDocksTheStripOnceExcelShows) {
    Session excel({kBookA}, /*excelVisible=*/false);
    sim::World& world = excel.world;
    EXPECT_EQ(world.TabFormWindow(), 0u);
    EXPECT_EQ(world.LiveTimers().size(), 1u);

    world.SetExcelVisible(true);
    world.Tick();
    EXPECT_NE(world.TabFormWindow(), 0u);
    EXPECT_EQ(world.TabCaptions(), Captions{L"a.xls"});
    EXPECT_EQ(world.LiveTimers().size(), 1u);
}

TEST(SyncTimer, StartAndStopKeepAtMostOneTimer) {
    sim::World world;
    StartSyncTimerIfStopped();
    const std::uintptr_t first = State().SyncTimerId;
    StartSyncTimerIfStopped();
    EXPECT_EQ(State().SyncTimerId, first);
    EXPECT_EQ(world.LiveTimers().size(), 1u);

    StopSyncTimer();
    EXPECT_EQ(State().SyncTimerId, 0u);
    EXPECT_TRUE(world.LiveTimers().empty());

    SCOPED_TRACE("a failing KillTimer keeps the id of the timer that still runs; the next stop ends it");
    StartSyncTimerIfStopped();
    const std::uintptr_t running = State().SyncTimerId;
    world.FailCall("Platform.KillTimer");
    StopSyncTimer();
    EXPECT_EQ(State().SyncTimerId, running);
    StartSyncTimerIfStopped();
    EXPECT_EQ(world.LiveTimers().size(), 1u);
    world.ClearFaults();
    StopSyncTimer();
    EXPECT_EQ(State().SyncTimerId, 0u);
    EXPECT_TRUE(world.LiveTimers().empty());
}

TEST(SyncTimer, NothingEscapesATickWhateverFails) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    for (int64_t n = 1; n <= 40; ++n) {
        SelectTabWithoutActivating(*excel, 0);
        world.FailNthCall(n);
        world.Tick();
        world.ClearFaults();
        world.Tick();
    }
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

}  // namespace
}  // namespace tarnwick::tracking_tests
