#!/usr/bin/env bash
# Runs the Windows build's CTest suite under Wine: usage wine-ctest.sh BUILD [ctest args].
#
# The run owns everything it starts: an Xvfb display of its own (640x480, so a
# full-screen switch to the game's size is a mode the display has), one Wine
# prefix made fresh under the build folder, and a persistent wineserver for the
# run (each test program then starts in a fraction of a second). All of it is
# stopped on the way out, whatever the outcome. Every wait has a deadline.
set -euo pipefail

build=$(cd "${1:?usage: wine-ctest.sh BUILD [ctest args]}" && pwd)
shift
work="$build/wine-run"
export WINEPREFIX="$work/prefix"
# Test scripts refuse a Wine prefix or home outside this folder (tests/support/test_home.sh).
export PABRIX_TEST_RUN="$work"
# Wine links the prefix's user folders (Documents and the like) into $HOME and
# may make a missing documents folder a link to it: a home of the run's own
# keeps every test's clean-up inside the build folder.
export HOME="$work/home"
unset XDG_DOCUMENTS_DIR XDG_CONFIG_HOME XDG_DATA_HOME
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY

xvfb_pid=""
cleanup() {
  local status=$?
  # The server ends the prefix's processes; then the display goes.
  timeout 20 wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  exit $status
}
trap cleanup EXIT INT TERM

rm -rf "$work"
mkdir -p "$work" "$HOME"

# Xvfb picks a free display number itself and writes it to the given descriptor
# once it accepts connections.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 600); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "wine-ctest: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "wine-ctest: Xvfb gave no display in 60 s" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

start=$(date +%s)
mkdir -p "$WINEPREFIX"
wineserver -p
# Bounds for a hang: on a loaded machine the prefix takes minutes, not seconds.
timeout 600 wineboot -i >"$work/wineboot.log" 2>&1
# Without a window manager every hide or destroy would wait 2 s for one.
timeout 300 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
  >>"$work/wineboot.log" 2>&1
# Wine closes the desktop a while after its last program has gone and starts it
# again for the next one, which then takes ten seconds longer to open a window.
# A command interpreter waiting on a pipe this script holds keeps it up for the
# run; it ends with the wineserver (or when the script's end closes the pipe).
mkfifo "$work/hold"
wine cmd.exe <"$work/hold" >/dev/null 2>&1 &
exec 7>"$work/hold"
echo "wine-ctest: prefix ready on $DISPLAY in $(( $(date +%s) - start )) s"

cd "$build"
ctest "$@"
