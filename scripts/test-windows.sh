#!/usr/bin/env bash
# Cross-builds QueloLink for 64-bit Windows (mingw-w64, warnings are errors) into build/win64
# and runs the unit tests through Wine with ctest. The Wine prefix is a fresh one in /tmp.
#   scripts/test-windows.sh            install the tools, build, test
#   scripts/test-windows.sh --no-install   skip the package installation
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --no-install ]]; then
  packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev wine wine64 fonts-wine)
  missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if ((${#missing[@]})); then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  fi
fi

# A prefix of our own, without Mono and Gecko, no crash dialogs, Wine's messages off.
export WINEPREFIX=${WINEPREFIX:-/tmp/quelolink-wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "== Wine prefix $WINEPREFIX =="
  timeout 300 wine wineboot --init
  wineserver -w
  timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
  wineserver -w
fi
# One persistent server for the whole run: a cold Wine per test costs seconds.
# (It refuses to start when the prefix's server already runs, which is as good.)
wineserver -p 2>/dev/null || true
# The first program in a new prefix waits for its set-up to settle; the test discovery at
# build time has a time limit, so that wait is taken here.
timeout 300 wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k || true' EXIT

jobs=$(nproc 2>/dev/null || echo 2)
dir=build/win64
echo "== win64 =="
cmake -S . -B "$dir" -G Ninja -DQL_WERROR=ON -DQL_BUILD_GUI=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 -L unit
