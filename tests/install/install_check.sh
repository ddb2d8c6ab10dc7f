#!/bin/bash
# install_check.sh MODE BUILD_DIR WORK_DIR APP_ID VERSION
#   layout: installs into WORK_DIR/prefix; checks the file list, the icons' sizes,
#           the desktop entry and the AppStream data with their validators, and
#           the message a copy without its data gives.
#   menu:   starts the installed program from another folder in an X display and
#           compares its menu with the installed menu picture.
#   deb:    builds the .deb into WORK_DIR/pkg and checks its fields and contents.
. "$(dirname "$0")/../e2e/lib.sh"
MODE=${1:?mode}; BUILD=${2:?build folder}; WORK=${3:?work folder}; ID=${4:?id}; VERSION=${5:?version}
PREFIX="$WORK/prefix"
export LC_ALL=C

# same_files LABEL ACTUAL_LIST: the list equals the expected one, line for line.
same_files() {
  local d
  d=$(diff <(sort "$WORK/expected-files.txt") <(sort "$2")) ||
    die "$1 differs from the expected file list (< missing, > unexpected):"$'\n'"$d"
  log "$1: the $(wc -l <"$2") expected files, nothing else"
}

layout() {
  remove "$PREFIX" "$WORK/lonely"
  cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || { cat "$WORK/install.log"; die "cmake --install failed"; }
  (cd "$PREFIX" && find . -type f -printf '%P\n') >"$WORK/installed-files.txt"
  same_files "install into $PREFIX" "$WORK/installed-files.txt"
  [ -x "$PREFIX/bin/pabrix" ] || die "bin/pabrix is not executable"

  local size got
  for size in 16 32 48 64 128 256; do
    got=$(file -b "$PREFIX/share/icons/hicolor/${size}x$size/apps/$ID.png")
    case "$got" in "PNG image data, $size x $size,"*) ;; *) die "${size}x$size icon is: $got" ;; esac
  done

  local out
  # Hints are advice (it names Education and Game both being main categories,
  # which the menu entry wants); errors and warnings fail.
  out=$(desktop-file-validate "$PREFIX/share/applications/$ID.desktop" 2>&1) &&
    ! grep -q -e 'error:' -e 'warning:' <<<"$out" || die "desktop-file-validate: $out"
  log "desktop-file-validate: no error, no warning${out:+; $out}"
  out=$(appstreamcli validate --no-net --pedantic "$PREFIX/share/metainfo/$ID.metainfo.xml" 2>&1) ||
    die "appstreamcli validate: $out"
  log "appstreamcli validate --no-net --pedantic: $(echo "$out" | tail -1)"
  grep -q "<release version=\"$VERSION\"" "$PREFIX/share/metainfo/$ID.metainfo.xml" ||
    die "the AppStream releases do not name version $VERSION"

  # A copy of the program with no data anywhere: one message naming both places.
  mkdir -p "$WORK/lonely/bin"
  cp "$PREFIX/bin/pabrix" "$WORK/lonely/bin/"
  local rc=0
  out=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$WORK/lonely" SDL_VIDEODRIVER=dummy \
        SDL_AUDIODRIVER=dummy timeout 60 "$WORK/lonely/bin/pabrix" 2>&1) || rc=$?
  [ "$rc" = 1 ] || die "without data the program ended with $rc, expected 1: $out"
  for where in "$WORK/lonely/bin/data" "$WORK/lonely/share/pabrix/data"; do
    grep -qxF "$where" <<<"$out" || die "the message does not name $where: $out"
  done
  log "without data: exit 1 and the message names both places"
}

menu() {
  need_display "$@"
  local bin="$PREFIX/bin/pabrix"
  [ -x "$bin" ] || die "no installed program at $bin"
  HOMEDIR=$(scratch_dir install) || die "no scratch folder"
  DOCS="$HOMEDIR/Documents"; SHOTS="$HOMEDIR/shots"; PUMPS="$HOMEDIR/pumps"
  mkdir -p "$DOCS" "$SHOTS"
  # Windowed, so the frame is seen 1:1.
  printf '\x2c\x01\x00\x00\x18\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$DOCS/pabrix.prf"
  # Started from the temporary home, far from the prefix, as a menu would.
  (cd "$HOMEDIR" && exec env -u XDG_DOCUMENTS_DIR -u XDG_CONFIG_HOME HOME="$HOMEDIR" \
     SDL_AUDIODRIVER=dummy PABRIX_PUMP_FILE="$PUMPS" "$bin" >"$HOMEDIR/out.log" 2>&1) &
  PID=$!
  await_window
  move_to 320 250
  local menu="$PREFIX/share/pabrix/data/gfx/pabrix.bmp"
  looks_like "$(shot menu)" "$menu" 640x120+0+0
  looks_like "$SHOTS/menu.png" "$menu" 470x70+170+405
  quit_from_menu  # the way out: a second click quits
  wait_exit 60 || die "the program failed: $(cat "$HOMEDIR/out.log")"
  log "the installed program drew its menu and quit"
}

deb() {
  remove "$WORK/pkg" "$WORK/deb-root"
  cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log"; die "cpack failed"; }
  local debs=("$WORK/pkg"/*.deb)
  [ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || die "expected one .deb in $WORK/pkg: ${debs[*]}"
  local d=${debs[0]}
  log "built $(basename "$d") ($(stat -c %s "$d") bytes)"

  dpkg-deb --contents "$d" >"$WORK/deb-contents.txt" || die "dpkg-deb cannot list $d"
  awk '$1 !~ /^d/ { print $NF }' "$WORK/deb-contents.txt" | sed 's|^\./usr/||' >"$WORK/deb-files.txt"
  same_files ".deb contents under /usr" "$WORK/deb-files.txt"


  f() { dpkg-deb -f "$d" "$1"; }
  [ "$(f Package)" = pabrix ] || die "Package is $(f Package)"
  [ "$(f Version)" = "$VERSION" ] || die "Version is $(f Version)"
  [ "$(f Section)" = education ] || die "Section is $(f Section)"
  [ "$(f Priority)" = optional ] || die "Priority is $(f Priority)"
  [[ "$(f Maintainer)" == *"<"*@*">" ]] || die "Maintainer is '$(f Maintainer)'"
  # Computed from the program's libraries: SDL and GTK at least, with versions.
  [[ "$(f Depends)" == *"libsdl2-2.0-0 (>="* && "$(f Depends)" == *"libgtk-3-0 (>="* ]] ||
    die "Depends was not computed from the program: '$(f Depends)'"
  grep -q '^-rwxr-xr-x root/root .* \./usr/bin/pabrix$' "$WORK/deb-contents.txt" ||
    die "bin/pabrix is not root's executable"

  # Installed-Size counts like dpkg: each file in whole KiB, rounded up; each
  # directory and link one more.
  dpkg-deb -x "$d" "$WORK/deb-root"
  local want got
  want=$(cd "$WORK/deb-root" && find . -mindepth 1 -printf '%y %s\n' |
         awk '$1 == "f" { n += int(($2 + 1023) / 1024) } $1 != "f" { n += 1 } END { print n }')
  got=$(f Installed-Size)
  awk -v a="$got" -v b="$want" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= b / 50 + 4) }' ||
    die "Installed-Size is $got KiB, the files take $want KiB"
  log "Installed-Size $got KiB (files: $want KiB); Depends: $(f Depends)"
  # The program in the package is stripped.
  file -b "$WORK/deb-root/usr/bin/pabrix" | grep -q ', stripped' || die "the packaged program is not stripped"
}

case "$MODE" in
  layout) layout ;;
  menu) menu "$@" ;;
  deb) deb ;;
  *) die "unknown mode $MODE" ;;
esac
