#!/usr/bin/env bash
# The whole Windows program under Wine on Xvfb, driven with the mouse: quelolink-demo.exe
# connects to its emulated PCU (the lamp turns green), dragging the panel moves the window while
# pressing on the Update button does not, Enter and Escape do not close it, Update writes the
# image (the bar fills, "Update Success !!"), the same button, now "Exit", closes the window
# and the process ends with 0.
# The lamp and the progress bar must show the colours the Linux build draws: fixed colours with
# a tolerance, and, when a Linux screenshot of the window after its update is given, its pixels
# at the same window points. Screenshots of the states go to the artefact folder.
#   windows_demo_window_test.sh <quelolink-demo.exe> <artefact folder> [<Linux success.png>]
# Wine comes from the environment (WINEPREFIX, WINEDEBUG, ...); no window manager is needed.
set -euo pipefail
demo=$1
artifacts=$2
linux_shot=${3:-}
mkdir -p "$artifacts"
program_dir=$(cd "$(dirname "$demo")" && pwd)
[[ -f $program_dir/Arial.ttf ]] || { echo "no Arial.ttf beside $demo" >&2; exit 1; }
[[ -z $linux_shot || -f $linux_shot ]] || { echo "no Linux screenshot $linux_shot" >&2; exit 1; }
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

shot_prefix="windows-"
source "$(dirname "$0")/window_drive.sh"

start_display 110

# Wine's desktop process shows the windows of every program of the prefix on the display of the
# program that started it; one started by a program without a display (a unit test) would
# show this one nowhere. So the program starts when the prefix has no desktop process left:
# ctest runs this test alone, and a desktop ends soon after its last program.
prefix_desktop_running() {
  local p env
  for p in $(pgrep -f 'explorer.exe /desktop' || true); do
    env=$(tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null) || continue
    if [[ -n ${WINEPREFIX:-} ]]; then
      grep -qx "WINEPREFIX=$WINEPREFIX" <<<"$env" && return 0
    else
      grep -q "^WINEPREFIX=" <<<"$env" || return 0
    fi
  done
  return 1
}
wait_for 60 eval '! prefix_desktop_running' || { echo "the Wine prefix's desktop did not end" >&2; exit 1; }

cd "$program_dir"
wine "./$(basename "$demo")" &
app=$!
pids+=($app)
running() { kill -0 "$app" 2>/dev/null; }

# Wine shows the dialog's client area as an X window with the dialog's title: its position is
# the origin of the window points below, as the borderless window's is on Linux.
window=""
find_window() {
  running || return 0
  window=$(xdotool search --onlyvisible --name "^Quelo Link for KORVA PCU$" 2>/dev/null | head -1)
  [[ -n $window ]]
}
# A cold Wine prefix takes a while to start its first program.
wait_for 120 find_window && [[ -n $window ]] || { echo "the window did not open" >&2; exit 1; }

# Disconnected first: the device powers on about a second after start (a slow start of Wine
# may show the window only after that; then there is no disconnected picture).
if wait_for 5 lamp_is "$lamp_off"; then save disconnected; else echo "note: the red lamp was not seen" >&2; fi
wait_for 60 lamp_is "$lamp_on" || { echo "the lamp did not turn green: $(pixel 42 308)" >&2; exit 1; }
near "$(pixel 200 246)" "$bar_track" $tolerance || { echo "the empty bar is not the track colour: $(pixel 200 246)" >&2; exit 1; }
has_white 54 300 300 20 || { echo "no status text" >&2; exit 1; }
save connected

drag_panel_moves_window

# Enter and Escape, which the dialog manager would take for OK and Cancel, do not close it
# (the steps below find the window still there).
xdotool key Escape Return

press_on_update_does_not_move_window
running || { echo "Enter or Escape closed the window" >&2; exit 1; }

update_by_mouse "$bar_fill"
save success

# The lamp and the full bar, in this window and, when given, in the Linux one.
final="$artifacts/windows-success.png"
points=("42 308" "100 246" "270 246" "440 246")
for point in "${points[@]}"; do
  read -r x y <<<"$point"
  here=$(pixel_of "$final" "$x" "$y")
  expected=$([[ $point == "42 308" ]] && echo "$lamp_on" || echo "$bar_fill")
  near "$here" "$expected" $tolerance || { echo "window point $point is $here, not $expected" >&2; exit 1; }
  if [[ -n $linux_shot ]]; then
    there=$(pixel_of "$linux_shot" "$x" "$y")
    near "$here" "$there" $tolerance || { echo "window point $point is $here here, $there on Linux" >&2; exit 1; }
  fi
done

exit_by_update_button "$app"
# The next program of the prefix finds no desktop of this display left (see above).
wait_for 30 eval '! prefix_desktop_running' || echo "note: the Wine desktop outlived the program" >&2
echo "ok: screenshots in $artifacts${linux_shot:+ (compared with $linux_shot)}"
