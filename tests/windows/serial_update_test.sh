#!/usr/bin/env bash
# A whole update through a COM port under Wine: the emulated PCU runs on a pseudo-terminal,
# the terminal is registered with Wine as COM5, qlflash.exe writes the built-in image through
# it, and the emulator's flash must then hold the image's blocks byte for byte. The port list
# (from the registry) must name the port.
#   serial_update_test.sh <qlflash.exe> <ql-pcu-emulator> <image file>
# Wine's prefix comes from WINEPREFIX; the Wine server is restarted to take the new port.
set -euo pipefail
qlflash=$1
emulator=$2
image=$3
port=COM5

work=$(mktemp -d)
emulator_pid=""
cleanup() {
  [[ -n $emulator_pid ]] && kill "$emulator_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../support/wait.sh"

# The device, powered off until told "on"; its events go to a file.
mkfifo "$work/commands"
"$emulator" --flash-out "$work/flash.bin" <"$work/commands" >"$work/events" 2>&1 &
emulator_pid=$!
exec 3>"$work/commands"
wait_for 20 grep -q '^PTY ' "$work/events" || { echo "the emulator gave no terminal" >&2; exit 1; }
pty=$(sed -n 's/^PTY //p' "$work/events" | head -1)
echo "emulator on $pty as $port"

timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$pty" /f >/dev/null
wineserver -k || true
wineserver -w || true
wineserver -p 2>/dev/null || true

# The port list comes from the registry's map of serial devices, which now names the port.
timeout 60 wine "$qlflash" --list >"$work/list" 2>/dev/null || { echo "qlflash.exe --list failed" >&2; exit 1; }
grep -qx "$port" <(tr -d '\r' <"$work/list") || { echo "$port is not listed:" >&2; cat "$work/list" >&2; exit 1; }

timeout 240 wine "$qlflash" --port "$port" --wait 120 >"$work/out" 2>"$work/err" &
flasher=$!
# The greeting must come after the port is open: the link flushes the port's old input.
if ! wait_for 120 grep -q "$port standby ready." "$work/out"; then
  echo "qlflash.exe did not open $port" >&2; cat "$work/out" "$work/err" >&2; exit 1
fi
echo on >&3
status=0
wait "$flasher" || status=$?
cat "$work/out"
[[ -s $work/err ]] && { echo "--- errors:"; cat "$work/err"; }
(( status == 0 )) || { echo "qlflash.exe ended with $status" >&2; exit 1; }
grep -q '^ESC connected\.' "$work/out" || { echo "no connection reported" >&2; exit 1; }
grep -q '^Completed\.' "$work/out" || { echo "no completion reported" >&2; exit 1; }

echo quit >&3
exec 3>&-
wait "$emulator_pid" || { echo "the emulator failed" >&2; exit 1; }
emulator_pid=""

# The image's blocks follow its header, whose length is the little-endian word at offset 2.
read -r low high < <(od -An -tu1 -j2 -N2 "$image")
header=$((low + 256 * high))
tail -c +$((header + 1)) "$image" >"$work/blocks.bin"
if ! cmp "$work/blocks.bin" "$work/flash.bin"; then
  echo "the device's flash differs from the image" >&2; exit 1
fi
echo "flash equals the image's $(stat -c %s "$work/blocks.bin") bytes"
