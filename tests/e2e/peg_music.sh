#!/bin/bash
# End to end: pegs painted rising from column 0 to 3 and a full column 5 play
# with Space; recorded with SDL's disk audio driver at the loudest effects
# volume, the notes start a quarter second apart in column order, higher each
# time, and nothing reaches -1 dBFS. Space stops the playhead again.
. "$(dirname "$0")/lib.sh"
need_display "$@"
BIN=${1:?usage: peg_music.sh path/to/pabrix}
RAW="$(scratch_dir music)/tune.raw"  # inside the test home, gone with it
export E2E_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$RAW

# effects at the top of their slider (340, the first knob), music 300
start_pabrix "$BIN" 540100002c0100000000000000000000
click 140 230
click_holes "0,20 1,17 2,14 3,11"
for r in $(seq 0 20); do click_holes "5,$r"; done
move_to 400 300
wait_pumps 60                 # the painting's own sounds die away
press_key space
wait_pumps 150                # more than two seconds of the tune
shot music-playing >/dev/null
press_key space
wait_pumps 20
shot music-stopped >/dev/null
press_key Escape
quit_from_menu
wait_exit 60 || die "the program failed"
[ -n "${E2E_SHOTS:-}" ] && cp "$SHOTS"/*.png "$E2E_SHOTS"/ 2>/dev/null

python3 - "$RAW" <<'PY' || die "the recording does not hold the tune"
import sys, struct, math
raw = open(sys.argv[1], 'rb').read()
n = len(raw) // 4
left = struct.unpack('<%dh' % (2 * n), raw[:n * 4])[0::2]
rate, blk = 44100, 441  # 10 ms blocks
pk = [max(abs(x) for x in left[i:i + blk]) for i in range(0, n - blk, blk)]
# The tune is the last sound before the longest silence (the empty columns).
best, run, at = 0, 0, 0
for i, p in enumerate(pk):
    run = run + 1 if p == 0 else 0
    if run > best: best, at = run, i
end = at - best
print('-- recording %.1f s' % (n / rate))
onsets = [i for i in range(end - 300, end) if pk[i] > 2000 and pk[i] > 1.4 * pk[i - 1]]
def pitch(i):  # zero crossings over 40 ms, 60 ms into the note (past the button's click)
    a = (i + 6) * blk; seg = left[a:a + 1764]
    return sum((seg[k - 1] < 0) != (seg[k] < 0) for k in range(1, len(seg))) / 2 / 0.04
for i in onsets:
    run = [i, i + 25, i + 50, i + 75, i + 125]  # columns 0, 1, 2, 3 and 5
    if all(any(abs(o - t) <= 1 for o in onsets) for t in run):
        hz = [pitch(t) for t in run[:4]]
        print('-- notes at %s s (a quarter second apart, column 5 after a rest); %s Hz' % (
            ' '.join('%.2f' % (t * blk / rate) for t in run), ' '.join('%.0f' % h for h in hz)))
        assert all(hz[j + 1] > hz[j] for j in range(3)), 'the notes do not rise'
        # The tune's own peak, from just after its first note on: the button's
        # click there and the painting's before it are effects at full level.
        peak = max(pk[i + 15:end]) or 1
        print('-- the tune peaks at %.2f dBFS' % (20 * math.log10(peak / 32768)))
        assert 20 * math.log10(peak / 32768) < -1.0, 'clipping'
        sys.exit(0)
print('-- onsets at', ' '.join('%.2f' % (o * blk / rate) for o in onsets))
sys.exit(1)
PY
log "the tune was recorded in column order without clipping"
cleanup
