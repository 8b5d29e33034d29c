// The synchronisation tick with nothing to repair, against the number of
// open workbooks: time per tick and host calls per tick; an idle second of
// virtual time (timer wake-ups, calls into Excel, CPU); and the delay, in
// virtual milliseconds, between a change made host-side and the strip
// showing it. scripts/perf-wine.sh builds it against the add-in before and
// after a change; only the simulator's public driver API is used.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"
#include "tracking/excel_windows.h"
#include "tracking/sync_timer.h"

namespace {

using tarnwick::State;
using tarnwick::ZereZovaveAddin;
using tarnwick::sim::World;

constexpr uint32_t WM_TIMER = 0x113;

struct IdleExcel {
    World world;
    ZereZovaveAddin addin;

    // Unsaved marks on, as by default, or switched off in the about dialog.
    explicit IdleExcel(int64_t workbooks, bool unsavedMarks = true) {
        if (!unsavedMarks) {
            world.SetRegistryValue(tarnwick::kSettingsKey, tarnwick::kUnsavedMarksValue, tarnwick::win::REG_DWORD,
                                   {0, 0, 0, 0});
        }
        for (int64_t i = 0; i < workbooks; ++i) world.OpenWorkbook(L"C:\\data\\book" + std::to_wstring(i) + L".xls");
        addin.AddinInstance_OnConnection(world.Application(), tarnwick::ext_cm_AfterStartup);
        // Let the strip settle: after this no tick has anything to repair.
        for (int i = 0; i < 5; ++i) world.Tick();
    }
    ~IdleExcel() { addin.AddinInstance_OnDisconnection(); }
};

// Fails the benchmark when a tick repaired something: then it was not idle.
bool TickWasIdle(World& world, int32_t removeAllBefore, int32_t formsBefore) {
    return world.CallCount("TabControl.RemoveAll") == removeAllBefore && world.TabFormsCreated() == formsBefore &&
           world.EscapedExceptions().empty();
}

void BM_IdleTick(benchmark::State& state) {
    IdleExcel excel(state.range(0));
    World& world = excel.world;
    const std::uintptr_t timerId = State().SyncTimerId;
    if (timerId == 0) {
        state.SkipWithError("no timer runs after connecting");
        return;
    }
    const int32_t removeAllBefore = world.CallCount("TabControl.RemoveAll");
    const int32_t formsBefore = world.TabFormsCreated();
    const int64_t callsBefore = world.TotalCalls();

    for (auto _ : state) tarnwick::SyncTimerProc(0, WM_TIMER, timerId, 0);

    if (!TickWasIdle(world, removeAllBefore, formsBefore)) {
        state.SkipWithError("the tick repaired something; the world was not idle");
        return;
    }
    state.counters["host_calls_per_tick"] =
        static_cast<double>(world.TotalCalls() - callsBefore) / static_cast<double>(state.iterations());
}

// One visible-workbook count, the walk the tick makes once instead of up to four times.
void BM_CountVisibleWorkbooks(benchmark::State& state) {
    IdleExcel excel(state.range(0));
    World& world = excel.world;
    const int64_t callsBefore = world.TotalCalls();
    for (auto _ : state) benchmark::DoNotOptimize(tarnwick::CountVisibleWorkbooks());
    state.counters["host_calls_per_count"] =
        static_cast<double>(world.TotalCalls() - callsBefore) / static_cast<double>(state.iterations());
}

// Calls on Excel's and Office's objects, not the platform's or the tab control's.
bool IsExcelCall(const char* member) {
    for (const char* other : {"Platform.", "TabControl.", "TabItem.", "PaintManager.", "ColorSet."}) {
        if (std::strncmp(member, other, std::strlen(other)) == 0) return false;
    }
    return true;
}

// One second of virtual time with nobody touching Excel, after two seconds
// of the same.
void BM_IdleSecond(benchmark::State& state) {
    IdleExcel excel(state.range(0), state.range(1) != 0);
    World& world = excel.world;
    world.Advance(2000);
    const int32_t removeAllBefore = world.CallCount("TabControl.RemoveAll");
    const int32_t formsBefore = world.TabFormsCreated();
    world.EnableCallLog(true);
    world.ClearCallLog();
    const int64_t wakeUpsBefore = world.TimerFirings();
    for (auto _ : state) world.Advance(1000);
    if (!TickWasIdle(world, removeAllBefore, formsBefore)) {
        state.SkipWithError("a tick repaired something; the world was not idle");
        return;
    }
    int64_t excelCalls = 0;
    for (size_t i = 0; i < world.CallLogSize(); ++i) excelCalls += IsExcelCall(world.CallAt(i)) ? 1 : 0;
    const auto seconds = static_cast<double>(state.iterations());
    state.counters["wakeups_per_s"] = static_cast<double>(world.TimerFirings() - wakeUpsBefore) / seconds;
    state.counters["excel_calls_per_s"] = static_cast<double>(excelCalls) / seconds;
    int64_t savedReads = 0;
    for (size_t i = 0; i < world.CallLogSize(); ++i)
        savedReads += std::strcmp(world.CallAt(i), "Workbook.Saved") == 0 ? 1 : 0;
    state.counters["saved_reads_per_s"] = static_cast<double>(savedReads) / seconds;
    state.counters["all_calls_per_s"] = static_cast<double>(world.CallLogSize()) / seconds;
}

// Virtual milliseconds from a change to the strip showing it, 20 workbooks,
// the change made 1.5 s (plus a phase of 0 to 99 ms) after the last
// activity; the worst of ten phases, -1 when not within 3 s.
void BM_ChangeToStrip(benchmark::State& state) {
    struct Change {
        std::function<void(World&)> act;
        std::function<bool(World&)> shown;
    };
    const Change changes[] = {
        {[](World& w) { w.RenameWorkbook(L"book3.xls", L"D:\\销售3.xls"); },
         [](World& w) {
             const auto tabs = w.TabCaptions();
             return std::find(tabs.begin(), tabs.end(), L"销售3.xls") != tabs.end();
         }},
        {[](World& w) { w.SetWindowVisible(L"book4.xls", 1, false); },
         [](World& w) { return w.TabCaptions().size() == 19; }},
        {[](World& w) { w.Application()->CommandBars()->Item(tarnwick::kHostBarName)->Visible(false); },
         [](World& w) { return w.FindBar(tarnwick::kHostBarName) && w.FindBar(tarnwick::kHostBarName)->visible; }},
        {[](World& w) { w.Application()->CommandBars()->Item(tarnwick::kHostBarName)->Delete(); },
         [](World& w) { return w.FindBar(tarnwick::kHostBarName) && w.TabFormWindow() != 0; }},
        {[](World& w) { w.ResizeMainWindow(900, 768); }, [](World&) { return State().DockedExcelWidth == 900; }},
        {[](World& w) { w.ActivateByUser(L"book5.xls"); }, [](World& w) { return w.SelectedTab() == 5; }},
    };
    const Change& change = changes[state.range(0)];
    int32_t worst = 0;
    for (auto _ : state) {
        for (uint32_t phase = 0; phase < 100; phase += 10) {
            IdleExcel excel(20);
            excel.world.Advance(1500 + phase);
            change.act(excel.world);
            int32_t delay = -1;
            for (int32_t ms = 0; ms <= 3000; ++ms) {
                if (change.shown(excel.world)) {
                    delay = ms;
                    break;
                }
                excel.world.Advance(1);
            }
            worst = delay < 0 || worst < 0 ? -1 : std::max(worst, delay);
        }
    }
    state.counters["worst_delay_ms"] = worst;
}

BENCHMARK(BM_IdleTick)->Arg(1)->Arg(10)->Arg(50)->Arg(200);
// Workbooks, unsaved marks on (1) or off (0).
BENCHMARK(BM_IdleSecond)->Args({1, 1})->Args({20, 0})->Args({20, 1})->Args({100, 1})->Unit(benchmark::kMillisecond);
// 0 renamed (not active), 1 window hidden (not active), 2 host bar hidden,
// 3 host bar deleted, 4 new width, 5 another active workbook.
BENCHMARK(BM_ChangeToStrip)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountVisibleWorkbooks)->Arg(1)->Arg(10)->Arg(50)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
