#!/bin/bash
# End to end: the real program opens the monster builder from the menu, one part
# is dragged from the palette onto the body, Escape leaves, and the monster file
# holds that part where it was let go.
. "$(dirname "$0")/../e2e/lib.sh"
need_display "$@"
BIN=${1:?usage: e2e_monster.sh path/to/pabrix}
INI="$(dirname "$BIN")/data/monstre1.ini"
[ -f "$INI" ] || die "no catalogue for monster 1 at $INI"

# The first offered part of monster 1: its palette rectangle.
val() { tr -d '\r' <"$INI" | sed -n "s/^$1=//p" | head -1; }
i=1
while [ -n "$(val e${i}id)" ] && [ "$(val active$i)" -le 0 ]; do i=$((i + 1)); done
[ -n "$(val e${i}id)" ] || die "monster 1 offers no part"
DX=$(val e${i}dx); DY=$(val e${i}dy)
W=$(( $(val e${i}x2) - $(val e${i}x1) )); H=$(( $(val e${i}y2) - $(val e${i}y1) ))
GX=$(( W / 2 )); GY=$(( H / 2 ))   # where the part is grabbed, from its top-left
log "dragging part $i from ($DX,$DY), ${W}x${H}"

start_pabrix "$BIN" 2c010000180100000000000000000000
click 505 240    # the monster button, inside it at every point of its bobbing
move_to $(( DX + GX )) $(( DY + GY ))
xdotool mousedown 1; wait_pumps 4
for step in 1 2 3 4; do
  move_to $(( DX + GX + (440 - DX - GX) * step / 4 )) $(( DY + GY + (290 - DY - GY) * step / 4 ))
done
xdotool mouseup 1; wait_pumps 4
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"

F="$DOCS/mistermon.dat"
[ -f "$F" ] || die "no monster file was written"
[ "$(stat -c %s "$F")" = 120000 ] || die "the monster file is $(stat -c %s "$F") bytes, not 120000"
slot=$(( (500 * 1 + 1) * 3 ))   # monster 1, slot 1: partID, x, y
[ "$(le32 "$F" $slot)" = "$i" ] || die "slot 1 holds part $(le32 "$F" $slot), expected $i"
[ "$(le32 "$F" $((slot + 1)))" = $(( 440 - GX )) ] || die "x is $(le32 "$F" $((slot + 1)))"
[ "$(le32 "$F" $((slot + 2)))" = $(( 290 - GY )) ] || die "y is $(le32 "$F" $((slot + 2)))"
[ "$(le32 "$F" $((slot + 3)))" -le 0 ] || die "a second part was placed"
log "the monster file holds part $i at ($(( 440 - GX )),$(( 290 - GY )))"
cleanup
