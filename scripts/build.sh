#!/usr/bin/env bash
# Configures and builds one tree: native | asan | windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:?usage: build.sh native|asan|windows}
jobs=${JOBS:-2}
case "$tree" in
  native)  cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null ;;
  asan)    cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null ;;
  windows) cmake -S "$root" -B "$root/build/windows" -DCMAKE_BUILD_TYPE=Release \
                 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null ;;
  *) echo "unknown tree $tree" >&2; exit 2 ;;
esac
cmake --build "$root/build/$tree" -j"$jobs"
