#!/usr/bin/env bash
# Screenshots of Corvane.ocx's three looks under Xvfb: out/tabcontrol-deluxe.png,
# out/tabcontrol-excel2003.png and out/tabcontrol-excel2002.png, each with an
# unsaved tab and a hot close button, and out/tabcontrol-<look>-list.png with
# the list of every tab open.
# Uses the Windows tree in $TABCONTROL_WIN_BUILD (default build/windows),
# configuring and building what it needs there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${TABCONTROL_WIN_BUILD:-$root/build/windows}")
out=$root/out

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" --target tabcontrol_showcase -j"${JOBS:-2}"
showcase_dir="$build/tests/windows/tabcontrol"

display=""
for n in $(seq 97 130); do
  if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$showcase_dir/tabcontrol_showcase.exe" "$showcase_dir/Corvane.ocx" "$work/"
# The same prefix, code page and locale as the tests (build/<tree>/wine-run).
(cd "$work" && DISPLAY=$display "$build/wine-run" ./tabcontrol_showcase.exe)
for look in deluxe excel2003 excel2002 deluxe-list excel2003-list excel2002-list; do
  convert "$work/tabcontrol-$look.bmp" "$out/tabcontrol-$look.png"
  echo "$out/tabcontrol-$look.png"
done
