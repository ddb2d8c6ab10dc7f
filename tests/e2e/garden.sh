#!/bin/bash
# End to end: a seed planted in the garden is in the garden file after quitting,
# and the next run shows it growing where it was planted.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: garden.sh path/to/pabrix}

# drag X1 Y1 X2 Y2: the button held from one frame point to the other.
drag() {
  move_to "$1" "$2"; xdotool mousedown 1; wait_pumps 4
  move_to $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )); move_to "$3" "$4"
  xdotool mouseup 1; wait_pumps 4
}

start_pabrix "$BIN" 2c010000180100000000000000000000
click 310 230                  # the garden button
drag 38 120 320 420            # seed 1 from the panel into the soil
wait_pumps 30
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"
F="$DOCS/garden.dat"
[ "$(stat -c %s "$F" 2>/dev/null)" = 9812 ] || die "no whole garden file was written"
[ "$(od -An -t d2 -j 8 -N 2 "$F" | tr -d ' ')" = 1 ] || die "the first plant is not seed 1"
cp "$F" "$HOMEDIR/garden-first.dat"
log "the garden file holds the planted seed"
KEEP=$HOMEDIR; KEEP_E2E=1 cleanup

# The next run: the same documents folder, the plant is there and grows on.
start_again() {
  HOMEDIR_OLD=$KEEP
  PUMPS="$HOMEDIR_OLD/pumps"
  (cd "$(dirname "$BIN")" && exec env -u XDG_DOCUMENTS_DIR -u XDG_CONFIG_HOME HOME="$HOMEDIR_OLD" \
     SDL_AUDIODRIVER=dummy PABRIX_PUMP_FILE="$PUMPS" "$BIN" >"$HOMEDIR_OLD/out2.log" 2>&1) &
  PID=$!
  HOMEDIR=$HOMEDIR_OLD; DOCS="$HOMEDIR/Documents"; SHOTS="$HOMEDIR/shots"
  trap cleanup EXIT
  await_window "$HOMEDIR/out2.log"
}
start_again
click 310 230
move_to 600 200
wait_pumps 200                 # a few seconds of growth
shot garden-again >/dev/null
press_key Escape
quit_from_menu
wait_exit 60 || die "the second run failed"
[ "$(od -An -t d2 -j 8 -N 2 "$F" | tr -d ' ')" = 1 ] || die "the plant is gone after the second run"
P1=$(od -An -t f4 -j 26 -N 4 "$HOMEDIR/garden-first.dat" | tr -d ' ')
P2=$(od -An -t f4 -j 26 -N 4 "$F" | tr -d ' ')
awk -v a="$P1" -v b="$P2" 'BEGIN { exit !(b > a) }' || die "the plant did not grow on ($P1 then $P2)"
log "the second run showed the plant and it grew on from $P1 to $P2"
[ -n "${E2E_SHOTS:-}" ] && cp "$SHOTS"/*.png "$E2E_SHOTS"/ 2>/dev/null
cleanup
