#!/bin/bash
# End to end: the real program opens the peg board from the menu, three holes
# are clicked, Escape leaves, and the board file holds pen 4 in those cells.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: pabglow.sh path/to/pabrix}
DATA="$(dirname "$BIN")/data/gfx"

start_pabrix "$BIN" 2c010000180100000000000000000000
click 140 230    # the peg-board button, inside it at every point of its bobbing
# Compared: the top strip right of the logo; the pointer waits on the board.
move_to 400 300
looks_like "$(shot board)" "$DATA/pabglowback.tga" 440x30+200+0

CELLS="0,0 10,5 31,20"  # holes (column, row)
click_holes "$CELLS"
move_to 400 300
shot board-painted >/dev/null
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"

F="$DOCS/pabglow.dat"
[ -f "$F" ] || die "no board file was written"
[ "$(stat -c %s "$F")" = 26880 ] || die "the board file is $(stat -c %s "$F") bytes, not 26880"
for cell in $CELLS; do
  c=${cell%,*}; r=${cell#*,}
  v=$(le32 "$F" $(( c + 32 * r )))
  [ "$v" = 4 ] || die "cell $c,$r holds $v, expected pen 4"
done
# Board 1 was never shown: all empty.
[ "$(le32 "$F" 672)" = 10 ] && [ "$(le32 "$F" 1343)" = 10 ] || die "board 1 is not empty"
log "board file holds the three pegs"
cleanup

# A logout while the board is open: SIGTERM closes it, and the board and the
# preferences are saved as when Escape and the quit area are used.
start_pabrix "$BIN" 2c010000180100000000000000000000
click 140 230
click_holes 20,7
kill -TERM "$PID"
wait_exit 60 || die "the program failed after SIGTERM"
F="$DOCS/pabglow.dat"
[ "$(stat -c %s "$F" 2>/dev/null)" = 26880 ] || die "no whole board file after SIGTERM"
[ "$(le32 "$F" $(( 20 + 32 * 7 )))" = 4 ] || die "the peg placed before SIGTERM was lost"
[ "$(stat -c %s "$DOCS/pabrix.prf" 2>/dev/null)" = 16 ] || die "no preferences after SIGTERM"
log "SIGTERM in the board saved the board and the preferences"
cleanup
