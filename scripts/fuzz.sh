#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time (FUZZ_SECONDS, default 60).
# Corpora stay in build/fuzz/corpus-<target>; crashes are written there too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON >/dev/null
targets=(fuzz_wildcard fuzz_registry_value fuzz_tab_layout)
cmake --build build/fuzz -j"${JOBS:-2}" --target "${targets[@]}"
status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus-$t"
  echo "== $t for ${seconds}s"
  if ! (cd "build/fuzz/corpus-$t" && "$root/build/fuzz/tests/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$root/build/fuzz/corpus-$t/" . 2>&1 | tail -n 12); then
    status=1
  fi
done
exit $status
