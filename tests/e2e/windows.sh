#!/bin/bash
# End to end on Windows (under Wine, in the display and prefix of
# scripts/wine-ctest.sh): the program starts full screen on the menu, real keys
# switch it to a window and back, and Alt+F4 ends it with the preferences
# written; in the window, which this 480-line display cannot hold whole, clicks
# land where the picture shows them; started again, another program taking the
# foreground makes it step aside.
. "$(dirname "$0")/lib.sh"
BIN=${1:?usage: windows.sh path/to/pabrix.exe path/to/wine_send.exe}
SEND=${2:?usage: windows.sh path/to/pabrix.exe path/to/wine_send.exe}
[ -n "${PABRIX_TEST_RUN:-}" ] && [ -n "${DISPLAY:-}" ] || die "run under scripts/wine-ctest.sh (it provides the display and prefix)"
DATA="$(dirname "$BIN")/data/gfx"

# Geometry of the game window's X window as "WxH+X+Y".
where() { xwininfo -id "$WID" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /^  Width/ {w=$NF} /^  Height/ {h=$NF} END {printf "%sx%s+%s+%s", w, h, x, y}'; }
# until SECONDS COMMAND...: polls until the command succeeds.
until_ok() {
  local i n=$(( $1 * 10 )); shift
  for i in $(seq 1 "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
is_full() { [ "$(where)" = "640x480+0+0" ]; }
is_windowed() { [ "$(where)" != "640x480+0+0" ]; }
# Iconified without a window manager, Wine shows a small caption bar instead.
is_iconic() { where | awk -F'[x+]' '{ exit !($1 < 320 && $2 < 100) }'; }

# No preferences file: full screen, which on this 640x480 display is the whole screen.
start_pabrix "$BIN"
focus_game  # a game in the background pauses, showing nothing yet
until_ok 30 is_full || die "not full screen: $(where)"
[ "$SCALE" = 1 ] || die "the frame should fill the screen 1:1 (scale $SCALE)"
move_to 320 250
soon_like menu "$DATA/pabrix.bmp" 640x120+0+0
looks_like "$SHOTS/menu.png" "$DATA/pabrix.bmp" 470x70+170+405

# Left Shift with W: a window; with F: full screen again (keys read by polling).
xdotool keydown Shift_L keydown w; wait_pumps 4; xdotool keyup w keyup Shift_L
until_ok 30 is_windowed || die "Shift+W left it full screen"
# Where the client area is read once the window has stopped moving.
settled() { local was; was=$(where); sleep 0.5; [ "$(where)" = "$was" ]; }
until_ok 30 settled || true
log "windowed: $(where)"
xdotool windowfocus "$WID" 2>/dev/null || true
# The caption takes its share of the 480 lines, so the system clips the client
# area: the frame is fitted into what is left, and the pointer is read through
# the same fit. Pegs painted low and high on the board land in their holes.
read -r CX CY CW CH < <(wine "$SEND" client | tr -d '\r') || die "no client area from wine_send"
[ "$CH" -lt 480 ] || die "the client area is ${CW}x${CH}: not clipped, nothing to prove"
frame_in "$CX" "$CY" "$CW" "$CH"
soon_like windowed-menu "$DATA/pabrix.bmp" 640x120+0+0
click 140 230
move_to 400 300
soon_like windowed-board "$DATA/pabglowback.tga" 440x30+200+0
click_holes "1,1 30,1 16,10 1,20 30,20"
press_key Escape
soon_like windowed-back "$DATA/pabrix.bmp" 640x120+0+0
xdotool windowfocus "$WID" 2>/dev/null || true
xdotool keydown Shift_L keydown f; wait_pumps 4; xdotool keyup f keyup Shift_L
until_ok 30 is_full || die "Shift+F did not return to full screen: $(where)"
log "full screen again"

# Alt+F4 in front is a close request: it ends and saves.
xdotool key --window "$WID" alt+F4
wait_exit 60 || die "the program failed"
got=$(od -An -t x1 "$DOCS/pabrix.prf" | tr -d ' \n')
[ "$got" = 2c010000180100000100000000000000 ] || die "preferences written as '$got'"
log "closed by Alt+F4, default preferences written"
board_pegs_are "1,1 30,1 16,10 1,20 30,20" || die "a click in the clipped window missed its hole"
log "five clicks in the clipped window painted their five holes"
cleanup

# Another program takes the foreground: the game gives the display back and is
# iconified, and waits there. (Under Wine an iconified DirectDraw window takes
# no keys, so this run is ended from outside.)
start_pabrix "$BIN"
focus_game
until_ok 30 is_full || die "not full screen at the second start: $(where)"
xmessage -name other "another program" &
OTHER=$!
OWID=$(timeout 30 xdotool search --sync --classname '^other$' | head -1) || true
[ -n "$OWID" ] || die "the other program's window did not appear"
xdotool windowfocus "$OWID"
until_ok 30 is_iconic || die "the game did not step aside: $(where)"
log "iconified behind another program: $(where)"
kill "$OTHER" 2>/dev/null; wait "$OTHER" 2>/dev/null
cleanup
