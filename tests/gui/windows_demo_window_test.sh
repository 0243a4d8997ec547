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

convert=$(command -v convert-im6.q16 || command -v convert)
import=$(command -v import-im6.q16 || command -v import)

pids=()
# The program first, the display server last.
cleanup() {
  local i
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill "${pids[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

# A display of our own: the first free number from 110.
display=110
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    (( SECONDS < deadline )) || return 1
    sleep 0.2
  done
}

wait_for 20 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }

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

origin() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X; wy=$Y
}
shot="$artifacts/windows-current.png"
# The colour of window pixel ($1, $2) as "r g b", from a fresh screenshot.
pixel() {
  origin
  "$import" -window root "$shot" 2>/dev/null
  pixel_of "$shot" $((wx + $1)) $((wy + $2))
}
pixel_of() {
  "$convert" "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
# Whether "r g b" $1 is within $3 of "r g b" $2 in every channel.
near() {
  local r g b er eg eb
  read -r r g b <<<"$1"
  read -r er eg eb <<<"$2"
  (( (r - er) ** 2 <= $3 ** 2 && (g - eg) ** 2 <= $3 ** 2 && (b - eb) ** 2 <= $3 ** 2 ))
}
# The colours the skin and the Linux build's progress bar have.
lamp_on="59 210 80"       # the middle of image 150
lamp_off="223 62 51"      # the middle of image 151
bar_fill="6 176 37"
bar_track="230 230 230"
tolerance=12
lamp_is() { near "$(pixel 42 308)" "$1" $tolerance; }
# Whether a white text pixel lies in window rectangle x y w h.
has_white() {
  origin
  "$import" -window root "$shot" 2>/dev/null
  local max
  max=$("$convert" "$shot" -crop "$3x$4+$((wx + $1))+$((wy + $2))" +repage -colorspace gray -format "%[fx:int(255*maxima)]" info:)
  (( max > 230 ))
}
save() { origin; "$import" -window root -crop "${WIDTH}x${HEIGHT}+$wx+$wy" +repage "$artifacts/windows-$1.png" 2>/dev/null; }

# Disconnected first: the device powers on about a second after start (a slow start of Wine
# may show the window only after that; then there is no disconnected picture).
if wait_for 5 lamp_is "$lamp_off"; then save disconnected; else echo "note: the red lamp was not seen" >&2; fi
wait_for 60 lamp_is "$lamp_on" || { echo "the lamp did not turn green: $(pixel 42 308)" >&2; exit 1; }
near "$(pixel 200 246)" "$bar_track" $tolerance || { echo "the empty bar is not the track colour: $(pixel 200 246)" >&2; exit 1; }
has_white 54 300 300 20 || { echo "no status text" >&2; exit 1; }
save connected

# Dragging the panel moves the window (the dialog answers HTCAPTION there).
origin; start_x=$wx; start_y=$wy
xdotool mousemove $((wx + 250)) $((wy + 110)) mousedown 1
xdotool mousemove $((wx + 280)) $((wy + 130))
xdotool mousemove $((wx + 310)) $((wy + 150)) mouseup 1
moved() { origin; (( wx != start_x || wy != start_y )); }
wait_for 20 moved || { echo "dragging the panel did not move the window" >&2; exit 1; }

# Enter and Escape, which the dialog manager would take for OK and Cancel, do not close it
# (the steps below find the window still there).
xdotool key Escape Return

# Pressing on the Update button and dragging does not move it (let go elsewhere, no click).
# Resting on the button then shows its hover face: once it shows, the press and the drag were
# handled, so a move, had there been one, would have happened.
origin; start_x=$wx; start_y=$wy
normal_face=$(pixel 402 300)
# The press is far from where the click below lands: two presses close together in time and
# place make a double click, which an owner-drawn button reports instead of a second click.
xdotool mousemove $((wx + 415)) $((wy + 308)) mousedown 1
xdotool mousemove $((wx + 420)) $((wy + 200))
xdotool mousemove $((wx + 380)) $((wy + 150)) mouseup 1
xdotool mousemove $((wx + 450)) $((wy + 312))
hover_face() { [[ $(pixel 402 300) != "$normal_face" ]]; }
wait_for 20 hover_face || { echo "no hover face on the Update button" >&2; exit 1; }
running || { echo "Enter or Escape closed the window" >&2; exit 1; }
origin
(( wx == start_x && wy == start_y )) || { echo "pressing on Update moved the window" >&2; exit 1; }

# Update: the bar fills and the status reads "Update Success !!" (wider than "Updating...").
xdotool mousemove $((wx + 470)) $((wy + 316)) click 1
bar_full() { near "$(pixel 440 246)" "$bar_fill" $tolerance; }
wait_for 120 bar_full || { echo "the progress bar did not fill: $(pixel 440 246)" >&2; exit 1; }
wait_for 30 has_white 150 302 30 16 || { echo "no success text" >&2; exit 1; }
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

# The same button, now "Exit", closes the window and the process ends with 0.
origin
xdotool mousemove $((wx + 450)) $((wy + 312)) click 1
exited() { ! kill -0 "$app" 2>/dev/null; }
wait_for 30 exited || { echo "the program did not exit" >&2; exit 1; }
status=0
wait "$app" || status=$?
rm -f "$shot"
(( status == 0 )) || { echo "the program exited with $status" >&2; exit 1; }
# The next program of the prefix finds no desktop of this display left (see above).
wait_for 30 eval '! prefix_desktop_running' || echo "note: the Wine desktop outlived the program" >&2
echo "ok: screenshots in $artifacts${linux_shot:+ (compared with $linux_shot)}"
