#!/bin/bash
# Music under load on Windows, measured under Wine: each given pabrix.exe (its
# data folder beside it) plays the menu's music into a private PulseAudio null
# sink with BUSY busy loops running beside it; 20 s are recorded and the gaps
# (runs of exact silence of 5 ms or more after the first sound) counted.
# Usage: BUSY=2 music_under_load.sh WORKDIR path/to/pabrix.exe...
# Everything (Xvfb, PulseAudio, a Wine prefix under WORKDIR) is its own and is
# stopped at the end. Not a test: the figures depend on the machine's load.
set -u
W=$(mkdir -p "${1:?work folder}" && cd "$1" && pwd); shift
export WINEPREFIX=$W/prefix HOME=$W/home WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset XDG_DOCUMENTS_DIR XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME/Documents" "$W/run" && chmod 700 "$W/run"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$W/display" >/dev/null 2>&1 &
XPID=$!
HOME=$W/home XDG_RUNTIME_DIR=$W/run pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no -L module-native-protocol-unix -L "module-null-sink sink_name=pabnull" \
  >"$W/pulse.log" 2>&1 &
PPID_=$!
trap 'wineserver -k 2>/dev/null; kill $PPID_ $XPID 2>/dev/null' EXIT
sleep 2
export DISPLAY=":$(head -n1 "$W/display")" PULSE_SERVER="unix:$W/run/pulse/native"
[ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1; }
wineserver -p
n=0
for exe in "$@"; do
  n=$((n + 1))
  (cd "$(dirname "$exe")" && exec wine "$(basename "$exe")" >"$W/out-$n.log" 2>&1) &
  GAME=$!
  sleep 8  # the menu and its music are up
  busy=""
  for _ in $(seq 1 "${BUSY:-2}"); do (while :; do :; done) & busy="$busy $!"; done
  parec -d pabnull.monitor --file-format=wav "$W/rec-$n.wav" &
  REC=$!
  sleep 20
  kill $REC $busy; wait $REC 2>/dev/null
  kill $GAME; wineserver -k 2>/dev/null; wineserver -p; sleep 1
  python3 - "$W/rec-$n.wav" "$exe" <<'PY'
import sys, wave, array
w = wave.open(sys.argv[1]); ch = w.getnchannels(); rate = w.getframerate()
a = array.array('h', w.readframes(w.getnframes())); frames = len(a) // ch
silent = lambda i: all(a[i * ch + c] == 0 for c in range(ch))
start = next((i for i in range(frames) if not silent(i)), frames)
gaps, run = [], 0
for i in range(start, frames):
    if silent(i): run += 1
    else:
        if run >= rate // 200: gaps.append(run)
        run = 0
print("%s: %d gaps of 5 ms or more in %.1f s, %.0f ms in all, longest %.0f ms" % (sys.argv[2],
      len(gaps), (frames - start) / rate, sum(gaps) * 1000 / rate, max(gaps or [0]) * 1000 / rate))
PY
done
