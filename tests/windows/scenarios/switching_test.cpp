// The strip follows Excel: tab clicks, workbooks opened, created, closed and
// renamed, the main window's width, the host bar hidden or deleted.
#include <gtest/gtest.h>

#include "harness.h"

namespace scen {
namespace {

class Switching : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterAddin(), 0u); }
};

TEST_F(Switching, ClickingATabActivatesItsWorkbookWithoutRebuildingTheStrip) {
    Session s({.initialWorkbooks = 3});
    const auto active = s.excel.ActiveWorkbook();
    ASSERT_TRUE(active);
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, *active));
    const HWND form = s.Form();

    for (const wchar_t* target : {L"Book1", L"Book3", L"Book2"}) {
        SCOPED_TRACE(testing::Message() << "clicking " << target);
        s.excel.ClearEvents();
        s.ClickTab(target);
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == target; }, 2000));
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, target));
        EXPECT_EQ(s.Form(), form) << "the activation event rebuilt the strip";
    }
    SCOPED_TRACE("the following ticks find nothing to repair");
    s.Pump(200);
    EXPECT_EQ(s.Form(), form);
    EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book2");
    EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
}

TEST_F(Switching, OpeningCreatingHidingRenamingAndClosingWorkbooks) {
    Session s({.initialWorkbooks = 2});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));

    struct Step {
        const char* what;
        std::function<void(fakexl::FakeExcel&)> act;
        std::vector<std::wstring> tabs;
        std::wstring selected;
    };
    const Step steps[] = {
        {"open", [](auto& x) { x.OpenWorkbook(L"C:\\data\\Q1, north.xls"); },
         {L"Book1", L"Book2", L"Q1, north.xls"}, L"Q1, north.xls"},
        {"create", [](auto& x) { x.CreateWorkbook(); },
         {L"Book1", L"Book2", L"Q1, north.xls", L"Book3"}, L"Book3"},
        {"activate by other means", [](auto& x) { x.ActivateWorkbook(L"Book1"); },
         {L"Book1", L"Book2", L"Q1, north.xls", L"Book3"}, L"Book1"},
        {"hide", [](auto& x) { x.HideWorkbook(L"Book2"); }, {L"Book1", L"Q1, north.xls", L"Book3"}, {}},
        {"save as", [](auto& x) {
             x.ActivateWorkbook(L"Book3");
             x.RenameWorkbook(L"Book3", L"C:\\data\\预算 2026.xls");
         },
         {L"Book1", L"Q1, north.xls", L"预算 2026.xls"}, L"预算 2026.xls"},
        {"close", [](auto& x) { x.CloseWorkbook(L"Q1, north.xls"); }, {L"Book1", L"预算 2026.xls"}, {}},
        {"open hidden", [](auto& x) { x.OpenWorkbook(L"C:\\data\\macros.xla", true); },
         {L"Book1", L"预算 2026.xls"}, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(s.excel);
        EXPECT_TRUE(s.WaitForStrip(step.tabs, step.selected));
        const auto active = s.excel.ActiveWorkbook();
        ASSERT_TRUE(active);
        EXPECT_TRUE(s.WaitForStrip(step.tabs, *active)) << "the active workbook's tab is not selected";
    }
    EXPECT_TRUE(s.excel.SinkFailures().empty());
}

TEST_F(Switching, AWidthChangeRedocksTheStripIntoTheNewWidthAndOtherChangesDoNot) {
    Session s({.width = 800, .height = 600, .initialWorkbooks = 2});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
    auto formWidth = [&] {
        RECT r{};
        ::GetWindowRect(s.Form(), &r);
        return r.right - r.left;
    };
    auto barWidth = [&] {
        RECT r{};
        ::GetClientRect(s.excel.BarWindow(kHostBar), &r);
        return r.right - r.left;
    };
    const LONG before = formWidth();
    EXPECT_EQ(before, barWidth());

    SCOPED_TRACE("height and position alone leave the strip alone");
    HWND form = s.Form();
    s.excel.ResizeMainWindow(800, 500);
    s.excel.MoveMainWindow(30, 20);
    s.Pump(150);
    EXPECT_EQ(s.Form(), form);

    for (int width : {1100, 640}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        s.excel.ResizeMainWindow(width, 500);
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.Form() && formWidth() == barWidth() && formWidth() != before; },
                                      3000));
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
        form = s.Form();
        s.Pump(150);
        EXPECT_EQ(s.Form(), form) << "re-docked again without a new width";
    }
}

TEST_F(Switching, AHiddenOrDeletedHostBarComesBack) {
    Session s({.initialWorkbooks = 2});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
    for (bool deleteIt : {false, true}) {
        SCOPED_TRACE(deleteIt ? "deleted" : "hidden");
        if (deleteIt) {
            s.excel.DeleteBar(kHostBar);
        } else {
            s.excel.HideBar(kHostBar);
        }
        EXPECT_TRUE(s.excel.PumpUntil(
            [&] {
                auto bar = s.excel.Bar(kHostBar);
                return bar && bar->visible && s.Form() && ::IsWindowVisible(s.Form());
            },
            3000));
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
        int bars = 0;
        for (const auto& bar : s.excel.Bars()) bars += bar.name == kHostBar;
        EXPECT_EQ(bars, 1);
    }
}

// A click on the selected tab makes no activation; the user's next switch
// by other means must stand.
TEST_F(Switching, AClickOnTheSelectedTabDoesNotUndoTheNextSwitch) {
    Session s({.initialWorkbooks = 2});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}, L"Book2"));
    s.ClickTab(L"Book2");
    s.Pump(50);
    s.excel.ActivateWorkbook(L"Book1");
    s.Pump(150);
    EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book1");
    EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}, L"Book1"));
}

// Saved under a new name by a macro while another workbook is active: no
// event tells, and the tick compares the active workbook's name only.
TEST_F(Switching, AWorkbookRenamedWhileAnotherIsActiveGetsItsNewNameAndSwitchesToIt) {
    Session s({.initialWorkbooks = 3});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
    for (DWORD idle : {0, 1500}) {
        SCOPED_TRACE(testing::Message() << "after " << idle << " ms without activity");
        s.Pump(idle);
        const std::wstring old = idle == 0 ? L"Book1" : L"销售1.xls";
        const std::wstring renamed = idle == 0 ? L"销售1.xls" : L"销售7.xls";
        s.excel.RenameWorkbook(old, L"C:\\data\\" + renamed);
        EXPECT_TRUE(s.WaitForStrip({renamed, L"Book2", L"Book3"}, L"Book3", 3000));
        s.ClickTab(renamed);
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == renamed; }, 2000));
        s.ClickTab(L"Book3");
        EXPECT_TRUE(s.excel.PumpUntil([&] { return s.excel.ActiveWorkbook() == L"Book3"; }, 2000));
    }
    EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
}

TEST_F(Switching, HidingAndShowingTheOnlyWorkbookBringsTheStripBack) {
    Session s({.initialWorkbooks = 1});
    ASSERT_TRUE(s.WaitForStrip({L"Book1"}, L"Book1"));
    s.excel.HideWorkbook(L"Book1");
    ASSERT_TRUE(s.WaitForNoStrip());
    s.excel.ShowWorkbook(L"Book1");
    EXPECT_TRUE(s.WaitForStrip({L"Book1"}, L"Book1"));
}

TEST_F(Switching, ClosingTheLastWorkbookRemovesTheStripAndStopsTheTimer) {
    Session s({.initialWorkbooks = 1});
    ASSERT_TRUE(s.WaitForStrip({L"Book1"}));
    s.excel.CloseWorkbook(L"Book1");
    EXPECT_TRUE(s.WaitForNoStrip());
    s.Pump(50);
    s.excel.ResetCallCounts();
    s.Pump(200);
    EXPECT_EQ(s.excel.InvokeCount(), 0) << "a timer still calls Excel";

    SCOPED_TRACE("the next workbook brings the strip back");
    const std::wstring book = s.excel.CreateWorkbook();
    EXPECT_TRUE(s.WaitForStrip({book}, book));
    EXPECT_GT(s.excel.MemberCalls(L"Application.Visible"), 0);
}

}  // namespace
}  // namespace scen
