#!/usr/bin/env bash
# Screenshots of the strip's looks under Xvfb, named as the user knows them:
# the two styles of the about dialog on Excel 2003, out/style-豪华风格.png and
# out/style-简洁风格.png, and out/style-excel2002.png, the one look Excel 2002
# gets whichever style is chosen; each with an unsaved tab and a hot close
# button, and out/style-<look>-list.png with the list of every tab open.
# TABCONTROL_DPI=144 draws them at that DPI in a copy of the Wine prefix
# (out/style-<look>-144dpi.png and so on).
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
suffix=""
if [ -n "${TABCONTROL_DPI:-}" ]; then
  # The tests' prefix stays at 96 DPI; a copy of it gets the other one.
  suffix="-${TABCONTROL_DPI}dpi"
  prefix="$work/prefix"
  "$build/wine-run" cmd.exe /c exit >/dev/null 2>&1 || true
  cp -a "$build/wineprefix" "$prefix"
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    WINEPREFIX=$prefix DISPLAY=$display "$build/wine-run" reg add "$key" /v LogPixels /t REG_DWORD \
      /d "$TABCONTROL_DPI" /f >/dev/null 2>&1
  done
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  export WINEPREFIX=$prefix
fi
# The same prefix, code page and locale as the tests (build/<tree>/wine-run).
(cd "$work" && DISPLAY=$display "$build/wine-run" ./tabcontrol_showcase.exe)
[ -z "$suffix" ] || wineserver -k 2>/dev/null || true
for look in deluxe:豪华风格 excel2003:简洁风格 excel2002:excel2002; do
  for variant in "" -list; do
    png="$out/style-${look#*:}$variant$suffix.png"
    convert "$work/tabcontrol-${look%%:*}$variant.bmp" "$png"
    echo "$png"
  done
done
