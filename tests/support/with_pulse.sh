#!/usr/bin/env bash
# Runs a command (a Windows program under Wine, or a script driving one) with a
# private PulseAudio server whose only output is a null sink, records that sink
# while the command runs, and checks that the recording carries sound.
# Usage: with_pulse.sh COMMAND [args]. PABRIX_SOUND_SERVER is set for the
# command. Everything started here is stopped on the way out; every wait has a
# deadline.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/test_home.sh"

[ $# -gt 0 ] || { echo "usage: with_pulse.sh COMMAND [args]" >&2; exit 2; }
test_home
work=$(scratch_dir pulse)

mkdir -m 700 -p "$work/run" "$work/home"
# The server keeps its state and socket in folders of its own; it warns when run
# as root and works all the same.
HOME="$work/home" XDG_RUNTIME_DIR="$work/run" pulseaudio -n --daemonize=no \
  --exit-idle-time=-1 --use-pid-file=no -L module-native-protocol-unix \
  -L "module-null-sink sink_name=pabnull" >"$work/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 1 100); do
  [ -S "$work/run/pulse/native" ] && break
  kill -0 "$pulse_pid" 2>/dev/null || { cat "$work/pulse.log" >&2; exit 1; }
  sleep 0.1
done
[ -S "$work/run/pulse/native" ] || { echo "with_pulse: no server in 10 s" >&2; exit 1; }
export PULSE_SERVER="unix:$work/run/pulse/native"

parec -d pabnull.monitor --file-format=wav "$work/out.wav" &
rec_pid=$!
PABRIX_SOUND_SERVER=1 timeout 840 "$@"
kill "$rec_pid" && wait "$rec_pid" 2>/dev/null || true
rec_pid=""

# Silence has an RMS of 0; the tests' sounds are far above 0.01.
rms=$(sox "$work/out.wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
echo "with_pulse: recorded RMS amplitude ${rms:-none}"
awk -v r="${rms:-0}" 'BEGIN { exit !(r > 0.01) }'
