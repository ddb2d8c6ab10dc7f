#!/bin/bash
# End to end with the mouse alone: a 30 ms click on the menu opens the peg board
# and leaves no peg on it; instant clicks (press and release with no wait, as a
# touchpad tap) paint; the home button goes back to the menu, which saves.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: mouse_alone.sh path/to/pabrix}

start_pabrix "$BIN" 2c010000180100000000000000000000
# The peg-board button over the hole at column 4, row 12.
move_to 140 230
xdotool mousedown 1; sleep 0.03; xdotool mouseup 1
wait_pumps 4
CELLS="6,2 20,8 30,15"
for cell in $CELLS; do
  c=${cell%,*}; r=${cell#*,}
  move_to $(( 78 + 16 * c )) $(( 45 + 16 * r ))
  xdotool click 1; wait_pumps 3
done
click 616 20     # the home button
[ -f "$DOCS/pabglow.dat" ] || die "the home button did not leave the board (no board file)"
quit_from_menu
wait_exit 60 || die "the program failed"

F="$DOCS/pabglow.dat"
[ "$(stat -c %s "$F")" = 26880 ] || die "the board file is $(stat -c %s "$F") bytes, not 26880"
[ "$(le32 "$F" $(( 4 + 32 * 12 )))" = 10 ] || die "the click that opened the board left a peg"
for cell in $CELLS; do
  c=${cell%,*}; r=${cell#*,}
  v=$(le32 "$F" $(( c + 32 * r )))
  [ "$v" = 4 ] || die "the instant click on $c,$r was lost (cell holds $v)"
done
# The cells of board 0 that hold pen 4, read in one go.
pegs=$(od -An -v -t d4 -N $(( 672 * 4 )) "$F" | tr -s ' ' '\n' | grep -cx 4)
[ "$pegs" = 3 ] || die "board 1 holds $pegs pegs, expected 3"
log "no stray peg, every instant click painted, home left the board"
cleanup
