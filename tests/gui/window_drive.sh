# Driving a window program under a display server of its own: xdotool for the mouse and the
# keys, screenshots for the pixels. Sourced by the window tests, which set `artifacts` (the
# screenshot folder) and `shot_prefix` (the names' prefix) first, and `window` once found.

convert=$(command -v convert-im6.q16 || command -v convert)
import=$(command -v import-im6.q16 || command -v import)

pids=()
# The program first, the display server last.
cleanup() {
  local i
  for (( i = ${#pids[@]} - 1; i >= 0; i-- )); do kill "${pids[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

source "$(dirname "${BASH_SOURCE[0]}")/../support/wait.sh"

# Starts Xvfb on the first free display from number $1 and makes it this shell's display.
start_display() {
  local display=$1
  while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  export DISPLAY=:$display
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  wait_for 20 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start" >&2; exit 1; }
}

# The window's place and size on the screen: wx, wy, WIDTH, HEIGHT.
origin() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X; wy=$Y
}

# The colour of screen pixel ($2, $3) of screenshot $1 as "r g b".
pixel_of() {
  "$convert" "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}
# The colour of window pixel ($1, $2), from a fresh screenshot.
pixel() {
  origin
  "$import" -window root "$artifacts/${shot_prefix}current.png" 2>/dev/null
  pixel_of "$artifacts/${shot_prefix}current.png" $((wx + $1)) $((wy + $2))
}
# Whether "r g b" $1 is within $3 of "r g b" $2 in every channel.
near() {
  local r g b er eg eb
  read -r r g b <<<"$1"
  read -r er eg eb <<<"$2"
  (( (r - er) ** 2 <= $3 ** 2 && (g - eg) ** 2 <= $3 ** 2 && (b - eb) ** 2 <= $3 ** 2 ))
}
# Whether a white text pixel lies in window rectangle x y w h.
has_white() {
  origin
  local shot="$artifacts/${shot_prefix}current.png" max
  "$import" -window root "$shot" 2>/dev/null
  max=$("$convert" "$shot" -crop "$3x$4+$((wx + $1))+$((wy + $2))" +repage -colorspace gray -format "%[fx:int(255*maxima)]" info:)
  (( max > 230 ))
}
# Keeps a screenshot of the window as $1.png.
save() { origin; "$import" -window root -crop "${WIDTH}x${HEIGHT}+$wx+$wy" +repage "$artifacts/${shot_prefix}$1.png" 2>/dev/null; }
forget_current_shot() { rm -f "$artifacts/${shot_prefix}current.png"; }

# The lamp's and the progress bar's colours, as the skin's images and the bar's drawing give them.
lamp_on="59 210 80"       # the middle of image 150
lamp_off="223 62 51"      # the middle of image 151
bar_fill="6 176 37"
bar_track="230 230 230"
tolerance=12
lamp_is() { near "$(pixel 42 308)" "$1" $tolerance; }

# --- Steps both window tests take --------------------------------------------------------------

# Dragging the panel moves the window (the window answers that it is its caption there).
drag_panel_moves_window() {
  origin; local start_x=$wx start_y=$wy
  xdotool mousemove $((wx + 250)) $((wy + 110)) mousedown 1
  xdotool mousemove $((wx + 280)) $((wy + 130))
  xdotool mousemove $((wx + 310)) $((wy + 150)) mouseup 1
  moved() { origin; (( wx != start_x || wy != start_y )); }
  wait_for 20 moved || { echo "dragging the panel did not move the window" >&2; exit 1; }
}

# Pressing on the Update button and dragging does not move the window (and, let go elsewhere,
# does not click). Then resting on the button shows its hover face: once that shows, the program
# has handled the press and the drag, so a move, had there been one, would have happened.
# The press is far from where the click of update_by_mouse lands: two presses close together in
# time and place make a double click, which is not a click.
press_on_update_does_not_move_window() {
  origin; local start_x=$wx start_y=$wy normal_face
  normal_face=$(pixel 402 300)
  xdotool mousemove $((wx + 415)) $((wy + 308)) mousedown 1
  xdotool mousemove $((wx + 420)) $((wy + 200))
  xdotool mousemove $((wx + 380)) $((wy + 150)) mouseup 1
  xdotool mousemove $((wx + 450)) $((wy + 312))
  hover_face() { [[ $(pixel 402 300) != "$normal_face" ]]; }
  wait_for 20 hover_face || { echo "no hover face on the Update button" >&2; exit 1; }
  origin
  (( wx == start_x && wy == start_y )) || { echo "pressing on Update moved the window" >&2; exit 1; }
}

# Update: the bar fills with colour $1 and the status reads "Update Success !!" (wider than
# "Updating...").
update_by_mouse() {
  local fill=$1
  origin
  xdotool mousemove $((wx + 470)) $((wy + 316)) click 1
  bar_full() { near "$(pixel 440 246)" "$fill" $tolerance; }
  wait_for 120 bar_full || { echo "the progress bar did not fill: $(pixel 440 246)" >&2; exit 1; }
  wait_for 30 has_white 150 302 30 16 || { echo "no success text" >&2; exit 1; }
}

# The same button, now "Exit", closes the window and the process $1 ends with 0.
exit_by_update_button() {
  local app=$1 status=0
  origin
  xdotool mousemove $((wx + 450)) $((wy + 312)) click 1
  exited() { ! kill -0 "$app" 2>/dev/null; }
  wait_for 30 exited || { echo "the program did not exit" >&2; exit 1; }
  wait "$app" || status=$?
  forget_current_shot
  (( status == 0 )) || { echo "the program exited with $status" >&2; exit 1; }
}
