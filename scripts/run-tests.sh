#!/usr/bin/env bash
# Every test: the native suites, the same suites under ASan/UBSan, and the
# Windows suites under Wine against the fake Excel host.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh || exit 1

status=0
run_tree() {
  local tree=$1
  echo "== $tree: build"
  if ! bash scripts/build.sh "$tree"; then
    echo "== $tree: BUILD FAILED"; status=1; return
  fi
  echo "== $tree: test"
  if [ "$tree" = windows ]; then
    # One X server and one wineserver for the whole run: starting them per
    # test would cost seconds each.
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
      export WINEPREFIX="$0/build/windows/wineprefix" WINEARCH=win32 WINEDEBUG=-all
      "$0/build/windows/wine-run" cmd.exe /c exit >/dev/null 2>&1 || true
      wineserver -p >/dev/null 2>&1 || true
      ctest --test-dir "$0/build/windows" --output-on-failure --timeout 600
      rc=$?; wineserver -k >/dev/null 2>&1 || true; exit $rc' "$root" || status=1
  else
    ctest --test-dir "build/$tree" --output-on-failure -j2 --timeout 300 || status=1
  fi
}

run_tree native
run_tree asan
run_tree windows
if [ $status -eq 0 ]; then echo "ALL TEST TREES PASSED"; else echo "SOME TEST TREES FAILED"; fi
exit $status
