#!/usr/bin/env bash
# Cross-builds QueloLink for 64-bit Windows (mingw-w64, warnings are errors) into build/win64
# and tests it under Wine: the unit tests, the machine's HID devices, a whole update through a
# COM port that is the device emulator's pseudo-terminal, and the window under Xvfb (its pixels
# compared with the Linux window's screenshot when build/plain has one). Ends with the zip
# package (build/win64/QueloLink-<version>-win64.zip). The Wine prefix is our own in /tmp.
#   scripts/test-windows.sh                the packages, the build, every test, the zip
#   scripts/test-windows.sh --no-install   without installing packages
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --no-install ]]; then
  bash scripts/install-deps.sh
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

jobs=$(nproc 2>/dev/null || echo 2)

# The device emulator is a Linux program on a pseudo-terminal; the Linux build has it.
native=build/plain
emulator=$PWD/$native/emulator/ql-pcu-emulator
if [[ ! -x $emulator ]]; then
  echo "== the emulator, natively =="
  cmake -S . -B "$native" -G Ninja -DQL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$native" -j "$jobs" --target ql-pcu-emulator
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
trap 'wineserver -k 2>/dev/null || true' EXIT

dir=build/win64
echo "== win64 =="
# The window test compares its pixels with the Linux window's after its update, when the Linux
# build's window test has left its screenshot.
linux_shot=$PWD/$native/gui-artifacts/success.png
[[ -f $linux_shot ]] || linux_shot=""
cmake -S . -B "$dir" -G Ninja -DQL_WERROR=ON -DQL_BUILD_GUI=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQL_NATIVE_EMULATOR="$emulator" -DQL_LINUX_DEMO_SCREENSHOT="$linux_shot" >/dev/null
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300

echo "== win64 package =="
(cd "$dir" && cpack >/dev/null)
package=$(ls "$dir"/QueloLink-*-win64.zip)
listing=$(cmake -E tar tf "$package")
for file in quelolink.exe quelolink-demo.exe qlflash.exe Arial.ttf README.md; do
  grep -q "/$file\$" <<<"$listing" || { echo "$package lacks $file" >&2; exit 1; }
done
echo "$package:"
echo "$listing"
echo "Windows build: all tests passed."
