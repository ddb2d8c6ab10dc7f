#!/bin/bash
# zip_check.sh BUILD_DIR WORK_DIR VERSION DATA_LIST OBJDUMP ICON32_PNG
# The Windows zip as a parent gets it: CPack builds it into WORK_DIR/pkg; it must
# hold one folder with exactly pabrix.exe, README.txt and LICENSE.txt (CR LF)
# and the listed data files; the program must be a GUI program carrying its
# icon and version, needing no DLL that Windows lacks. Unpacked into a folder whose path has a
# space and started from another folder under Wine, it must find its data and
# draw its menu. Runs inside the Windows test run (scripts/wine-ctest.sh: its
# display and Wine prefix).
. "$(dirname "$0")/../e2e/lib.sh"
BUILD=${1:?build folder}; WORK=${2:?work folder}; VERSION=${3:?version}
LIST=${4:?data file list}; OBJDUMP=${5:?objdump}; ICON32=${6:?32x32 icon}
[ -n "${PABRIX_TEST_RUN:-}" ] && [ -n "${DISPLAY:-}" ] || die "run inside the Windows test run"
export LC_ALL=C
TOP=pabrix-$VERSION-windows-x64

mkdir -p "$WORK"
remove "$WORK/pkg"
cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log"; die "cpack failed"; }
ZIP="$WORK/pkg/$TOP.zip"
[ -f "$ZIP" ] || die "no $TOP.zip in $WORK/pkg: $(ls "$WORK/pkg")"
log "built $TOP.zip ($(stat -c %s "$ZIP") bytes)"

# Exactly the program, the README and the data files, in one folder.
{ echo "$TOP/pabrix.exe"; echo "$TOP/README.txt"; echo "$TOP/LICENSE.txt"; sed "s|^|$TOP/data/|" "$LIST"; } | sort >"$WORK/zip-expected.txt"
unzip -Z1 "$ZIP" | grep -v '/$' | sort >"$WORK/zip-files.txt"
d=$(diff "$WORK/zip-expected.txt" "$WORK/zip-files.txt") ||
  die "the zip differs from the expected file list (< missing, > unexpected):"$'\n'"$d"
bad=$(unzip -Z1 "$ZIP" | grep -v "^$TOP/") && die "entries outside $TOP/: $bad"
log "the zip holds $TOP/ with the $(wc -l <"$WORK/zip-files.txt") expected files, nothing else"

# The README and the licence are for Notepad: every line ends in CR LF.
for txt in README.txt LICENSE.txt; do
  unzip -p "$ZIP" "$TOP/$txt" >"$WORK/$txt"
  [ -s "$WORK/$txt" ] && ! grep -q $'[^\r]$' "$WORK/$txt" && ! grep -q '^$' "$WORK/$txt" ||
    die "$txt has lines not ending in CR LF"
done
grep -q '^MIT License'$'\r$' "$WORK/LICENSE.txt" || die "LICENSE.txt is not the MIT licence"
grep -q "^Pabrix $VERSION for Windows"$'\r$' "$WORK/README.txt" || die "README.txt does not name version $VERSION"

# A GUI program (no console window), stripped, importing only DLLs Windows has.
remove "$WORK/unpacked "*
UNPACKED=$(mktemp -d "$WORK/unpacked XXXXXX")
unzip -q "$ZIP" -d "$UNPACKED"
EXE="$UNPACKED/$TOP/pabrix.exe"
"$OBJDUMP" -p "$EXE" >"$WORK/exe-headers.txt"
grep -q '^Subsystem[[:space:]]*00000002[[:space:]]*(Windows GUI)' "$WORK/exe-headers.txt" ||
  die "pabrix.exe is not a GUI program: $(grep '^Subsystem' "$WORK/exe-headers.txt")"
"$OBJDUMP" -h "$EXE" | grep -q ' \.debug_' && die "pabrix.exe in the zip is not stripped"
SYSTEM_DLLS="advapi32 comdlg32 ddraw dsound gdi32 kernel32 msvcrt ole32 opengl32 shell32 user32 winmm"
dlls=$(awk '/DLL Name:/ { print tolower($3) }' "$WORK/exe-headers.txt" | sort -u)
[ -n "$dlls" ] || die "no imported DLL found in pabrix.exe"
for dll in $dlls; do
  [[ " $SYSTEM_DLLS " == *" ${dll%.dll} "* ]] || die "pabrix.exe needs $dll, which Windows does not have"
done
log "GUI subsystem, stripped, imports only $(echo $dlls)"
# The icon the window class names (160) with its six pictures, and the version
# information (resource types 14, 3 and 16 in the resource directory).
"$OBJDUMP" -p "$EXE" | sed -n '/The .rsrc Resource Directory/,$p' |
  awk '/^[0-9a-f]+   Entry: ID:/ { t = $4 } /^[0-9a-f]+     Entry: ID:/ { print t $4 }' >"$WORK/resources.txt"
grep -qx '0x00000e,0x0000a0,' "$WORK/resources.txt" || die "pabrix.exe carries no icon 160"
[ "$(grep -c '^0x000003,' "$WORK/resources.txt")" = 6 ] || die "the icon does not hold its six sizes"
grep -qx '0x000010,0x000001,' "$WORK/resources.txt" || die "pabrix.exe carries no version information"
strings -el "$EXE" | grep -A1 -x ProductVersion | grep -qx "$VERSION" ||
  die "the version information does not name $VERSION"
log "icon 160 and version information $VERSION are in pabrix.exe"
# The manifest (type 24, id 1): Windows 7 to 11, common controls 6, DPI unaware.
grep -qx '0x000018,0x000001,' "$WORK/resources.txt" || die "pabrix.exe carries no manifest"
for want in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a \
    Microsoft.Windows.Common-Controls '>false</dpiAware>'; do
  strings "$EXE" | grep -qF -- "$want" || die "the manifest lacks $want"
done
log "the manifest names Windows 7 to 11, common controls 6 and the DPI setting"

# Started from another folder, far from the unpacked one: no preferences, so
# full screen, which on this 640x480 display is the whole screen, 1:1.
HOMEDIR=$(scratch_dir zip) || die "no scratch folder"
SHOTS="$HOMEDIR/shots"; PUMPS="$HOMEDIR/pumps"
mkdir -p "$SHOTS" "$HOMEDIR/elsewhere"
wine_documents
remove "$DOCS/pabrix.prf" "$DOCS/pabglow.dat" "$DOCS/mistermon.dat"
: >"$PUMPS"
(cd "$HOMEDIR/elsewhere" && exec env PABRIX_PUMP_FILE="$PUMPS" wine "$EXE" >"$HOMEDIR/out.log" 2>&1) &
PID=$!
focus_game
geometry
move_to 320 250
# The window shows the program's icon: Wine hands the class icon to X, and its
# 32x32 picture must be the one the generator renders for that size.
xprop -notype -id "$WID" 32c _NET_WM_ICON | sed 's/^[^=]*=//' | tr -d ' ' | tr ',' '\n' |
  awk '{ a[n++] = $1 } END { for (i = 0; i + 1 < n; i += 2 + a[i] * a[i + 1])
         if (a[i] == 32 && a[i + 1] == 32) for (j = 0; j < 1024; j++) printf "%08x\n", a[i + 2 + j] }' \
  >"$HOMEDIR/window-icon.txt"
convert "$ICON32" -depth 8 txt:- | awk 'NR > 1 { sub(/^#/, "", $3); print tolower(substr($3, 7, 2) substr($3, 1, 6)) }' \
  >"$HOMEDIR/icon32.txt"
[ -s "$HOMEDIR/window-icon.txt" ] || die "the window has no 32x32 icon"
cmp "$HOMEDIR/window-icon.txt" "$HOMEDIR/icon32.txt" || die "the window's icon is not the program's"
log "the window shows the program's 32x32 icon"
soon_like menu "$UNPACKED/$TOP/data/gfx/pabrix.bmp" 640x120+0+0
looks_like "$SHOTS/menu.png" "$UNPACKED/$TOP/data/gfx/pabrix.bmp" 470x70+170+405
# Alt+F4 is a close request: the program saves and ends well.
xdotool key --window "$WID" alt+F4
wait_exit 60 || die "the program failed: $(cat "$HOMEDIR/out.log")"
[ -s "$DOCS/pabrix.prf" ] || die "no preferences in the documents folder"
[ -z "$(ls -A "$UNPACKED/$TOP" | grep -vx -e pabrix.exe -e README.txt -e LICENSE.txt -e data)" ] ||
  die "the program wrote into its folder: $(ls -A "$UNPACKED/$TOP")"
log "unpacked to '$UNPACKED', started from another folder: drew its menu, closed with its preferences saved"
remove "$UNPACKED"
