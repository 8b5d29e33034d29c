#!/usr/bin/env bash
# Runs a Windows program in a Wine prefix made fresh for it (removed first),
# and ends that prefix's wineserver afterwards.
#   fresh-prefix.sh PREFIX WINE_RUN PROGRAM ARGS...
set -uo pipefail
prefix=$1 wine_run=$2
shift 2
rm -rf "$prefix"
export WINEPREFIX=$prefix
"$wine_run" "$@"
rc=$?
wineserver -k >/dev/null 2>&1 || true
exit $rc
