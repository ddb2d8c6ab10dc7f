#!/bin/bash
# Music under load: each target plays music into a private PulseAudio null sink
# with BUSY busy loops running beside it; 20 s are recorded and the gaps and
# repeats counted (gaps.py), RUNS times. Results: music_under_load.md.
# Usage: BUSY=2 RUNS=3 music_under_load.sh WORKDIR TARGET...
#   path/to/pabrix.exe   the Windows program under Wine (its data folder beside it)
#   path/to/pabrix       the Linux program (its data folder beside it)
#   path/to/loop_probe[.exe]  a looping sound with no writer (loop_probe.cpp)
#   play:FILE[:MS]       the system's own player (paplay), MS its latency if given
# The targets run without the right to raise their priority, as on a family's
# machine (this bench may run as root). Everything (Xvfb, PulseAudio, a Wine
# prefix under WORKDIR) is its own and stopped at the end. Not a test: the
# figures depend on the machine's load, which each line states.
set -u
# Session groups (autogroup) share the processor equally between sessions, so
# other sessions' nice 19 work would still take its share: this bench runs in a
# session of its own, its group at the top weight, and the busy loops are the load.
if [ -z "${MUL_SESSION:-}" ] && [ -e /proc/self/autogroup ]; then
  MUL_SESSION=1 exec setsid --wait bash "$0" "$@"
fi
echo -20 >/proc/self/autogroup 2>/dev/null
echo "session group: $(cat /proc/self/autogroup 2>/dev/null)"
W=$(mkdir -p "${1:?work folder}" && cd "$1" && pwd); shift
HERE=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$W/prefix HOME=$W/home WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset XDG_DOCUMENTS_DIR XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME/Documents" "$W/run" && chmod 700 "$W/run"
PLAIN=()
[ "$(id -u)" = 0 ] && PLAIN=(setpriv --bounding-set=-sys_nice --inh-caps=-sys_nice)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$W/display" >/dev/null 2>&1 &
XPID=$!
XDG_RUNTIME_DIR=$W/run pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no -L module-native-protocol-unix -L "module-null-sink sink_name=pabnull" \
  >"$W/pulse.log" 2>&1 &
PULSE=$!
trap 'wineserver -k 2>/dev/null; kill $PULSE $XPID 2>/dev/null' EXIT
sleep 2
export DISPLAY=":$(head -n1 "$W/display")" PULSE_SERVER="unix:$W/run/pulse/native"
export SDL_AUDIODRIVER=pulseaudio

start() {  # starts target $1 in the background; its pid in $TARGET
  case "$1" in
    play:*) local spec=${1#play:} file ms
      file=${spec%%:*}; ms=${spec#"$file"}; ms=${ms#:}
      # the file loops for as long as the recording needs
      (while :; do "${PLAIN[@]}" paplay ${ms:+--latency-msec=$ms} "$file" || break; done) & ;;
    *.exe)
      [ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -k; }
      "${PLAIN[@]}" wineserver -p
      (cd "$(dirname "$1")" && exec "${PLAIN[@]}" wine "$(basename "$1")") >"$W/out.log" 2>&1 & ;;
    *) (cd "$(dirname "$1")" && exec "${PLAIN[@]}" "./$(basename "$1")") >"$W/out.log" 2>&1 & ;;
  esac
  TARGET=$!
}

# WINE_AUDIO_NICE=N (root only) puts Wine's own sound threads and its server at
# nice N, as Wine would do with their time-critical priority if it were allowed to.
renice_wine_audio() {
  local pid t
  for pid in $(pgrep -s 0); do  # this bench's own session only
    for t in /proc/"$pid"/task/*; do
      case $(cat "$t/comm" 2>/dev/null) in
        winepulse*|wine_dsound*) renice -n "$WINE_AUDIO_NICE" -p "${t##*/}" >/dev/null ;;
      esac
    done
  done
  # the server runs in a session of its own: this bench's is the one of its prefix
  for pid in $(pgrep -x 'wineserver(64)?'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" &&
      renice -n "$WINE_AUDIO_NICE" -p "$pid" >/dev/null
  done
}

stop() {
  pkill -P "$TARGET" 2>/dev/null; kill "$TARGET" 2>/dev/null; wait "$TARGET" 2>/dev/null
  case "$1" in *.exe) wineserver -k 2>/dev/null; wineserver -w 2>/dev/null ;; esac
}

for target in "$@"; do
  for run in $(seq 1 "${RUNS:-3}"); do
    rm -rf "$HOME/.config" "$HOME/.local"  # every run starts as a first start
    start "$target"
    # the menu and its music are up: the sink has a stream, and a moment more
    up=$SECONDS
    for _ in $(seq 1 120); do
      [ -n "$(pactl list short sink-inputs 2>/dev/null)" ] && break
      sleep 0.5
    done
    up=$((SECONDS - up))
    sleep 4
    RENICE=""
    if [ -n "${WINE_AUDIO_NICE:-}" ]; then
      (while :; do renice_wine_audio; sleep 1; done) &  # threads may come late
      RENICE=$!
    fi
    busy=""
    for _ in $(seq 1 "${BUSY:-2}"); do (while :; do :; done) & busy="$busy $!"; done
    parec -d pabnull.monitor --file-format=wav "$W/rec.wav" &
    REC=$!
    sleep 20
    load=$(cut -d' ' -f1 /proc/loadavg)
    kill $REC $busy $RENICE; wait $REC 2>/dev/null
    stop "$target"
    echo "$target run $run (sound after ${up} s), load $load: $(python3 "$HERE/gaps.py" "$W/rec.wav")"
    sleep 2
  done
done
