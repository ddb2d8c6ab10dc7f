# Faults in a recording of music, after its first sound:
#  - gaps: runs of exact digital silence (every channel 0) of 5 ms or more; a
#    stream that runs dry at the sound server is filled with exact silence there;
#  - repeats: stretches that are a bit-exact copy of what played less than a
#    half second before, as when a stream buffer's half plays again because its
#    writer came too late. Decoded music never repeats bit for bit that soon
#    (the bench's probe chord does: once a second).
import array
import sys
import wave

w = wave.open(sys.argv[1])
ch, rate = w.getnchannels(), w.getframerate()
a = array.array('h', w.readframes(w.getnframes()))
frames = len(a) // ch
silent = lambda i: not any(a[i * ch:(i + 1) * ch])
start = next((i for i in range(frames) if not silent(i)), frames)
gaps, run = [], 0
for i in range(start, frames):
    if silent(i):
        run += 1
        continue
    if run >= rate // 200:
        gaps.append(run)
    run = 0

KEY, STEP = 32, 64  # frames per fingerprint; frames between probes
raw = a.tobytes()
width = 2 * ch
key = lambda i: raw[i * width:(i + KEY) * width]
seen, repeats, last = {}, [], None
for i in range(start, frames - KEY):
    k = key(i)
    if i % STEP == 0 and max(abs(v) for v in a[i * ch:(i + KEY) * ch]) > 64:
        j = seen.get(k)
        if j is not None and 0 < i - j <= rate // 2:
            if last and last[1] == i - STEP and last[2] == i - j:
                last[1] = i
            else:
                last = [i, i, i - j]
                repeats.append(last)
    seen[k] = i
rep_ms = sum(r[1] - r[0] + STEP for r in repeats) * 1000 / rate
print("%d gaps in %.1f s, %.0f ms in all, longest %.0f ms; %d repeats, %.0f ms" % (
    len(gaps), (frames - start) / rate, sum(gaps) * 1000 / rate, max(gaps or [0]) * 1000 / rate,
    len(repeats), rep_ms))
