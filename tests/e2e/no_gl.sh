#!/bin/bash
# End to end: the real program on the software device maps no OpenGL library, no
# DRI driver and no LLVM, windowed and after switching to scaled full screen, and
# the scaled frame shows what the windowed one showed. Nor is the print toolkit
# mapped at the menu: it is loaded on the first print only.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: no_gl.sh path/to/pabrix}

no_gl_mapped() {
  local found
  found=$(grep -oE '/[^ ]*(libGL[.X]|libEGL|libGLdispatch|_dri\.so|/dri/|libLLVM|libgallium)[^ ]*' \
    "/proc/$PID/maps" | sort -u)
  [ -z "$found" ] || die "$1: OpenGL is mapped: $found"
  grep -q 'libSDL2' "/proc/$PID/maps" || die "$1: the maps do not look like the program's"
  log "$1: no OpenGL, DRI or LLVM mapped"
}

no_toolkit_mapped() {
  local found
  found=$(grep -oE '/[^ ]*(libgtk-|libgdk-|libgdk_pixbuf|libcairo|libpango|libatk|libharfbuzz|libglib-|libgobject-|libgio-|pabrix-print)[^ ]*' \
    "/proc/$PID/maps" | sort -u)
  [ -z "$found" ] || die "the print toolkit is mapped at the menu: $found"
  log "no GTK, GLib, cairo or pango mapped at the menu"
}

start_pabrix "$BIN" 2c010000180100000000000000000000
move_to 630 470   # the pointer out of the way
windowed=$(shot windowed)
no_gl_mapped windowed
no_toolkit_mapped

xdotool keydown shift keydown f; wait_pumps 4; xdotool keyup f keyup shift
wide() { eval "$(xdotool getwindowgeometry --shell "$WID")"; [ "$WIDTH" -gt 640 ]; }
wait_until 30 wide || true
wait_pumps 4   # a frame drawn at the new size
geometry
[ "$WIDTH" -gt 640 ] || die "full screen was not entered (${WIDTH}x${HEIGHT})"
move_to 630 470
# Compared where nothing moves: the sun, and the flowers on the left (a loaded
# machine may show the first frame of the new size a moment after the size).
shows_within 30 fullscreen "$windowed" 110x90+530+0
looks_like "$SHOTS/fullscreen.png" "$windowed" 200x70+0+360
no_gl_mapped "full screen"
cleanup
