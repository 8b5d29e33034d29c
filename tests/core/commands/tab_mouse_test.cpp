// The mouse on the strip: popups with their greyed entries, and double clicks
// recognised from successive button-ups.
#include <gtest/gtest.h>

#include "commands_world.h"
#include "tabstrip/form_tab.h"
#include "tracking/sync_timer.h"

namespace tarnwick::testing {
namespace {

constexpr int16_t kLeft = 1;
constexpr int16_t kRight = 2;

// Enabled state of the "TabBar" entries at positions 3, 5, 6 and 7 when the
// popup was shown.
std::vector<bool> GreyableEntries(const sim::PopupShown& popup) {
    std::vector<bool> enabled;
    for (size_t position : {3u, 5u, 6u, 7u}) enabled.push_back(popup.entries.at(position - 1).second);
    return enabled;
}

TEST(TabRightClick, GreysWhatMakesNoSenseForTheClickedWorkbook) {
    struct Case {
        const char* name;
        bool secondSaved;  // false: a never-saved new workbook
        bool secondHidden;
        std::vector<bool> enabled;  // save all, close others, close all, open folder
    };
    const Case cases[] = {
        {"two saved workbooks", true, false, {true, true, true, true}},
        {"the clicked one never saved", false, false, {true, true, true, false}},
        {"one visible beside a hidden one", true, true, {false, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = std::make_unique<Session>();
        sim::World& world = session->world();
        world.OpenWorkbook(L"C:\\data\\a.xls");
        std::wstring second = L"b.xls";
        if (c.secondHidden) {
            world.AddHiddenWorkbook(L"C:\\data\\b.xls");
            second = L"a.xls";
        } else if (c.secondSaved) {
            world.OpenWorkbook(L"C:\\data\\b.xls");
        } else {
            second = world.NewWorkbook();
        }
        world.ActivateByUser(L"a.xls");
        session->Connect();
        const int32_t clicked = c.secondHidden ? 0 : 1;

        world.ClickTab(clicked, kRight);

        SCOPED_TRACE("the right-clicked tab's workbook is the one the commands act on");
        EXPECT_EQ(world.ActiveWorkbookName(), second);
        EXPECT_EQ(world.SelectedTab(), clicked);
        ASSERT_EQ(world.PopupsShown().size(), 1u);
        EXPECT_EQ(world.PopupsShown()[0].bar, kTabBar);
        EXPECT_EQ(GreyableEntries(world.PopupsShown()[0]), c.enabled);
        EXPECT_EQ(world.FocusedWindow(), world.MainWindow());
    }
}

// Positions are rounded to the nearest integer, halves to the even one,
// before the control is asked which tab lies there (tab 0 is x in [0, 100)).
TEST(TabRightClick, FindsTheTabUnderThePointerRoundedHalfToEven) {
    struct Case {
        float x;
        const wchar_t* popup;
        int32_t selected;
    };
    const Case cases[] = {
        {-0.5f, kTabBar, 0}, {-1.5f, kTabBarII, 1},  {99.49f, kTabBar, 0},
        {99.5f, kTabBar, 1}, {250.0f, kTabBarII, 1}, {1e20f, kTabBarII, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "x = " << c.x);
        auto session = ConnectedWith({L"C:\\data\\a.xls", L"C:\\data\\b.xls"});
        sim::World& world = session->world();

        State().TabStripForm->TabSeclect_MouseUp(kRight, 0, c.x, 10.0f);

        ASSERT_EQ(world.PopupsShown().size(), 1u);
        EXPECT_EQ(world.PopupsShown()[0].bar, c.popup);
        EXPECT_EQ(world.SelectedTab(), c.selected);
    }
}

TEST(TabRightClick, OnTheEmptyStripOpensTheOtherMenu) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();

    world.ClickEmpty(kRight);

    ASSERT_EQ(world.PopupsShown().size(), 1u);
    EXPECT_EQ(world.PopupsShown()[0].bar, kTabBarII);
    EXPECT_EQ(world.ActiveWorkbookName(), L"c.xls");
}

TEST(TabRightClick, WhileEditingWithASwitchPendingOnlyReturnsTheFocus) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    StopSyncTimer();
    world.FocusWindow(world.CellEditWindow());
    State().WindowMenuSwitchPending = true;

    world.ClickTab(0, kRight);

    EXPECT_TRUE(world.PopupsShown().empty());
    EXPECT_EQ(world.ActiveWorkbookName(), L"c.xls");
    EXPECT_TRUE(State().WindowMenuSwitchPending);
    EXPECT_EQ(world.FocusedWindow(), world.MainWindow());
    SCOPED_TRACE("the timer that finishes the switch runs again");
    EXPECT_EQ(world.LiveTimers().size(), 1u);
    EXPECT_NE(State().SyncTimerId, 0u);
}

// A user's clicks on the strip and the built-in commands Excel ran for them.
TEST(TabRightClick, OutsideEditingClearsAPendingSwitch) {
    auto session = ConnectedWith(kThreeBooks);
    sim::World& world = session->world();
    world.FocusWindow(world.DeskWindow());
    State().WindowMenuSwitchPending = true;

    world.ClickTab(0, kRight);
    EXPECT_FALSE(State().WindowMenuSwitchPending);
    ASSERT_EQ(world.PopupsShown().size(), 1u);
    EXPECT_EQ(world.ActiveWorkbookName(), L"a.xls");
}

// Excel refuses the activation the selection makes while it edits: the
// switch goes through the Window menu, so that the popup's commands and the
// double click's Close act on the tab's workbook.
TEST(TabMouse, WhileEditingActsOnTheClickedTabsWorkbook) {
    for (const bool doubleClick : {false, true}) {
        SCOPED_TRACE(doubleClick ? "double click" : "right click");
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        world.FocusWindow(world.FormulaBarWindow());
        world.OnPopup([&](const std::wstring& bar) {
            if (bar == kTabBar) world.ClickControl(kTabBar, caption::Close);
        });

        if (doubleClick) {
            world.DoubleClickTab(0);
        } else {
            world.ClickTab(0, kRight);
        }
        EXPECT_EQ(world.WorkbookNames(), (std::vector<std::wstring>{L"b.xls", L"c.xls"}));
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(TabDoubleClick, IsRecognisedOnlyForTwoQuickLeftClicksOnOneTarget) {
    enum Op { Left, Right, Middle, LeftEmpty, Wait };
    struct Action {
        Op op;
        uint32_t arg;  // tab index, or milliseconds to wait
    };
    struct Case {
        const char* name;
        uint32_t startTick;
        std::vector<Action> actions;
        std::vector<std::wstring> commands;
    };
    const Case cases[] = {
        {"double click on a tab", 1000000, {{Left, 0}, {Wait, 100}, {Left, 0}}, {L"Close(a.xls)"}},
        {"just inside the double-click time", 1000000, {{Left, 0}, {Wait, 499}, {Left, 0}}, {L"Close(a.xls)"}},
        {"slow clicks", 1000000, {{Left, 0}, {Wait, 500}, {Left, 0}}, {}},
        {"quick clicks on two tabs", 1000000, {{Left, 0}, {Left, 1}}, {}},
        {"a right click in between", 1000000, {{Left, 0}, {Right, 0}, {Left, 0}}, {}},
        {"a middle click in between closes its tab", 1000000, {{Left, 0}, {Middle, 1}, {Left, 0}}, {L"Close(b.xls)"}},
        {"a third quick click starts a new pair", 1000000, {{Left, 1}, {Left, 1}, {Left, 1}}, {L"Close(b.xls)"}},
        {"four quick clicks are two pairs",
         1000000,
         {{Left, 1}, {Left, 1}, {Left, 1}, {Left, 1}},
         {L"Close(b.xls)", L"Close(c.xls)"}},
        {"double click on the empty strip", 1000000, {{LeftEmpty, 0}, {Wait, 100}, {LeftEmpty, 0}}, {L"New(Book1)"}},
        {"the empty strip, then a tab", 1000000, {{LeftEmpty, 0}, {Left, 0}}, {}},
        {"a tab, then the empty strip", 1000000, {{Left, 0}, {LeftEmpty, 0}}, {}},
        {"across the tick counter's wrap", 0xFFFFFF00u, {{Left, 0}, {Wait, 300}, {Left, 0}}, {L"Close(a.xls)"}},
        {"across the signed 32-bit boundary", 0x7FFFFF00u, {{Left, 0}, {Wait, 300}, {Left, 0}}, {L"Close(a.xls)"}},
        {"slow across the wrap", 0xFFFFFF00u, {{Left, 0}, {Wait, 700}, {Left, 0}}, {}},
        {"slow across the signed 32-bit boundary", 0x7FFFFF00u, {{Left, 0}, {Wait, 700}, {Left, 0}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        world.SetTickCount(c.startTick);

        for (const Action& a : c.actions) {
            switch (a.op) {
                case Left:
                    world.ClickTab(static_cast<int32_t>(a.arg), kLeft);
                    break;
                case Right:
                    world.ClickTab(static_cast<int32_t>(a.arg), kRight);
                    break;
                case Middle:
                    world.ClickTab(static_cast<int32_t>(a.arg), 4);
                    break;
                case LeftEmpty:
                    world.ClickEmpty(kLeft);
                    break;
                case Wait:
                    world.Advance(a.arg);
                    break;
            }
            if (a.op != Wait) {
                EXPECT_EQ(world.FocusedWindow(), world.MainWindow()) << "focus back to Excel";
            }
        }

        EXPECT_EQ(world.ExecutedCommands(), c.commands);
        EXPECT_TRUE(world.EscapedExceptions().empty());
    }
}

TEST(TabDoubleClick, FollowsTheUsersDoubleClickTime) {
    for (const uint32_t doubleClickTime : {200u, 900u}) {
        SCOPED_TRACE(::testing::Message() << "double-click time " << doubleClickTime);
        auto session = ConnectedWith(kThreeBooks);
        sim::World& world = session->world();
        world.SetDoubleClickTime(doubleClickTime);

        world.DoubleClickTab(0, 300);

        EXPECT_EQ(world.ExecutedCommands().size(), doubleClickTime > 300 ? 1u : 0u);
    }
}

}  // namespace
}  // namespace tarnwick::testing
