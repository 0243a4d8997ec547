#!/usr/bin/env bash
# The whole program under Xvfb, driven with the mouse: quelolink-demo connects to its emulated
# PCU, the Update button writes the image, "Exit" closes the window and the process ends with 0.
# Dragging the panel moves the window (under openbox); pressing on the Update button does not;
# the minimise button minimises it. Screenshots of the three states go to the artefact folder.
#   demo_window_test.sh <quelolink-demo> <artefact folder>
set -euo pipefail
demo=$1
artifacts=$2
shot_prefix=""
mkdir -p "$artifacts"
program_dir=$(dirname "$demo")
[[ -f $program_dir/Arial.ttf ]] || { echo "no Arial.ttf beside $demo" >&2; exit 1; }
source "$(dirname "$0")/window_drive.sh"

start_display 90
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

# Disconnected first: the device powers on about a second after start (a slow, instrumented
# build may show the window only after that; then there is no disconnected picture).
if wait_for 10 lamp_is "$lamp_off"; then save disconnected; else echo "note: the red lamp was not seen" >&2; fi
wait_for 30 lamp_is "$lamp_on" || { echo "the lamp did not turn green: $(pixel 42 308)" >&2; exit 1; }
save connected

drag_panel_moves_window
press_on_update_does_not_move_window
has_white 54 300 300 20 || { echo "no status text" >&2; exit 1; }

# The minimise button minimises the window; activating it (as the taskbar does) restores it.
wm_state() { xprop -id "$window" WM_STATE 2>/dev/null | grep -q "window state: $1"; }
origin
xdotool mousemove $((wx + 476)) $((wy + 20)) click 1
wait_for 10 wm_state Iconic || { echo "the minimise button did not minimise" >&2; exit 1; }
xdotool windowactivate "$window"
wait_for 10 wm_state Normal || { echo "the window was not restored" >&2; exit 1; }
wait_for 10 lamp_is "$lamp_on" || { echo "the restored window is not painted" >&2; exit 1; }

update_by_mouse "$bar_fill"
save success
exit_by_update_button "$app"
echo "ok: screenshots in $artifacts"
