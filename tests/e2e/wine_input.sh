#!/bin/bash
# End to end on Windows (under Wine, in the display and prefix of
# scripts/wine-ctest.sh), what a Windows family meets with the mouse: a start
# with the button already held opens nothing, however the pointer moves; clicks
# as short as a touchpad tap (xdotool's own click, no pause between press and
# release) choose on the menu and paint every peg, and the one that opens the
# board paints none there; the way out quits once the press is complete. Then, on a
# display of 1024x768 without a 640x480 mode, full screen ends in a centred
# window that draws, says why in the log file, and is what the preferences keep.
. "$(dirname "$0")/lib.sh"
BIN=${1:?usage: wine_input.sh path/to/pabrix.exe}
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || die "run inside the Windows test run"
DATA="$(dirname "$BIN")/data/gfx"
LOGFILE=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local")/Pabrix/pabrix.log
rm -f "$LOGFILE"

# tap X Y: a click with no pause at all between press and release.
tap() { xdotool mousemove "$(sx "$1")" "$(sy "$2")" click 1; wait_pumps 4; }

# A program that ends while the button is down leaves Wine's button state down
# (the release goes to no Wine window), as when a child holds the button while
# the program starts. The next start, with the pointer over the peg-board
# button and moving between frames, opens nothing.
start_pabrix "$BIN"
focus_game
move_to 320 60
xdotool mousedown 1
wait_pumps 4
kill -9 "$PID"; wait "$PID" 2>/dev/null
xdotool mousemove 140 230 mouseup 1
cleanup
start_pabrix "$BIN"
focus_game
soon_like held-start "$DATA/pabrix.bmp" 640x120+0+0
for x in 150 160 170; do xdotool mousemove "$x" 235; wait_pumps 3; done
looks_like "$(shot held-moved)" "$DATA/pabrix.bmp" 640x120+0+0
log "a start with the button held down opened nothing"
# A whole click (on the title, where it does nothing) ends what was held; the
# next one opens the board.
click 320 60
click 140 230
move_to 400 300
soon_like held-board "$DATA/pabglowback.tga" 440x30+200+0
press_key Escape
soon_like held-menu "$DATA/pabrix.bmp" 640x120+0+0

# Taps: the menu opens the board (no peg where the opening tap landed, hole
# (3, 11)), and every tap on a hole paints a peg.
tap 140 230
move_to 400 300
soon_like tap-board "$DATA/pabglowback.tga" 440x30+200+0
for cell in "3,3" "12,7" "20,15" "28,2" "6,18"; do
  tap $(( 78 + 16 * ${cell%,*} )) $(( 45 + 16 * ${cell#*,} ))
done
press_key Escape
soon_like tap-menu "$DATA/pabrix.bmp" 640x120+0+0
# The way out with taps: the first asks, the second quits on its release. (On
# a machine so loaded that the question's three seconds may have passed between
# the two, the second may only have asked again: then one more.)
now_ms; ASKED=$NOW; tap 600 450
for n in 1 2 3; do
  now_ms; at=$NOW; tap 600 450; now_ms; span=$(( NOW - ASKED ))
  [ "$span" -ge 3000 ] && kill -0 "$PID" 2>/dev/null || break
  log "the two taps took up to $span ms: this one may have asked again"
  ASKED=$at
done
wait_exit 60 || { shot quit-failed >/dev/null; cat "$HOMEDIR/out.log" >&2; die "two taps on the way out did not quit (shots in $SHOTS)"; }
board_pegs_are "3,3 12,7 20,15 28,2 6,18" ||
  die "the board file differs: a tap was lost or a stray peg was painted"
log "five taps painted five pegs, nothing else; two taps on the way out quit"
cleanup

# A display without 640x480: full screen asked for (the preferences say so), a
# centred window given, the reason in the log file, and full screen off in the
# preferences the program leaves. Wine takes the display's modes from the
# first display a prefix meets, so this part has a prefix of its own.
SMALL=$(scratch_dir small) || die "no folder for the small display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$SMALL/display" >/dev/null 2>&1 &
SMALL_XVFB=$!
small_done() {
  cleanup
  timeout 20 wineserver -k 2>/dev/null
  kill $SMALL_XVFB 2>/dev/null; wait $SMALL_XVFB 2>/dev/null
  remove "$SMALL"
}
wait_until 60 test -s "$SMALL/display" || { kill $SMALL_XVFB; die "no 1024x768 display in 60 s"; }
export DISPLAY=":$(head -n1 "$SMALL/display")" WINEPREFIX="$SMALL/prefix" HOME="$SMALL/home"
mkdir -p "$HOME/Documents" "$WINEPREFIX"
trap small_done EXIT
timeout 600 wineboot -i >"$SMALL/wineboot.log" 2>&1 || die "no Wine prefix for the small display"
timeout 300 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
LOGFILE=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local")/Pabrix/pabrix.log
start_pabrix "$BIN" 2c010000180100000100000000000000
trap small_done EXIT
focus_game
# Unmanaged, Wine draws the caption and borders inside the X window: the client
# area is the frame, 1:1, above the bottom border.
geometry
FX=$(( X + (WIDTH - 640) / 2 )); FY=$(( Y + HEIGHT - 480 - (WIDTH - 640) / 2 )); SCALE=1
soon_like small-menu "$DATA/pabrix.bmp" 640x120+0+0
[ "$WIDTH" -lt 1024 ] && [ "$X" -gt 0 ] && [ "$Y" -gt 0 ] ||
  die "not a centred window on the 1024x768 display: ${WIDTH}x${HEIGHT} at $X,$Y"
log "full screen unavailable: a ${WIDTH}x${HEIGHT} window at $X,$Y drawing the menu"
xdotool key --window "$WID" alt+F4
wait_exit 60 || die "the program failed on the 1024x768 display"
got=$(od -An -t x1 "$DOCS/pabrix.prf" | tr -d ' \n')
[ "$got" = 2c010000180100000000000000000000 ] || die "preferences kept as '$got': full screen still on"
grep -q 'Pabrix \[video\]: full screen at 640x480 is not available; playing in a window' "$LOGFILE" ||
  die "the log file $LOGFILE does not say why: $(cat "$LOGFILE" 2>&1)"
log "the log file says why, and the preferences keep the window: $(tail -1 "$LOGFILE")"
