#!/usr/bin/env bash
# The main job: build the add-in and play a scripted session with it in the
# fake Excel host under Wine, with screenshots in out/ and the DLL in dist/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
exec bash scripts/main-job-wine.sh "$@"
