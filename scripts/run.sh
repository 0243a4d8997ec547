#!/usr/bin/env bash
# The main job: builds QueloLink and updates the emulated PCU: in the window when a display is
# there (quelolink-demo), else on the command line (qlflash --simulate).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what the job runs, so a half-finished test elsewhere in the tree does not stop it.
cmake --build build/run --target quelolink-demo qlflash
# With a display: the window on the emulated PCU, started in its folder, where its Arial.ttf is.
# Without one: the same update on the command line.
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  cd build/run/tools/quelolink
  exec ./quelolink-demo
fi
echo "No display: updating the emulated PCU with qlflash --simulate." >&2
exec build/run/tools/qlflash/qlflash --simulate
