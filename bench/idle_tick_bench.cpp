// The synchronisation tick with nothing to repair, against the number of
// open workbooks: time per tick and host calls per tick. The tick runs every
// 10 ms for the life of Excel, so this is the add-in's standing cost.
#include <benchmark/benchmark.h>

#include <cstdint>
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

    explicit IdleExcel(int64_t workbooks) {
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

BENCHMARK(BM_IdleTick)->Arg(1)->Arg(10)->Arg(50)->Arg(200);
BENCHMARK(BM_CountVisibleWorkbooks)->Arg(1)->Arg(10)->Arg(50)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
