#!/usr/bin/env bash
# Idle-path figures: the simulator benchmark (native tree, Google Benchmark)
# for 1, 10, 50 and 200 workbooks, and the add-in under Wine against the
# fake Excel with 1 and 20 workbooks. Prints everything to stdout.
#   TARNWICK_NATIVE_BUILD  native build tree   (default build/perf-native)
#   TARNWICK_WIN_BUILD     Windows build tree  (default build/perf-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${TARNWICK_NATIVE_BUILD:-$root/build/perf-native}
win=${TARNWICK_WIN_BUILD:-$root/build/perf-windows}
jobs=${JOBS:-2}

bash "$root/scripts/install-deps.sh" >/dev/null

echo "== simulator: idle tick (native, Release)"
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" --target idle_tick_bench -j"$jobs" >/dev/null
"$native/bench/idle_tick_bench" --benchmark_min_time=0.5

echo "== Wine: the add-in and the fake Excel"
cmake -S "$root" -B "$win" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$win" --target perf -j"$jobs" >/dev/null
"$win/wine-run" "$win/tests/windows/soak/perf.exe"
