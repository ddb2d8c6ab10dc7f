#!/bin/bash
# End to end on Windows (under Wine, in the display and prefix of
# scripts/wine-ctest.sh), with real faults against pabrix.exe: the session ends
# (WM_QUERYENDSESSION, WM_ENDSESSION) on the peg board, full screen and the process is killed
# right after; two WM_CLOSE 4 s apart while printing is asked for, then the kill;
# leftovers of killed saves and links planted in the documents folder at a start;
# a second start while the first runs. What was made before each fault must be
# in its file. Usage: wine_save_quit.sh pabrix.exe wine_send.exe
. "$(dirname "$0")/lib.sh"
BIN=${1:?usage: wine_save_quit.sh pabrix.exe wine_send.exe}
SEND=${2:?usage: wine_save_quit.sh pabrix.exe wine_send.exe}
[ -n "${WINEPREFIX:-}" ] && [ -n "${DISPLAY:-}" ] || die "run inside the Windows test run"
FULL=2c010000180100000100000000000000
PRINTING=2c010000180100000101000000000000
LOCAL=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)")/AppData/Local/Pabrix

send() { timeout 90 wine "$SEND" "$@"; }
# started_on_board PREFS: the program runs with a peg at (6,3) on the board.
started_on_board() {
  start_pabrix "$BIN" "$1"
  click 140 230
  click_holes 6,3
}
board_has_peg() {
  local f="$1/pabglow.dat"
  [ "$(stat -c %s "$f" 2>/dev/null)" = 26880 ] || die "no whole board file in $1 ($2)"
  [ "$(le32 "$f" $(( 6 + 32 * 3 )))" = 4 ] || die "the peg placed before $2 was lost"
}
ended() { ! kill -0 "$PID" 2>/dev/null; }

# 1. The session ends with the board open; the system ends the process right
#    after the window has answered.
started_on_board $FULL
send endsession || die "the window did not answer the session's end"
kill -KILL "$PID" 2>/dev/null; wait "$PID" 2>/dev/null
board_has_peg "$DOCS" "the session's end"
log "the session ended and the process was killed: the board was saved"
cleanup

# 2. Printing asked for in the monster builder (a dialog, or the box saying
#    there is no printer); two close requests 4 s apart, then the kill.
start_pabrix "$BIN" $PRINTING
click 505 230
move_to 45 45
xdotool mousedown 1; wait_pumps 4
move_to 440 250; wait_pumps 4
xdotool mouseup 1; wait_pumps 4
move_to 320 440
xdotool mousedown 1; sleep 0.3; xdotool mouseup 1
wait_until 60 eval '[ "$(xdotool search --onlyvisible --name . 2>/dev/null | grep -vc "^$WID$")" -gt 0 ]' ||
  die "printing showed nothing"
send close || die "no game window for the first close request"
sleep 4
send close || true   # the program may have gone already
wait_until 60 ended || true
kill -KILL "$PID" 2>/dev/null; wait "$PID" 2>/dev/null
[ "$(stat -c %s "$DOCS/mistermon.dat" 2>/dev/null)" = 120000 ] || die "the monster was lost"
slot=$(( (500 * 1 + 1) * 3 ))
[ "$(le32 "$DOCS/mistermon.dat" $slot)" -gt 0 ] || die "the monster was saved without its part"
log "two close requests while printing: the monster was saved"
cleanup

# 3. Leftovers of saves killed in earlier runs go at the next start, and only
#    they; links planted in the documents folder lead nowhere else.
DOCS=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/Documents")
mkdir -p "$DOCS/Pabrix"
LEFT=(pabglow.dat.tmp4000000-00ff pabrix.prf.tmp4000004 mistermon.dat.tmp4000008-ab
      "Pabrix/Pabrix 2026-01-01 10.00.00.png.tmp4000012-cd")
for f in "${LEFT[@]}" notes.dat.tmp4000000; do echo half >"$DOCS/$f"; done
started_on_board $FULL
for f in "${LEFT[@]}"; do [ ! -e "$DOCS/$f" ] || die "$f was left at the start"; done
[ -e "$DOCS/notes.dat.tmp4000000" ] || die "another program's file was removed"
remove "$DOCS/notes.dat.tmp4000000"
log "every leftover went at the start, nothing else"
VICTIM="$HOMEDIR/victim.txt"
seq 1 2000 >"$VICTIM"
cp "$VICTIM" "$HOMEDIR/victim.orig"
ln -sf "$VICTIM" "$DOCS/pabglow.dat"
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed with a planted link"
cmp -s "$VICTIM" "$HOMEDIR/victim.orig" || die "a save wrote through a planted link"
[ -L "$DOCS/pabglow.dat" ] || die "the planted link was replaced"
board_has_peg "$LOCAL" "a planted link"
grep -q "it is a link to" "$HOMEDIR/out.log" || die "the refused link was not logged"
log "a planted link was left alone; the board went to $LOCAL"
remove "$DOCS/pabglow.dat" "$LOCAL/pabglow.dat"
cleanup

# 4. A second start while the first runs brings the first to the front and ends.
start_pabrix "$BIN" $FULL
# The last program ended on the press of its way out: Wine holds the button down
# until it sees a release, here on the title, where a click does nothing.
click 320 60
FIRST=$PID
(cd "$(dirname "$BIN")" && timeout 90 wine "$BIN" >"$HOMEDIR/second.log" 2>&1) ||
  die "the second start did not end by itself"
kill -0 "$FIRST" 2>/dev/null || die "the first program ended"
[ "$(xdotool search --onlyvisible --name '^Pabrix$' | wc -l)" = 1 ] || die "two game windows"
geometry
[ "$WIDTH" -ge 640 ] || die "the first program was left iconified"
log "a second start ended at once; the first runs on, in front"
cleanup
