// Excel's application events keep the strip in line without rebuilding it
// twice for one change.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "interop/host_error.h"
#include "tracking_session.h"

namespace tarnwick::tracking_tests {
namespace {

using Captions = std::vector<std::wstring>;

TEST(AppEvents, TabClickActivatesItsWorkbookWithoutRebuildAndTheNextTickIdles) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    ASSERT_EQ(world.ActiveWorkbookName(), L"b.xls");
    world.ResetCallCounts();

    SCOPED_TRACE("the user clicks the first tab");
    world.ClickTab(0);
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_FALSE(State().TabClickPending) << "the activation consumed the click";
    EXPECT_EQ(excel->Rebuilds(), 0);

    SCOPED_TRACE("the next tick finds nothing to repair");
    world.ResetCallCounts();
    world.Tick();
    EXPECT_EQ(world.CallCount("Workbook.Activate"), 0);
    EXPECT_EQ(excel->Rebuilds(), 0);
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls"}));
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

TEST(AppEvents, FirstWorkbookInEmptyExcelBringsTheStripUpAndAbsorbsItsActivation) {
    struct Case {
        const char* how;
        std::function<void(sim::World&)> create;
        std::wstring name;
        bool locked;  // the open handler hides the docking under a window-update lock
    };
    const std::vector<Case> cases = {
        {"new workbook", [](sim::World& w) { w.NewWorkbook(); }, L"Book1", false},
        {"opened workbook", [](sim::World& w) { w.OpenWorkbook(L"C:\\data\\a.xls"); }, L"a.xls", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        Session excel({});
        sim::World& world = excel.world;
        ASSERT_EQ(world.TabFormWindow(), 0u) << "no strip without a visible workbook";
        world.ResetCallCounts();

        c.create(world);
        ASSERT_NE(world.TabFormWindow(), 0u);
        EXPECT_EQ(world.TabCaptions(), Captions{c.name});
        EXPECT_EQ(world.SelectedTab(), 0);
        EXPECT_FALSE(State().NewWorkbookPending) << "the activation that followed was absorbed";
        EXPECT_EQ(excel.Rebuilds(), 1) << "only the load filled the strip";
        bool lockedMain = false;
        for (const sim::LockCall& call : world.LockHistory()) lockedMain |= call.hwnd == world.MainWindow();
        EXPECT_EQ(lockedMain, c.locked);
        EXPECT_EQ(world.LockedWindow(), 0u);
    }
}

TEST(AppEvents, SecondWorkbookIsAppendedAndSelectedWithoutRebuild) {
    auto excel = ExcelWith({kBookA});
    sim::World& world = excel->world;
    world.ResetCallCounts();

    world.OpenWorkbook(kBookB);
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls"}));
    EXPECT_EQ(world.TabToolTips(), (Captions{kBookA, kBookB}));
    EXPECT_EQ(world.SelectedTab(), 1);
    EXPECT_EQ(excel->Rebuilds(), 0);
    EXPECT_FALSE(State().NewWorkbookPending);

    world.NewWorkbook();
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls", L"Book1"}));
    EXPECT_EQ(excel->Rebuilds(), 0);
}

TEST(AppEvents, ActivationByOtherMeansRebuildsWithTheActivatedTabSelected) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    world.ResetCallCounts();

    world.ActivateByUser(L"a.xls");
    EXPECT_EQ(excel->Rebuilds(), 1);
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls", L"c.xls"}));
}

TEST(AppEvents, BatchCommandSilencesHandlersAndLeavesThePendingFlags) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    AddinState& s = State();
    s.NewWorkbookPending = true;
    s.NewWorkbookName = L"b.xls";
    s.BatchCommandRunning = true;
    world.ResetCallCounts();

    SCOPED_TRACE("activations and closings during the batch");
    world.ActivateByUser(L"a.xls");
    world.CloseByUser(L"c.xls");
    EXPECT_EQ(excel->Rebuilds(), 0);
    EXPECT_TRUE(s.NewWorkbookPending);

    SCOPED_TRACE("after the batch the pending flag absorbs one activation, the next rebuilds");
    s.BatchCommandRunning = false;
    world.ActivateByUser(L"b.xls");
    EXPECT_FALSE(s.NewWorkbookPending);
    EXPECT_EQ(excel->Rebuilds(), 0);
    world.ActivateByUser(L"a.xls");
    EXPECT_EQ(excel->Rebuilds(), 1);
}

TEST(AppEvents, PendingTabClickIsConsumedBeforePendingNewWorkbook) {
    auto excel = ExcelWith({kBookA, kBookB});
    AddinState& s = State();
    s.TabClickPending = true;
    s.TabClickWorkbook = L"a.xls";
    s.NewWorkbookPending = true;
    s.NewWorkbookName = L"b.xls";

    excel->world.ActivateByUser(L"a.xls");
    EXPECT_FALSE(s.TabClickPending);
    EXPECT_TRUE(s.NewWorkbookPending);
    excel->world.ActivateByUser(L"b.xls");
    EXPECT_FALSE(s.NewWorkbookPending);
}

TEST(AppEvents, HiddenExcelMakesEveryHandlerAndTickANoOp) {
    struct Action {
        const char* what;
        std::function<void(sim::World&)> run;
    };
    const std::vector<Action> actions = {
        {"new workbook", [](sim::World& w) { w.NewWorkbook(); }},
        {"opened workbook", [](sim::World& w) { w.OpenWorkbook(L"C:\\data\\d.xls"); }},
        {"activation", [](sim::World& w) { w.ActivateByUser(L"a.xls"); }},
        {"closing", [](sim::World& w) { w.CloseByUser(L"a.xls"); }},
        {"main window resized", [](sim::World& w) {
             w.ResizeMainWindow(700, 500);
             w.Tick();
         }},
        {"ticks", [](sim::World& w) {
             w.Tick();
             w.Tick();
         }},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.what);
        auto excel = ExcelWith({kBookA, kBookB});
        sim::World& world = excel->world;
        const Captions before = world.TabCaptions();
        const int32_t formsBefore = world.TabFormsCreated();
        world.SetExcelVisible(false);
        world.ResetCallCounts();

        action.run(world);
        EXPECT_EQ(world.TabCaptions(), before);
        EXPECT_EQ(world.TabFormsCreated(), formsBefore);
        EXPECT_EQ(excel->Rebuilds(), 0);
        EXPECT_FALSE(State().NewWorkbookPending);
        EXPECT_FALSE(State().TabClickPending);
        EXPECT_FALSE(State().BatchCommandRunning);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(AppEvents, ClosingFromExcelRebuildsWithTheActiveWorkbookSelected) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    world.ActivateByUser(L"a.xls");
    world.ResetCallCounts();
    bool cancel = false;

    SCOPED_TRACE("before-close: the workbook is still open, the active one selected");
    excel->addin.oEventAppExcel_WorkbookBeforeClose(nullptr, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(excel->Rebuilds(), 1);
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_EQ(world.TabCaptions(), (Captions{L"a.xls", L"b.xls", L"c.xls"}));
}

TEST(AppEvents, BeforeCloseHandlerPassesItsFirstFailureToExcel) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    world.FailCall("Application.Visible");
    bool cancel = false;

    EXPECT_THROW(excel->addin.oEventAppExcel_WorkbookBeforeClose(nullptr, cancel), HostError);
    EXPECT_FALSE(cancel);

    SCOPED_TRACE("through Excel's own close: the failure is the event call's result, the close goes on");
    EXPECT_TRUE(world.CloseByUser(L"a.xls"));
    EXPECT_FALSE(world.LastEventError().empty());
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

TEST(AppEvents, TheOtherHandlersSwallowFailures) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    world.FailCall("Workbook.Name");
    world.FailCall("Application.Hwnd");

    world.OpenWorkbook(kBookC);
    world.ActivateByUser(L"a.xls");
    world.NewWorkbook();
    EXPECT_TRUE(world.LastEventError().empty());
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

}  // namespace
}  // namespace tarnwick::tracking_tests
