#!/usr/bin/env bash
# The main job: builds QueloLink and updates the emulated PCU with qlflash --simulate.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/run --target qlflash
exec build/run/tools/qlflash/qlflash --simulate
