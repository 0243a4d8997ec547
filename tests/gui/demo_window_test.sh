#!/usr/bin/env bash
# The whole program under Xvfb, driven with the mouse: quelolink-demo connects to its emulated
# PCU, the Update button writes the image, "Exit" closes the window and the process ends with 0.
# Dragging the panel moves the window (under openbox); pressing on the Update button does not.
# Screenshots of the three states go to the artefact folder.
#   demo_window_test.sh <quelolink-demo> <artefact folder>
set -euo pipefail
demo=$1
artifacts=$2
mkdir -p "$artifacts"
program_dir=$(dirname "$demo")
[[ -f $program_dir/Arial.ttf ]] || { echo "no Arial.ttf beside $demo" >&2; exit 1; }

convert=$(command -v convert-im6.q16 || command -v convert)
import=$(command -v import-im6.q16 || command -v import)

pids=()
# The program first, the display server last.
cleanup() {
  local i
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill "${pids[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

# A display of our own: the first free number from 90.
display=90
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
    sleep 0.1
  done
}

wait_for 20 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
openbox >/dev/null 2>&1 &
pids+=($!)
wait_for 20 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" ||
  { echo "openbox did not start" >&2; exit 1; }

cd "$program_dir"
SDL_RENDER_DRIVER=software ./"$(basename "$demo")" &
app=$!
pids+=($app)

window=""
# The program's own window (the window manager has windows of its own that may carry the title).
find_window() { window=$(xdotool search --pid "$app" --name "Quelo Link for KORVA PCU" 2>/dev/null | head -1); [[ -n $window ]]; }
wait_for 30 find_window || { echo "the window did not open" >&2; exit 1; }

origin() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X; wy=$Y
}
shot="$artifacts/current.png"
# The colour of window pixel ($1, $2) as "r g b", from a fresh screenshot.
pixel() {
  origin
  "$import" -window root "$shot" 2>/dev/null
  "$convert" "$shot" -format "%[fx:int(255*p{$((wx + $1)),$((wy + $2))}.r)] %[fx:int(255*p{$((wx + $1)),$((wy + $2))}.g)] %[fx:int(255*p{$((wx + $1)),$((wy + $2))}.b)]" info:
}
is_green() { read -r r g b < <(pixel "$1" "$2"); (( g > 120 && r < 100 && b < 100 )); }
is_red() { read -r r g b < <(pixel "$1" "$2"); (( r > 150 && g < 90 && b < 90 )); }
# Whether a white text pixel lies in window rectangle x y w h.
has_white() {
  origin
  "$import" -window root "$shot" 2>/dev/null
  local max
  max=$("$convert" "$shot" -crop "$3x$4+$((wx + $1))+$((wy + $2))" +repage -colorspace gray -format "%[fx:int(255*maxima)]" info:)
  (( max > 230 ))
}
save() { origin; "$import" -window root -crop "540x360+$wx+$wy" "$artifacts/$1.png" 2>/dev/null; }

# Disconnected first: the device powers on about a second after start (a slow, instrumented
# build may show the window only after that; then there is no disconnected picture).
if wait_for 10 is_red 42 308; then save disconnected; else echo "note: the red lamp was not seen" >&2; fi
wait_for 30 is_green 42 308 || { echo "the lamp did not turn green" >&2; exit 1; }
save connected

# Dragging the panel moves the window.
origin; start_x=$wx; start_y=$wy
xdotool mousemove $((wx + 250)) $((wy + 110)) mousedown 1
xdotool mousemove $((wx + 280)) $((wy + 130))
xdotool mousemove $((wx + 310)) $((wy + 150)) mouseup 1
moved() { origin; (( wx != start_x || wy != start_y )); }
wait_for 10 moved || { echo "dragging the panel did not move the window" >&2; exit 1; }

# Pressing on the Update button and dragging does not move it (and, let go elsewhere, does not
# click). Then resting on the button shows its hover face: once that shows, the program has
# handled the press and the drag, so a move, had there been one, would have happened.
origin; start_x=$wx; start_y=$wy
normal_face=$(pixel 402 300)
xdotool mousemove $((wx + 450)) $((wy + 312)) mousedown 1
xdotool mousemove $((wx + 420)) $((wy + 200))
xdotool mousemove $((wx + 380)) $((wy + 150)) mouseup 1
xdotool mousemove $((wx + 450)) $((wy + 312))
hover_face() { [[ $(pixel 402 300) != "$normal_face" ]]; }
wait_for 10 hover_face || { echo "no hover face on the Update button" >&2; exit 1; }
origin
(( wx == start_x && wy == start_y )) || { echo "pressing on Update moved the window" >&2; exit 1; }
has_white 54 300 300 20 || { echo "no status text" >&2; exit 1; }

# The minimise button minimises the window; activating it (as the taskbar does) restores it.
wm_state() { xprop -id "$window" WM_STATE 2>/dev/null | grep -q "window state: $1"; }
xdotool mousemove $((wx + 476)) $((wy + 20)) click 1
wait_for 10 wm_state Iconic || { echo "the minimise button did not minimise" >&2; exit 1; }
xdotool windowactivate "$window"
wait_for 10 wm_state Normal || { echo "the window was not restored" >&2; exit 1; }
wait_for 10 is_green 42 308 || { echo "the restored window is not painted" >&2; exit 1; }
origin

# Update: the bar fills and the status reads "Update Success !!" (wider than "Updating...").
xdotool mousemove $((wx + 450)) $((wy + 312)) click 1
wait_for 90 is_green 456 246 || { echo "the progress bar did not fill" >&2; exit 1; }
wait_for 30 has_white 150 302 30 16 || { echo "no success text" >&2; exit 1; }
save success

# The same button, now "Exit", closes the window and the process ends with 0.
origin
xdotool mousemove $((wx + 450)) $((wy + 312)) click 1
exited() { ! kill -0 "$app" 2>/dev/null; }
wait_for 20 exited || { echo "the program did not exit" >&2; exit 1; }
status=0
wait "$app" || status=$?
rm -f "$shot"
(( status == 0 )) || { echo "the program exited with $status" >&2; exit 1; }
echo "ok: screenshots in $artifacts"
