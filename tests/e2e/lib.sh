# Helpers for driving the real pabrix binary in an X display with xdotool.
# Sourced by the e2e scripts; each script runs in a fresh home of its own
# (tests/support/test_home.sh), so the user's own settings and boards are never
# touched.

set -u
. "$(dirname "${BASH_SOURCE[0]}")/../support/test_home.sh"
test_home

die() { echo "FAIL: $*" >&2; exit 1; }
log() { echo "-- $*"; }

# nap SECONDS: a pause that starts no process (a read from a pipe that never
# has data), for the waits that poll often: on a loaded machine every process
# started costs as much as a frame.
exec {LIB_NAP_FD}<> <(:)
nap() { read -r -t "$1" -u "$LIB_NAP_FD" _ || :; }

# wait_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds;
# fails when it has not within SECONDS.
wait_until() {
  local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# Whether the game window shows a drawn frame (not one flat colour).
window_drawn() {
  local sd
  sd=$(import -display "$DISPLAY" -window "$WID" -colorspace gray -format '%[fx:standard_deviation]' info: 2>/dev/null)
  awk -v s="${sd:-0}" 'BEGIN { exit !(s > 0.02) }'
}

# Re-runs the calling script under its own Xvfb when no display is given.
need_display() {
  if [ -z "${DISPLAY:-}" ]; then
    rm -rf -- "$TEST_HOME"  # the script starts again, with a home of its own
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
  fi
  command -v xdotool >/dev/null || die "xdotool is not installed"
  command -v import >/dev/null || die "ImageMagick is not installed"
}

# start_pabrix BINARY [PREFS_HEX]: starts the program with a temporary HOME,
# whose documents folder holds a preferences file of those bytes if given;
# sets PID, WID, HOMEDIR, DOCS, SHOTS, PUMPS (where the program counts its event
# pumps: one a frame, more while it waits for a release). E2E_AUDIODRIVER picks
# the sound driver (dummy unless set; "disk" records). A Windows program
# (*.exe) runs under Wine in the prefix the caller set up (WINEPREFIX); its
# documents folder is the prefix's, emptied of the program's files first.
start_pabrix() {
  HOMEDIR=$(scratch_dir session) || die "no session folder"
  DOCS="$HOMEDIR/Documents"
  case "$1" in
    *.exe)
      [ -n "${PABRIX_TEST_RUN:-}" ] || die "a Windows program runs inside the Windows test run"
      wine_documents
      remove "$DOCS/pabrix.prf" "$DOCS/pabglow.dat" "$DOCS/mistermon.dat" ;;
  esac
  SHOTS="$HOMEDIR/shots"
  mkdir -p "$DOCS" "$SHOTS"
  if [ -n "${2:-}" ]; then
    printf "$(echo "$2" | sed 's/../\\x&/g')" >"$DOCS/pabrix.prf"
  fi
  PUMPS="$HOMEDIR/pumps"
  case "$1" in
    *.exe)
      (cd "$(dirname "$1")" && exec env PABRIX_PUMP_FILE="$PUMPS" wine "$1" >"$HOMEDIR/out.log" 2>&1) & ;;
    *)
      (cd "$(dirname "$1")" && exec env -u XDG_DOCUMENTS_DIR -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$HOMEDIR" \
         SDL_AUDIODRIVER="${E2E_AUDIODRIVER:-dummy}" PABRIX_PUMP_FILE="$PUMPS" "$1" >"$HOMEDIR/out.log" 2>&1) & ;;
  esac
  PID=$!
  await_window
}

# await_window [LOG]: the program just started (PID, its output in LOG, else
# HOMEDIR/out.log) shows its window with a drawn frame; sets WID and the frame's
# geometry. The bounds are a loaded machine's, where a start takes many times
# its usual.
await_window() {
  WID=$(timeout 60 xdotool search --sync --name '^Pabrix$' | head -1) || true
  [ -n "$WID" ] || { cat "${1:-$HOMEDIR/out.log}"; die "the window did not appear"; }
  xdotool windowfocus --sync "$WID" 2>/dev/null || true
  wait_until 30 window_drawn || die "the window shows no frame"
  geometry
}

cleanup() {
  if [ -n "${PID:-}" ] && kill -0 "$PID" 2>/dev/null; then
    kill "$PID" 2>/dev/null
    wait_until 1 eval '! kill -0 "$PID" 2>/dev/null'
  fi
  if [ -n "${PID:-}" ] && kill -0 "$PID" 2>/dev/null; then kill -9 "$PID" 2>/dev/null; fi
  [ -n "${KEEP_E2E:-}" ] || [ -z "${HOMEDIR:-}" ] || remove "$HOMEDIR"
  PID=""
}
at_exit cleanup

# wine_documents: sets DOCS to the Wine user's documents folder (made if
# missing), which must lie inside the Windows test run's folder.
wine_documents() {
  DOCS=$(realpath -m "$WINEPREFIX/drive_c/users/$(id -un)/Documents")
  th_inside "$DOCS" || die "the Wine documents folder $DOCS is outside the test run: refusing to touch it"
  mkdir -p "$DOCS"
}

# Where the 640x480 frame lies on the screen: scaled with its aspect kept and
# centred in the window (full screen), or 1:1 (windowed). Sets FX FY SCALE.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  frame_in "$X" "$Y" "$WIDTH" "$HEIGHT"
}

# frame_in X Y WIDTH HEIGHT: the frame fitted into that area of the screen, as
# the program fits it into its window's client area. Sets FX FY SCALE.
frame_in() {
  local X=$1 Y=$2 WIDTH=$3 HEIGHT=$4
  SCALE=$(awk -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN { s = w / 640; if (h / 480 < s) s = h / 480; print s }')
  FX=$(awk -v x="$X" -v w="$WIDTH" -v s="$SCALE" 'BEGIN { printf "%d", x + (w - 640 * s) / 2 + 0.5 }')
  FY=$(awk -v y="$Y" -v h="$HEIGHT" -v s="$SCALE" 'BEGIN { printf "%d", y + (h - 480 * s) / 2 + 0.5 }')
  log "window ${WIDTH}x${HEIGHT} at $X,$Y; frame at $FX,$FY scale $SCALE"
}

# Screen position of frame pixel (x, y).
sx() { awk -v f="$FX" -v s="$SCALE" -v x="$1" 'BEGIN { printf "%d", f + (x + 0.5) * s }'; }
sy() { awk -v f="$FY" -v s="$SCALE" -v y="$1" 'BEGIN { printf "%d", f + (y + 0.5) * s }'; }

# PUMPED: how many times the program has taken in events so far (no fork, as
# the waits below read it often).
# A Windows program writes the count as text, ending it with a carriage return.
read_pumps() {
  PUMPED=0
  read -r PUMPED <"$PUMPS" 2>/dev/null || PUMPED=${PUMPED:-0}
  PUMPED=${PUMPED%$'\r'}
}

# wait_pumps N: waits until the program has taken in events N more times, so it
# has had what was just done for N - 1 frames (a screen it opened meanwhile
# included); returns early when the program has ended, fails when it has taken
# in no events for 30 s (a loaded machine runs frames slowly, never not at all).
wait_pumps() {
  read_pumps
  local goal=$(( PUMPED + $1 )) last=$PUMPED deadline=$(( EPOCHSECONDS + 30 ))
  until read_pumps; [ "$PUMPED" -ge "$goal" ]; do
    kill -0 "$PID" 2>/dev/null || return 0
    [ "$PUMPED" = "$last" ] || { last=$PUMPED; deadline=$(( EPOCHSECONDS + 30 )); }
    [ "$EPOCHSECONDS" -lt "$deadline" ] || die "the program took in no events for 30 s"
    nap 0.01
  done
}

# The pointer moves; the next frame draws it there.
move_to() { xdotool mousemove "$(sx "$1")" "$(sy "$2")"; wait_pumps 2; }

# press [BUTTON]: presses and releases the button where the pointer is, each
# held for several frames, as a hand does.
press() { xdotool mousedown "${1:-1}"; wait_pumps 4; xdotool mouseup "${1:-1}"; }

# click X Y: moves there and presses; the program has then seen the release.
click() { move_to "$1" "$2"; press; wait_pumps 4; }

# click_holes "C,R ...": clicks each peg-board hole (column, row); the middle of
# each is 70 + 16c + 8, 37 + 16r + 8.
click_holes() {
  local cell
  for cell in $1; do click $(( 78 + 16 * ${cell%,*} )) $(( 45 + 16 * ${cell#*,} )); done
}

# board_pegs_are "C,R ...": the peg-board file holds a peg of the first colour in
# each of those holes of the first board, and nothing else anywhere.
board_pegs_are() {
  perl -e 'my @b = (10) x 6720; for (split " ", $ARGV[0]) { my ($c, $r) = split /,/; $b[$c + 32 * $r] = 4 }
           print pack("l<*", @b)' "$1" >"$HOMEDIR/expected.dat"
  cmp -s "$HOMEDIR/expected.dat" "$DOCS/pabglow.dat" && return 0
  cmp -l "$HOMEDIR/expected.dat" "$DOCS/pabglow.dat" 2>&1 | head -5 |
    awk '{ printf "cell %d: %d, expected %d\n", int(($1 - 1) / 4), $3, $2 }' >&2
  return 1
}

# now_ms: sets NOW to the wall clock in milliseconds (no process started: these
# stamps bound what a slow machine did between them).
now_ms() { NOW=${EPOCHREALTIME//[^0-9]/}; NOW=$(( NOW / 1000 )); }

# ask X Y: the first press of a question that takes two within three seconds of
# the program's clock (the way out, the bin), made there and held for a frame;
# ASKED is when. Few frames and no process between the two presses: on a loaded
# machine each costs a noticeable share of the three seconds.
ask() {
  move_to "$1" "$2"
  now_ms; ASKED=$NOW
  xdotool mousedown 1; wait_pumps 2; xdotool mouseup 1; wait_pumps 2
}

# answer: the second press of such a question, where ask left the pointer; it
# returns on the release, which the program takes in with its next frame.
# Succeeds when the program saw this press less than three seconds after the
# first, so it had to take it as the answer. Fails when the machine was so slow
# that it may not have: the press then asked again, and ASKED is set to when it
# was made, ready for one more.
answer() {
  local at
  now_ms; at=$NOW
  xdotool mousedown 1; wait_pumps 2
  now_ms
  xdotool mouseup 1
  [ $(( NOW - ASKED )) -ge 3000 ] || return 0
  log "the two presses took up to $(( NOW - ASKED )) ms: this one may have asked again"
  ASKED=$at
  wait_pumps 2  # released before the next press
  return 1
}

# The menu's way out asks once: the first click makes it glow, the second quits.
quit_from_menu() {
  local n
  ask 600 450
  for n in $(seq 1 10); do
    answer && return 0
    kill -0 "$PID" 2>/dev/null || return 0
  done
}

press_key() { xdotool keydown "$1"; wait_pumps 4; xdotool keyup "$1"; wait_pumps 4; }

# shot NAME: the 640x480 frame as seen on the screen, scaled back to 640x480.
shot() {
  local full="$SHOTS/$1-screen.png"
  import -display "$DISPLAY" -window root "$full" 2>/dev/null || die "screenshot failed"
  local w h
  w=$(awk -v s="$SCALE" 'BEGIN { printf "%d", 640 * s }')
  h=$(awk -v s="$SCALE" 'BEGIN { printf "%d", 480 * s }')
  convert "$full" -crop "${w}x${h}+${FX}+${FY}" +repage -resize '640x480!' "$SHOTS/$1.png"
  echo "$SHOTS/$1.png"
}

# looks_like SHOT PICTURE GEOMETRY: the region (WxH+X+Y) of the shot matches
# the same region of the data picture loosely: at most 10% of its pixels may
# differ by more than 20% (scaling, the pointer, animation).
looks_like() {
  local a b n total
  a="$HOMEDIR/cmp-a.png"; b="$HOMEDIR/cmp-b.png"
  convert "$1" -crop "$3" +repage -alpha off "$a"
  convert "$2" -crop "$3" +repage -alpha off "$b"
  n=$(compare -metric AE -fuzz 20% "$a" "$b" null: 2>&1 | sed 's/[^0-9.e+].*//')
  case "$2" in
    *.tga)
      # ImageMagick reads some TGA files upside down (it ignores their origin
      # flag): take the better of both orientations.
      local m
      convert "$2" -flip -crop "$3" +repage -alpha off "$b"
      m=$(compare -metric AE -fuzz 20% "$a" "$b" null: 2>&1 | sed 's/[^0-9.e+].*//')
      n=$(awk -v n="${n:-999999999}" -v m="${m:-999999999}" 'BEGIN { print (m < n ? m : n) }')
      ;;
  esac
  total=$(identify -format '%[fx:w*h]' "$a")
  awk -v n="${n:-999999999}" -v t="$total" 'BEGIN { exit !(n <= t * 0.10) }' ||
    die "$1 region $3 does not look like $(basename "$2") ($n of $total pixels differ)"
  log "$(basename "$1") region $3 looks like $(basename "$2") ($n of $total pixels differ)"
}

# wait_exit SECONDS: the program ends by itself in time.
wait_exit() {
  local i
  for i in $(seq 1 $(( $1 * 10 ))); do
    kill -0 "$PID" 2>/dev/null || { wait "$PID"; return $?; }
    sleep 0.1
  done
  die "the program did not end within $1 s"
}

# le32 FILE INDEX: the INDEX-th little-endian 32-bit signed integer of FILE.
le32() { od -An -t d4 -j $(( $2 * 4 )) -N 4 "$1" | tr -d ' '; }

# focus_game: the game window has the keyboard focus, so it is in front (a
# window in the background pauses the game). Windows made and dropped while the
# program starts may be found first: search again until one takes the focus.
focus_game() {
  local deadline=$(( EPOCHSECONDS + 60 ))
  while [ "$EPOCHSECONDS" -lt "$deadline" ]; do
    WID=$(xdotool search --onlyvisible --name '^Pabrix$' 2>/dev/null | tail -1) || true
    [ -n "$WID" ] && timeout 5 xdotool windowfocus --sync "$WID" 2>/dev/null && return 0
    sleep 0.2
  done
  die "the game window did not take the focus in 60 s"
}

looks_like_now() { (looks_like "$(shot "$1")" "$2" "$3") >/dev/null 2>&1; }

# shows_within SECONDS NAME PICTURE GEOMETRY: the screen comes to look like the
# picture within SECONDS: after a change of mode the window has its new size a
# moment before the program's next frame reaches it.
shows_within() {
  local seconds=$1
  shift
  wait_until "$seconds" looks_like_now "$@" || true
  looks_like "$(shot "$1")" "$2" "$3"
}

# soon_like NAME PICTURE GEOMETRY: the screen comes to look like the picture
# within a minute (a loaded machine may take a while to show the first frames).
soon_like() {
  local n
  for n in $(seq 1 60); do
    (looks_like "$(shot "$1")" "$2" "$3") 2>/dev/null && { log "$1 looks like $(basename "$2")"; return 0; }
    focus_game
    sleep 1
  done
  looks_like "$(shot "$1")" "$2" "$3"
}
