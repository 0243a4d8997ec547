#!/usr/bin/env bash
# The main job: builds QueloLink and updates the emulated PCU.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/run
echo "The flasher is not built yet; for now this builds the engine and the emulator." >&2
exit 1
