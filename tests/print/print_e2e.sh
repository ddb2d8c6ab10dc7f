#!/bin/bash
# End to end: printing from the monster builder in the real program. The print
# button opens the dialog over the game window; Escape, held as a child holds it,
# cancels and leaves the builder on screen; "Print to File", chosen already, then
# writes one page with the monster alone on white, centred and large, into the
# documents folder under the moment's name. From full screen (Shift+F) the
# dialog opens over a window, and full screen comes back after it.
. "$(dirname "$0")/../e2e/lib.sh"
need_display "$@"
BIN=${1:?usage: print_e2e.sh path/to/pabrix}
DATA="$(dirname "$BIN")/data/gfx"
command -v pdftoppm >/dev/null || die "poppler-utils is not installed"

# open_dialog: clicks the print button; sets DLG to the dialog, focused, and checks
# that it lies over the game window.
open_dialog() {
  move_to 328 437; press   # the program waits in the dialog from here
  DLG=$(timeout 60 xdotool search --sync --onlyvisible --name '^Print$' | head -1) || true
  [ -n "$DLG" ] || die "no print dialog appeared"
  eval "$(xdotool getwindowgeometry --shell "$DLG" | sed 's/^/D_/')"
  local cx=$(( D_X + D_WIDTH / 2 )) cy=$(( D_Y + D_HEIGHT / 2 ))
  [ "$cx" -ge "$X" ] && [ "$cx" -le $(( X + WIDTH )) ] && [ "$cy" -ge "$Y" ] &&
    [ "$cy" -le $(( Y + HEIGHT )) ] || die "the dialog ($D_X,$D_Y ${D_WIDTH}x$D_HEIGHT) is not over the game"
  read -r SW SH <<<"$(xdotool getdisplaygeometry)"
  [ "$D_X" -ge 0 ] && [ "$D_Y" -ge 0 ] && [ $(( D_X + D_WIDTH )) -le "$SW" ] &&
    [ $(( D_Y + D_HEIGHT )) -le "$SH" ] || die "the dialog ($D_X,$D_Y ${D_WIDTH}x$D_HEIGHT) leaves the ${SW}x$SH screen"
  log "dialog at $D_X,$D_Y ${D_WIDTH}x$D_HEIGHT over the game window, on the ${SW}x$SH screen"
  sleep 0.5   # the printer list fills in
  xdotool windowfocus --sync "$DLG"
}

dialog_shown() { xdotool search --onlyvisible --name '^Print$' >/dev/null 2>&1; }
game_focused() { [ "$(xdotool getwindowfocus)" = "$WID" ]; }

# back_in_game: the dialog is gone, the program runs and has the keyboard.
back_in_game() {
  wait_until 30 eval '! dialog_shown' || die "the dialog stayed open"
  kill -0 "$PID" 2>/dev/null || die "the program ended"
  wait_until 30 game_focused || die "the game window did not get the keyboard back"
}

start_pabrix "$BIN" 2c010000180100000001000000000000   # windowed, printing on
click 505 230   # the monster button
# A pair of eyes from the palette onto the body.
move_to 45 45
xdotool mousedown 1; wait_pumps 4
move_to 440 250; wait_pumps 4
xdotool mouseup 1; wait_pumps 4

open_dialog
xdotool keydown Escape; sleep 1; xdotool keyup Escape
back_in_game
# Still the builder: the Escape that closed the dialog did not close the screen.
move_to 600 300
shows_within 30 cancelled "$DATA/misterback.bmp" 240x30+260+0   # drawn again where the dialog was
ls "$DOCS"/*.pdf >/dev/null 2>&1 && die "a cancelled print wrote a page"
log "Escape cancelled the print and the builder stayed"

open_dialog
# "Print to File" is preselected (no printer here) once the printer list has
# filled in; until then Return does nothing, so it is pressed again while the
# dialog stays.
page_written() {
  PDF=$(ls "$DOCS"/Pabrix\ ????-??-??\ ??-??-??.pdf 2>/dev/null | head -1)
  [ -n "$PDF" ] && [ -s "$PDF" ]
}
for i in 1 2 3 4 5 6; do
  dialog_shown || break
  xdotool windowfocus --sync "$DLG" 2>/dev/null && xdotool key --delay 150 Return
  wait_until 10 eval 'page_written || ! dialog_shown' && break
done
wait_until 60 page_written || die "no page was written to the documents folder: $(ls "$DOCS")"
log "printed to $(basename "$PDF")"
back_in_game
PAGES=$(pdfinfo "$PDF" | awk '/^Pages:/ { print $2 }')
[ "$PAGES" = 1 ] || die "the document has $PAGES pages"
# Crisp: the picture on the page holds at least 150 of its pixels per inch.
PPI=$(pdfimages -list "$PDF" | awk 'NR > 2 { print ($13 < $14 ? $13 : $14); exit }')
log "the monster is printed at $PPI pixels per inch"
[ "${PPI:-0}" -ge 150 ] || die "the monster is printed at ${PPI:-no} pixels per inch"
pdftoppm -r 72 -png -singlefile "$PDF" "$SHOTS/page"
# The ink on the page: the monster alone, centred, as large as the paper allows
# (the body is taller than wide, so the page stays upright).
read -r PW PH <<<"$(identify -format '%w %h' "$SHOTS/page.png")"
read -r TW TH TX TY <<<"$(convert "$SHOTS/page.png" -fuzz 4% -trim -format '%w %h %X %Y' info:)"
TX=${TX#+}; TY=${TY#+}
log "page ${PW}x$PH, ink ${TW}x$TH at $TX,$TY"
[ "$PH" -gt "$PW" ] || die "a tall monster on a turned page"
LEFT=$TX RIGHT=$(( PW - TX - TW )) TOP=$TY BOTTOM=$(( PH - TY - TH ))
[ $(( LEFT - RIGHT )) -le 3 ] && [ $(( RIGHT - LEFT )) -le 3 ] || die "not centred across: $LEFT | $RIGHT"
[ $(( TOP - BOTTOM )) -le 3 ] && [ $(( BOTTOM - TOP )) -le 3 ] || die "not centred down: $TOP | $BOTTOM"
[ "$TH" -gt $(( PH * 80 / 100 )) ] || [ "$TW" -gt $(( PW * 80 / 100 )) ] ||
  die "the monster is printed too small (${TW}x$TH on ${PW}x$PH)"
GREEN=$(convert "$SHOTS/page.png" -fuzz 25% -fill black -opaque '#8fe46a' -fill white +opaque black \
  -format '%[fx:int(w*h*(1-mean))]' info:)
log "page pixels of the body's green: $GREEN"
[ "$GREEN" -gt 2000 ] || die "the body's green is missing from the page"

press_key Escape   # back to the menu
# Full screen with printing on: the dialog gets a window, full screen comes back.
read -r SW SH <<<"$(xdotool getdisplaygeometry)"
xdotool keydown Shift_L keydown f; wait_pumps 4; xdotool keyup f keyup Shift_L; wait_pumps 4
wait_until 30 eval '[ "$(xdotool getwindowgeometry --shell "$WID" | grep WIDTH=)" = "WIDTH=$SW" ]' ||
  die "Shift+F did not go full screen"
geometry
click 505 230   # the monster button
open_dialog
eval "$(xdotool getwindowgeometry --shell "$WID" | sed 's/^/G_/')"
# (On a screen no larger than the game a window and full screen look the same.)
[ "$G_WIDTH" -lt "$SW" ] || [ "$SW" -le 640 ] || die "the dialog opened over full screen (${G_WIDTH}x$G_HEIGHT)"
log "the game is a ${G_WIDTH}x$G_HEIGHT window while the dialog is open"
xdotool keydown Escape; sleep 1; xdotool keyup Escape
back_in_game
wait_until 30 eval '[ "$(xdotool getwindowgeometry --shell "$WID" | grep WIDTH=)" = "WIDTH=$SW" ]' ||
  die "full screen did not come back after the dialog"
geometry
shows_within 30 fullscreen-again "$DATA/misterback.bmp" 240x30+260+0
log "full screen again after the dialog"
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"
[ "$(stat -c %s "$DOCS/mistermon.dat" 2>/dev/null)" = 120000 ] || die "no monster file"
log "printed, cancelled and quit cleanly"
cleanup
