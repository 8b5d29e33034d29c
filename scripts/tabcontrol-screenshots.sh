#!/usr/bin/env bash
# Screenshots of the strip's looks under Xvfb, named as the user knows them:
# the two styles of the about dialog on Excel 2003, out/style-豪华风格.png and
# out/style-简洁风格.png, and out/style-excel2002.png, the one look Excel 2002
# gets whichever style is chosen.
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
# Wine's processes go before the X server: ended after it, they would report
# a broken X connection.
trap 'WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
      kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$showcase_dir/tabcontrol_showcase.exe" "$showcase_dir/Corvane.ocx" "$work/"
# The same prefix, code page and locale as the tests (build/<tree>/wine-run).
(cd "$work" && DISPLAY=$display "$build/wine-run" ./tabcontrol_showcase.exe)
for look in deluxe:豪华风格 excel2003:简洁风格 excel2002:excel2002; do
  convert "$work/tabcontrol-${look%%:*}.bmp" "$out/style-${look#*:}.png"
  echo "$out/style-${look#*:}.png"
done
