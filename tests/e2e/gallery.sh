#!/bin/bash
# End to end: two camera pictures (and files the camera never writes) in the
# picture folder; G on the menu opens the gallery with both thumbnails, newest
# first; a click shows one whole; the bin removes it after a second click.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: gallery.sh path/to/pabrix}
GFX="$(dirname "$BIN")/data/gfx"

start_pabrix "$BIN" 2c010000180100000000000000000000
P="$DOCS/Pabrix"
mkdir -p "$P"
convert "$GFX/sky.bmp" "$P/Pabrix 2026-01-02 10-00-00.png"          # older
convert "$GFX/misterback.bmp" "$P/Pabrix 2026-01-03 09-30-00.png"   # newest
convert "$GFX/sky.bmp" "$P/holiday.png"                              # not the camera's
printf 'not a picture' >"$P/Pabrix 2026-01-01 08-00-00 (2).txt"
press_key g
move_to 620 470
# Newest first: the monster room in the first frame, the sky (blue) in the
# second; the third frame stays blank (two pictures).
stat() { convert "$SHOTS/gallery.png" -crop "$1" +repage -format "$2" info:; }
sd() { stat "$1" '%[fx:standard_deviation]'; }
blue() { stat "$1" '%[fx:mean.b-mean.r]'; }
A=150x110+55+100 B=150x110+245+100 C=150x110+435+100
# A worker decodes the thumbnails: once both frames show a picture, 30 more
# frames give a stray third one time to show too before all is judged.
both_shown() { shot gallery >/dev/null; awk -v a="$(sd $A)" -v b="$(sd $B)" 'BEGIN { exit !(a > 0.05 && b > 0.05) }'; }
wait_until 60 both_shown || true
wait_pumps 30
shot gallery >/dev/null
awk -v a="$(sd $A)" -v b="$(sd $B)" -v c="$(sd $C)" -v ba="$(blue $A)" -v bb="$(blue $B)" \
  'BEGIN { exit !(a > 0.05 && b > 0.05 && c < 0.02 && bb > ba) }' ||
  die "the thumbnails are not where they belong"
log "two thumbnails shown, the third frame empty"

click 130 155                  # the newest picture, whole
wait_pumps 20
shot whole >/dev/null
NEWEST="$P/Pabrix 2026-01-03 09-30-00.png"
ask 595 338                    # the bin asks...
[ -f "$NEWEST" ] || die "one click on the bin removed the picture"
# ...and a second click within three seconds removes (a press that came later
# only asked again: then one more).
for n in $(seq 1 10); do answer && break; [ -f "$NEWEST" ] || break; done
wait_pumps 10
[ ! -f "$NEWEST" ] || die "two clicks on the bin left the picture"
[ -f "$P/Pabrix 2026-01-02 10-00-00.png" ] && [ -f "$P/holiday.png" ] || die "another file went"
move_to 620 470
wait_pumps 20
shot gallery-after >/dev/null
log "the bin removed the picture after two clicks; the others are still there"
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"
[ -n "${E2E_SHOTS:-}" ] && cp "$SHOTS"/*.png "$E2E_SHOTS"/ 2>/dev/null
cleanup
