#!/usr/bin/env bash
# Idle-path figures before and after a change, in one run: the simulator
# benchmark (native tree, Google Benchmark) and the add-in under Wine against
# the fake Excel. "Before" is the add-in of commit TARNWICK_PERF_BASE (default:
# where this branch left main) measured by this tree's benchmark, simulator,
# fake Excel and perf program, so that only the add-in differs; "after" is
# this working tree. Prints everything to stdout.
#   TARNWICK_PERF_BASE     commit measured as "before" (default: merge-base with main)
#   TARNWICK_NATIVE_BUILD  native build tree   (default build/perf-native)
#   TARNWICK_WIN_BUILD     Windows build tree  (default build/perf-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=${TARNWICK_NATIVE_BUILD:-$root/build/perf-native}
win=${TARNWICK_WIN_BUILD:-$root/build/perf-windows}
base=${TARNWICK_PERF_BASE:-$(git -C "$root" merge-base HEAD main)}
before=$root/build/perf-before
jobs=${JOBS:-2}

bash "$root/scripts/install-deps.sh" >/dev/null

# The base's add-in (src, win32, res, tabcontrol) with this tree's measuring code.
# The simulator implements this tree's ports, so the native side takes them
# too (the base's core uses none of what they added); the Windows side keeps
# the base's ports, which its adapters implement.
rm -rf "$before/src" "$before/src-native"
mkdir -p "$before/src"
git -C "$root" archive "$base" | tar -x -C "$before/src"
rm -rf "$before/src/bench" "$before/src/sim" "$before/src/tests/windows"
cp -r "$root/bench" "$root/sim" "$before/src/"
cp -r "$root/tests/windows" "$before/src/tests/"
cp -r "$before/src" "$before/src-native"
cp "$root"/src/interop/*.h "$before/src-native/src/interop/"

build_native() {  # source tree, build tree
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$2" --target idle_tick_bench -j"$jobs" >/dev/null
}
build_windows() {
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$2" --target perf -j"$jobs" >/dev/null
}
build_native "$before/src-native" "$before/native"
build_native "$root" "$native"
build_windows "$before/src" "$before/windows"
build_windows "$root" "$win"

echo "before: $(git -C "$root" log -1 --format='%h %s' "$base")"
echo "after:  $(git -C "$root" log -1 --format='%h %s' HEAD)$(git -C "$root" diff --quiet HEAD -- src win32 || echo ' (with uncommitted changes)')"
for side in before after; do
  tree=$native; [ $side = before ] && tree=$before/native
  echo "== simulator, $side: idle tick, idle second, change to strip (native, Release)"
  "$tree/bench/idle_tick_bench" --benchmark_min_time=0.5
done
# One Wine prefix for both: each run registers its own DLL first.
export WINEPREFIX=$win/wineprefix
for side in before after; do
  tree=$win; [ $side = before ] && tree=$before/windows
  echo "== Wine, $side: the add-in and the fake Excel"
  "$win/wine-run" "$tree/tests/windows/soak/perf.exe"
done
