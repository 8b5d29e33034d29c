#!/usr/bin/env bash
# Builds the Windows tree, plays a scripted session of the add-in in the fake
# Excel host under Xvfb (screenshots and transcript in out/), and leaves
# TarnwickAddin.dll, TarnwickSetup.msi and the install note in dist/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARNWICK_WIN_BUILD:-$root/build/windows}
out=$root/out
jobs=${JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" --target TarnwickAddin addin_demo -j"$jobs"
cmake --build "$build" --target dist

rm -rf "$out"
mkdir -p "$out"

# A display of our own; the demo waits for each screenshot.
display=""
for n in $(seq 90 130); do
  if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done || true

demo="$build/tests/windows/addin/addin_demo.exe"
win_out="Z:${out//\//\\}"
# The demo writes out/transcript.txt itself; its console output, the same
# lines plus Wine's own, is kept in the build tree.
"$build/wine-run" "$demo" "$win_out" >"$build/addin_demo.log" 2>&1 &
demo_pid=$!

for step in 1 2 3 4 5 6 7 8; do
  waited=0
  while [ ! -f "$out/step-$step.ready" ]; do
    if ! kill -0 "$demo_pid" 2>/dev/null; then break 2; fi
    sleep 0.5
    waited=$((waited + 1))
    [ $waited -lt 400 ] || { echo "step $step never came" >&2; break 2; }
  done
  sleep 0.5
  import -window root "$out/step-$step.png"
  touch "$out/step-$step.done"
  echo "screenshot $out/step-$step.png"
done

status=0
wait "$demo_pid" || status=$?
demo_pid=""
[ $status -eq 0 ] || cat "$build/addin_demo.log"
rm -f "$out"/step-*.ready "$out"/step-*.done
echo "--- transcript"
cat "$out/transcript.txt" 2>/dev/null || true

# The strip's looks, and the about dialog as the add-in shows it.
TABCONTROL_WIN_BUILD="$build" bash "$root/scripts/tabcontrol-screenshots.sh" || status=1
cmake --build "$build" --target platform_tests -j"$jobs" >/dev/null
(cd "$build/tests/windows/platform" && TARNWICK_SCREENSHOT_DIR="$win_out" WINEDEBUG=-all \
   "$build/wine-run" ./platform_tests.exe --gtest_filter='AboutWindow.Screenshot' >/dev/null 2>&1) || status=1
for bmp in "$out"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "--- screenshots"
ls "$out"/*.png

echo "--- dist"
ls -l "$root/dist"
# Wine's processes end while the X server still runs: ended later, they
# would report a broken X connection.
WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
exit $status
