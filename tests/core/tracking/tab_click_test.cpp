// Tab clicks while Excel edits text switch workbooks through Excel's Window
// menu or its window-list dialog; other clicks only mark themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tracking/sync_timer.h"
#include "tracking_session.h"

namespace tarnwick::tracking_tests {
namespace {

using Captions = std::vector<std::wstring>;

bool Executed(const sim::World& world, const std::wstring& command) {
    const auto& done = world.ExecutedCommands();
    return std::find(done.begin(), done.end(), command) != done.end();
}

std::vector<std::wstring> WindowMenuCommands(const sim::World& world) {
    std::vector<std::wstring> menu;
    for (const std::wstring& command : world.ExecutedCommands()) {
        if (command.rfind(L"WindowMenu(", 0) == 0 || command == L"MoreWindows") menu.push_back(command);
    }
    return menu;
}

TEST(TabClick, OutsideEditingOnlyTheThreeFieldsChange) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    world.FocusWindow(world.DeskWindow());
    AddinState& s = State();
    s.WindowMenuSwitchPending = true;
    s.DialogItemPattern = L"unchanged";
    s.DialogItemOccurrence = 7;
    const std::uintptr_t timer = s.SyncTimerId;
    auto item = excel->Item(0);
    world.ResetCallCounts();

    bool cancel = false;
    excel->Form().TabSeclect_BeforeItemClick(item, cancel);
    EXPECT_EQ(excel->Form().sLastItemCaption, L"a.xls");
    EXPECT_FALSE(s.WindowMenuSwitchPending);
    EXPECT_TRUE(s.TabClickPending);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(s.DialogItemPattern, L"unchanged");
    EXPECT_EQ(s.DialogItemOccurrence, 7);
    EXPECT_EQ(s.SyncTimerId, timer);
    EXPECT_EQ(s.TabClickWorkbook, L"a.xls");
    EXPECT_EQ(world.CallCount("CommandBars.FindControl"), 0) << "the Window menu is not touched";
    EXPECT_EQ(world.TotalCalls(), world.CallCount("TabItem.Caption") + world.CallCount("Application.ActiveWorkbook") +
                                      world.CallCount("Workbook.Name"));
}

TEST(TabClick, WhileEditingTheWorkbooksWindowMenuEntryIsExecuted) {
    auto excel = ExcelWith({kBookA, kBookB, kBookC});
    sim::World& world = excel->world;
    excel->EditInFormulaBar();

    world.ClickTab(0);
    EXPECT_EQ(WindowMenuCommands(world), Captions{L"WindowMenu(&1 a.xls)"});
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
    EXPECT_TRUE(State().WindowMenuSwitchPending);
    EXPECT_FALSE(State().TabClickPending) << "the menu made the activation: none is left to absorb";
    EXPECT_EQ(State().DialogItemOccurrence, 0);

    SCOPED_TRACE("the ticks that follow leave the strip on the clicked workbook");
    world.Tick();
    world.Tick();
    EXPECT_EQ(world.SelectedTab(), 0);
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

// Look-alikes in the menu ("&1 a", "&2 a" for a.xls and a.csv) in whatever
// order Office lists them: the click ends on the clicked workbook.
TEST(TabClick, WorkbooksDifferingOnlyInExtensionEndOnTheClickedOneInAnyMenuOrder) {
    struct Order {
        const char* what;
        sim::WindowMenuOrder order;
    };
    const Order orders[] = {{"Workbooks order", sim::WindowMenuOrder::Workbooks},
                            {"reverse order", sim::WindowMenuOrder::Reverse},
                            {"alphabetical", sim::WindowMenuOrder::Alphabetical}};
    for (const Order& o : orders) {
        for (const int32_t limit : {9, 0}) {
            for (const int32_t tab : {0, 1}) {
                SCOPED_TRACE(std::string(o.what) + (limit == 0 ? ", through the dialog" : "") +
                             (tab == 0 ? ": a.xls" : ": a.csv"));
                Session excel({L"C:\\data\\a.xls", L"C:\\data\\a.csv", kBookB});
                sim::World& world = excel.world;
                world.SetShowExtensions(false);
                world.SetWindowMenuOrder(o.order);
                world.SetWindowMenuLimit(limit);
                excel.EditInFormulaBar();
                world.ResetCallCounts();

                world.ClickTab(tab);
                const std::wstring clicked = tab == 0 ? L"a.xls" : L"a.csv";
                EXPECT_EQ(world.ActiveWorkbookName(), clicked);
                EXPECT_EQ(excel.Rebuilds(), 0) << "trial activations are the click's own";
                excel.Settle();
                EXPECT_EQ(world.ActiveWorkbookName(), clicked);
                EXPECT_EQ(world.SelectedTab(), tab);
                EXPECT_FALSE(State().WindowMenuSwitchPending);
                EXPECT_TRUE(world.EscapedExceptions().empty());
            }
        }
    }
}

// When no entry leads to the clicked workbook (here one whose only window
// is hidden, so the menu lists only its look-alikes), Excel goes back to the
// one it had: the click never ends on a third workbook.
TEST(TabClick, WithNoEntryOfItsOwnTheClickStaysOnTheActiveWorkbook) {
    Session excel({L"C:\\data\\a.xls", L"C:\\data\\a.csv", kBookB});
    sim::World& world = excel.world;
    world.SetShowExtensions(false);
    world.AddHiddenWorkbook(L"C:\\data\\a.txt");
    excel.Item(0)->Caption(L"a.txt");
    excel.EditInFormulaBar();

    world.ClickTab(0);
    EXPECT_EQ(WindowMenuCommands(world).size(), 3u) << "both look-alikes tried, then b.xls again";
    EXPECT_EQ(world.ActiveWorkbookName(), L"b.xls");
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

TEST(TabClick, AmpersandsInNamesAreDoubledInTheMenuAndNotInTheDialog) {
    for (const int32_t limit : {9, 0}) {
        SCOPED_TRACE(limit == 0 ? "through the dialog" : "through the menu");
        Session excel({L"C:\\data\\R&D.xls", kBookB});
        excel.world.SetWindowMenuLimit(limit);
        excel.EditInFormulaBar();

        excel.world.ClickTab(0);
        EXPECT_EQ(excel.world.ActiveWorkbookName(), L"R&D.xls");
        if (limit != 0) {
            EXPECT_EQ(WindowMenuCommands(excel.world), Captions{L"WindowMenu(&1 R&&D.xls)"});
        }
    }
}

TEST(TabClick, WithExtensionsShownTheTabsOwnEntryIsTaken) {
    Session excel({L"C:\\data\\a.xls", L"C:\\data\\a.csv"});
    excel.world.SetShowExtensions(true);
    excel.EditInFormulaBar();

    excel.world.ClickTab(0);
    EXPECT_EQ(WindowMenuCommands(excel.world), Captions{L"WindowMenu(&1 a.xls)"});
    EXPECT_EQ(excel.world.ActiveWorkbookName(), L"a.xls");
}

TEST(TabClick, WorkbookWithTwoWindowsMatchesItsNumberedEntries) {
    auto excel = ExcelWith({kBookA, kBookB});
    sim::World& world = excel->world;
    world.AddWindow(L"a.xls");
    world.ActivateByUser(L"b.xls");
    excel->EditInFormulaBar();

    world.ClickTab(0);
    EXPECT_EQ(WindowMenuCommands(world), Captions{L"WindowMenu(&1 a.xls:1)"});
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
}

TEST(TabClick, UnlistedWorkbookGoesThroughTheWindowListDialogUnderTheLock) {
    struct Case {
        const char* what;
        bool twoWindows;
        std::wstring pattern;
    };
    const std::vector<Case> cases = {
        {"one window", false, L"c.xls"},
        {"two windows", true, L"c.xls:#*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session excel({kBookA, kBookB, kBookC});
        sim::World& world = excel.world;
        if (c.twoWindows) world.AddWindow(L"c.xls");
        world.ActivateByUser(L"a.xls");
        world.SetWindowMenuLimit(1);
        excel.EditInFormulaBar();

        world.ClickTab(2);
        EXPECT_TRUE(Executed(world, L"MoreWindows"));
        EXPECT_EQ(State().DialogItemPattern, c.pattern);
        EXPECT_TRUE(State().WindowMenuSwitchPending);
        ASSERT_FALSE(world.LockHistory().empty());
        EXPECT_EQ(world.LockHistory().front().hwnd, world.MainWindow());
        EXPECT_EQ(world.LockedWindow(), 0u);
        ASSERT_EQ(world.WindowListDialogs().size(), 1u);
        EXPECT_TRUE(world.WindowListDialogs()[0].confirmed);
        EXPECT_EQ(world.WindowListDialogs()[0].activated, L"c.xls");
        EXPECT_EQ(world.ActiveWorkbookName(), L"c.xls");
    }
}

TEST(TabClick, NamesWithPatternCharactersMatchOnlyTheirOwnEntry) {
    struct Case {
        bool extensions;
        std::wstring entry;
    };
    for (const Case& c : {Case{true, L"WindowMenu(&2 Q#1.xls)"}, Case{false, L"WindowMenu(&2 Q#1)"}}) {
        SCOPED_TRACE(c.extensions ? "menu shows extensions" : "menu hides extensions");
        SCOPED_TRACE("Q11.xls is listed first; Q#1.xls must not take its entry");
        Session excel({L"C:\\data\\Q11.xls", L"C:\\data\\Q#1.xls", L"C:\\data\\[x]*?.xls"});
        sim::World& world = excel.world;
        world.SetShowExtensions(c.extensions);
        world.ActivateByUser(L"Q11.xls");
        excel.EditInFormulaBar();

        world.ClickTab(1);
        EXPECT_EQ(WindowMenuCommands(world), Captions{c.entry});
        EXPECT_EQ(world.ActiveWorkbookName(), L"Q#1.xls");

        world.ClickTab(2);
        EXPECT_EQ(world.ActiveWorkbookName(), L"[x]*?.xls");
    }
}

TEST(TabClick, NamesWithPatternCharactersChooseTheirOwnDialogItem) {
    Session excel({L"C:\\data\\Q11.xls", L"C:\\data\\Q#1.xls", kBookA});
    sim::World& world = excel.world;
    world.SetWindowMenuLimit(0);
    excel.EditInFormulaBar();

    world.ClickTab(1);
    EXPECT_EQ(State().DialogItemPattern, L"Q[#]1.xls");
    ASSERT_EQ(world.WindowListDialogs().size(), 1u);
    EXPECT_EQ(world.WindowListDialogs()[0].activated, L"Q#1.xls");
}

TEST(TabClick, ReclickDuringAPendingSwitchStopsTheTimerUntilTheMouseComesUp) {
    Session excel({kBookA, kBookB});
    sim::World& world = excel.world;
    excel.EditInFormulaBar();
    world.ClickTab(0);
    ASSERT_TRUE(State().WindowMenuSwitchPending);
    ASSERT_NE(State().SyncTimerId, 0u);
    const auto executedBefore = world.ExecutedCommands().size();

    SCOPED_TRACE("the same tab pressed again: the timer stops, nothing else happens");
    State().TabClickPending = false;
    bool cancel = false;
    excel.Form().TabSeclect_BeforeItemClick(excel.Item(0), cancel);
    EXPECT_EQ(State().SyncTimerId, 0u);
    EXPECT_TRUE(world.LiveTimers().empty());
    EXPECT_TRUE(State().WindowMenuSwitchPending);
    EXPECT_FALSE(State().TabClickPending);
    EXPECT_EQ(world.ExecutedCommands().size(), executedBefore);

    SCOPED_TRACE("the button comes up: the timer runs again");
    excel.Form().TabSeclect_MouseUp(1, 0, 50.0f, 10.0f);
    EXPECT_NE(State().SyncTimerId, 0u);
    EXPECT_EQ(world.LiveTimers().size(), 1u);
}

TEST(TabClick, ReclickInAnEditBoxIsAnOrdinaryClick) {
    Session excel({kBookA, kBookB});
    sim::World& world = excel.world;
    State().WindowMenuSwitchPending = true;
    State().FocusClassName = kEditClassEditBox;
    excel.Form().sLastItemCaption = L"a.xls";

    bool cancel = false;
    excel.Form().TabSeclect_BeforeItemClick(excel.Item(0), cancel);
    EXPECT_NE(State().SyncTimerId, 0u);
    EXPECT_TRUE(Executed(world, L"WindowMenu(&1 a.xls)"));
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
}

TEST(TabClick, NothingEscapesAClickWhileEditingWhateverFails) {
    for (int64_t n = 1; n <= 80; ++n) {
        SCOPED_TRACE("host call " + std::to_string(n) + " fails");
        Session excel({kBookA, kBookB, kBookC});
        excel.world.SetWindowMenuLimit(1);
        excel.EditInFormulaBar();
        excel.world.FailNthCall(n);
        excel.world.ClickTab(2);
        excel.world.ClearFaults();
        excel.world.Tick();
        EXPECT_TRUE(excel.world.EscapedExceptions().empty());
    }
}

TEST(TabSelection, ActivatesTheWorkbookUnlessAWindowMenuSwitchIsUnderWayWhileEditing) {
    struct Case {
        const char* focusClass;
        bool pending;
        bool activates;
    };
    const std::vector<Case> cases = {
        {"EXCEL6", false, true}, {"EXCEL6", true, false}, {"EXCEL<", true, false},
        {"EDTBX", true, false},  {"XLDESK", true, true},  {"", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focusClass) + (c.pending ? " with a switch pending" : " without a switch"));
        Session excel({kBookA, kBookB});
        State().FocusClassName = std::wstring(c.focusClass, c.focusClass + std::strlen(c.focusClass));
        State().WindowMenuSwitchPending = c.pending;

        excel.Form().TabSeclect_SelectedChanged(excel.Item(0));
        EXPECT_EQ(excel.world.ActiveWorkbookName(), c.activates ? L"a.xls" : L"b.xls");
    }
}

TEST(TabSelection, TabNamingNoOpenWorkbookHasNoEffect) {
    Session excel({kBookA, kBookB});
    excel.Item(0)->Caption(L"gone.xls");
    excel.world.ResetCallCounts();

    excel.Form().TabSeclect_SelectedChanged(excel.Item(0));
    EXPECT_EQ(excel.world.ActiveWorkbookName(), L"b.xls");
    EXPECT_EQ(excel.world.CallCount("Workbook.Activate"), 0);
}

}  // namespace
}  // namespace tarnwick::tracking_tests
