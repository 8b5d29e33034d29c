// The timer's cadence: ten wake-ups a second when Excel is idle, 10 ms ticks
// after any activity, and nothing the idle test remembers going stale.
#include "tracking/idle_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tracking_session.h"

namespace tarnwick::tracking_tests {
namespace {

using Captions = std::vector<std::wstring>;

// Long enough without activity for the cadence to slow down.
void GoIdle(sim::World& world) {
    world.Advance(kFastCadenceHoldMs + 500);
}

int64_t WakeUpsDuring(sim::World& world, uint32_t ms) {
    const int64_t before = world.TimerFirings();
    world.Advance(ms);
    return world.TimerFirings() - before;
}

// Milliseconds until `shown` holds, stepping the clock 1 ms at a time; -1
// when it does not within `limit`.
int32_t DelayUntil(sim::World& world, const std::function<bool()>& shown, int32_t limit) {
    for (int32_t ms = 0; ms <= limit; ++ms) {
        if (shown()) return ms;
        world.Advance(1);
    }
    return -1;
}

TEST(IdleWatch, AnIdleExcelWakesTheAddinTenTimesASecondAndInputBringsBackTenMsTicks) {
    Session excel({kBookA, kBookB, kBookC});
    sim::World& world = excel.world;
    EXPECT_GE(WakeUpsDuring(world, 200), 19) << "10 ms ticks right after connecting";

    GoIdle(world);
    world.ResetCallCounts();
    EXPECT_LE(WakeUpsDuring(world, 1000), 10);
    SCOPED_TRACE("one full tick a second, at the safety net");
    EXPECT_LE(world.CallCount("Application.Visible"), 1);
    EXPECT_LE(world.CallCount("Application.Workbooks"), 2);
    ASSERT_EQ(world.LiveTimers().size(), 1u);
    EXPECT_EQ(State().SyncTimerId, world.LiveTimers()[0]);

    const std::vector<std::pair<const char*, std::function<void()>>> activity = {
        {"a click on a tab", [&] { world.ClickTab(0); }},
        {"a right click on the strip", [&] { world.ClickEmpty(2); }},
        {"a focus change", [&] { excel.EditInFormulaBar(); }},
        {"an application event", [&] { world.ActivateByUser(L"c.xls"); }},
    };
    for (const auto& [what, act] : activity) {
        SCOPED_TRACE(what);
        GoIdle(world);
        act();
        EXPECT_GE(WakeUpsDuring(world, 100), 9);
        ASSERT_EQ(world.LiveTimers().size(), 1u);
        EXPECT_EQ(State().SyncTimerId, world.LiveTimers()[0]);
    }
    EXPECT_TRUE(world.EscapedExceptions().empty());
}

// Changes made outside the add-in, with nothing but Win32 to tell: the strip
// follows within 150 ms, busy or idle, and what the idle test remembered
// (window handles, captions, the host bar's window) is read afresh.
TEST(IdleWatch, ChangesMadeOutsideTheAddinReachTheStripWithin150Ms) {
    struct Case {
        const char* what;
        std::function<void(sim::World&)> act;
        std::function<bool(sim::World&)> shown;
    };
    const Case cases[] = {
        {"a workbook saved under a new name while another is active",
         [](sim::World& w) { w.RenameWorkbook(L"a.xls", L"D:\\销售7.xls"); },
         [](sim::World& w) {
             return w.TabCaptions() == Captions{L"销售7.xls", L"b.xls", L"c.xls"};
         }},
        {"a window hidden through Window.Visible", [](sim::World& w) { w.SetWindowVisible(L"b.xls", 1, false); },
         [](sim::World& w) {
             return w.TabCaptions() == Captions{L"a.xls", L"c.xls"};
         }},
        {"both windows of a workbook hidden, one after the other",
         [](sim::World& w) {
             w.SetWindowVisible(L"a.xls", 2, false);
             w.Advance(300);
             if (w.TabCaptions().size() != 3) throw std::logic_error("one hidden window of two dropped the tab");
             w.SetWindowVisible(L"a.xls", 1, false);
         },
         [](sim::World& w) {
             return w.TabCaptions() == Captions{L"b.xls", L"c.xls"};
         }},
        {"the host bar hidden",
         [](sim::World& w) { w.Application()->CommandBars()->Item(kHostBarName)->Visible(false); },
         [](sim::World& w) { return w.FindBar(kHostBarName) && w.FindBar(kHostBarName)->visible; }},
        {"the host bar deleted", [](sim::World& w) { w.Application()->CommandBars()->Item(kHostBarName)->Delete(); },
         [](sim::World& w) {
             return w.FindBar(kHostBarName) && w.Window(w.TabFormWindow()) &&
                    w.Window(w.TabFormWindow())->parent == State().TabBarHostWindow;
         }},
        {"a new width", [](sim::World& w) { w.ResizeMainWindow(900, 768); },
         [](sim::World&) { return State().DockedExcelWidth == 900; }},
    };
    for (const bool idle : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (idle ? ", idle" : ", right after activity"));
            Session excel({kBookA, kBookB, kBookC});
            sim::World& world = excel.world;
            world.AddWindow(L"a.xls");
            world.ActivateByUser(L"c.xls");
            excel.Settle();
            if (idle) GoIdle(world);
            c.act(world);
            const int32_t delay = DelayUntil(
                world, [&] { return c.shown(world); }, 150);
            EXPECT_GE(delay, 0) << "not on the strip after 150 ms";
            EXPECT_EQ(world.ActiveWorkbookName(), L"c.xls");
            EXPECT_TRUE(world.EscapedExceptions().empty());
        }
    }
}

TEST(IdleWatch, ARenamedTabSwitchesToItsWorkbook) {
    Session excel({kBookA, kBookB});
    sim::World& world = excel.world;
    GoIdle(world);
    world.RenameWorkbook(L"a.xls", L"D:\\销售7.xls");
    world.Advance(150);
    ASSERT_EQ(world.TabCaptions(), (Captions{L"销售7.xls", L"b.xls"}));
    EXPECT_EQ(world.SelectedTab(), 1);

    world.ClickTab(0);
    excel.Settle();
    EXPECT_EQ(world.ActiveWorkbookName(), L"销售7.xls");
    EXPECT_EQ(world.SelectedTab(), 0);
}

// A new name that leaves the window's caption as it was: only the safety net sees it.
TEST(IdleWatch, TheSafetyNetFindsANewNameThatWin32CannotSee) {
    Session excel({kBookA, kBookB});
    sim::World& world = excel.world;
    world.SetShowExtensions(false);
    GoIdle(world);
    world.RenameWorkbook(L"a.xls", L"C:\\data\\a.csv");
    const int32_t delay = DelayUntil(
        world,
        [&] {
            return world.TabCaptions() == Captions{L"a.csv", L"b.xls"};
        },
        3000);
    EXPECT_GE(delay, 0);
    EXPECT_LE(delay, static_cast<int32_t>(kFullTickSafetyNetMs + kIdleTickPeriodMs));
}

}  // namespace
}  // namespace tarnwick::tracking_tests
