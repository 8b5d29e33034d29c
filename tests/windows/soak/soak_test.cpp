// Long runs in the fake Excel: many connections and many timer ticks with
// workbooks coming and going must leave no windows, GDI or USER objects,
// host references or command-bar controls behind.
#include <gtest/gtest.h>

#include <cstdio>

#include "harness.h"

namespace scen {
namespace {

constexpr int kCycles = 200;
constexpr int kTicks = 10000;
// Wine keeps a few objects of its own (cached brushes, the IME window) that
// appear once; a leak per cycle or per tick is far beyond this.
constexpr long kSlack = 3;

void Print(const char* label, const Resources& r, size_t controls) {
    std::printf("%-28s GetGuiResources gdi=%lu user=%lu; GDI table=%ld windows=%zu bar-controls=%zu\n", label,
                static_cast<unsigned long>(r.gdi), static_cast<unsigned long>(r.user), r.gdiTable, r.windows, controls);
}

void ExpectNoGrowth(const Resources& before, const Resources& after) {
    EXPECT_LE(static_cast<long>(after.gdi), static_cast<long>(before.gdi) + kSlack);
    EXPECT_LE(static_cast<long>(after.user), static_cast<long>(before.user) + kSlack);
    EXPECT_LE(after.gdiTable, before.gdiTable + kSlack);
    EXPECT_LE(after.windows, before.windows);
}

class Soak : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterAddin(), 0u); }
};

// The counters must see a leak before their silence means anything.
TEST_F(Soak, TheCountersSeeLeakedObjects) {
    // The first window of a thread brings Wine's own (IME window, caches);
    // it lives through the check as the fake Excel's windows do.
    HWND anchor = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const Resources before = MeasureResources();
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 10; ++i) brushes.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const Resources during = MeasureResources();
    for (HBRUSH b : brushes) ::DeleteObject(b);
    ::DestroyWindow(window);
    const Resources after = MeasureResources();
    ::DestroyWindow(anchor);
    Print("counter check, leaking", during, 0);
    EXPECT_EQ(during.windows, before.windows + 1);
    EXPECT_EQ(after.windows, before.windows);
    if (before.gdiTable >= 0) {
        EXPECT_GE(during.gdiTable, before.gdiTable + 10);
        EXPECT_LE(after.gdiTable, before.gdiTable);
    }
    if (before.gdi > 0) {
        EXPECT_GE(during.gdi, before.gdi + 10);
    }
}

TEST_F(Soak, ConnectionCyclesLeaveNothingBehind) {
    Session s({.initialWorkbooks = 3}, false);
    // The first connections load the modules and register window classes.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(s.Connect(), S_OK);
        ASSERT_TRUE(s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 5000));
        ASSERT_EQ(s.Disconnect(), S_OK);
    }
    s.excel.PumpFor(50);
    const Resources before = MeasureResources();
    const size_t controlsBefore = CountBarControls(s.excel);
    Print("before connection cycles", before, controlsBefore);

    int notDocked = 0, referencesLeft = 0, sinksLeft = 0;
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_EQ(s.Connect(), S_OK);
        notDocked += !s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 3000);
        if (i % 20 == 10) {
            s.excel.OpenWorkbook(L"C:\\data\\cycle.xls");
            s.excel.PumpFor(20);
        } else if (i % 20 == 15) {
            s.excel.CloseWorkbook(L"cycle.xls");
            s.excel.PumpFor(20);
        }
        ASSERT_EQ(s.Disconnect(), S_OK);
        referencesLeft += s.excel.OutstandingReferences() != 0;
        sinksLeft += s.excel.AppEventSinks() + s.excel.ButtonEventSinks();
    }
    s.excel.PumpFor(50);
    const Resources after = MeasureResources();
    const size_t controlsAfter = CountBarControls(s.excel);
    Print("after connection cycles", after, controlsAfter);

    EXPECT_EQ(notDocked, 0);
    EXPECT_EQ(referencesLeft, 0) << "cycles ending with host references held";
    EXPECT_EQ(sinksLeft, 0);
    EXPECT_EQ(controlsAfter, controlsBefore);
    ExpectNoGrowth(before, after);
    EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
}

TEST_F(Soak, TimerTicksWithWorkbooksComingAndGoingLeaveNothingBehind) {
    Session s({.initialWorkbooks = 5});
    ASSERT_TRUE(s.excel.PumpUntil([&] { return s.Form() != nullptr; }, 5000));
    TickDriver ticks;
    ASSERT_TRUE(ticks.Capture(s.excel));
    // One round of every change first, so that lazily created objects exist.
    s.excel.OpenWorkbook(L"C:\\data\\warm.xls");
    for (int i = 0; i < 20; ++i) ticks.Tick();
    s.excel.CloseWorkbook(L"warm.xls");
    for (int i = 0; i < 20; ++i) ticks.Tick();
    s.excel.PumpFor(50);
    const Resources before = MeasureResources();
    const size_t controlsBefore = CountBarControls(s.excel);
    Print("before ticks", before, controlsBefore);

    const DWORD start = ::GetTickCount();
    for (int i = 1; i <= kTicks; ++i) {
        ticks.Tick();
        switch (i % 1000) {
            case 100: s.excel.OpenWorkbook(L"C:\\data\\tick " + std::to_wstring(i) + L".xls"); break;
            case 300: s.excel.CreateWorkbook(); break;
            case 500: s.excel.ResizeMainWindow(700 + (i / 1000) % 3 * 100, 600); break;
            case 600: s.excel.HideBar(kHostBar); break;
            case 700: s.excel.CloseWorkbook(L"tick " + std::to_wstring(i - 600) + L".xls"); break;
            case 800: {
                const auto books = s.excel.Workbooks();
                s.excel.CloseWorkbook(books.back().name);
                break;
            }
            case 900: s.excel.ResizeMainWindow(800, 600); break;
            default: break;
        }
        if (i % 100 == 0) s.excel.PumpFor(0);
    }
    const DWORD elapsed = ::GetTickCount() - start;
    s.excel.PumpFor(100);
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3", L"Book4", L"Book5"}));
    const Resources after = MeasureResources();
    const size_t controlsAfter = CountBarControls(s.excel);
    Print("after ticks", after, controlsAfter);
    std::printf("%d ticks in %lu ms\n", kTicks, static_cast<unsigned long>(elapsed));

    EXPECT_EQ(controlsAfter, controlsBefore);
    ExpectNoGrowth(before, after);
    EXPECT_TRUE(s.excel.SinkFailures().empty());
    ASSERT_EQ(s.Disconnect(), S_OK);
    EXPECT_EQ(s.excel.OutstandingReferences(), 0);
}

}  // namespace
}  // namespace scen
