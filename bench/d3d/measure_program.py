#!/usr/bin/env python3
"""Measures the real program at its menu, in the X display given by DISPLAY:
time from exec to the first drawn frame (the screen centre polled with XGetImage
every 2 ms), with the processor time the program had used by then (which a
loaded machine does not stretch) and the time its threads waited for a processor
(which it does), resident memory, and processor time (every thread's, from
schedstat) over 5 s, with the frames the menu advanced meanwhile (a run whose menu stood
still, e.g. paused without the input focus, measured nothing at rest); with
--server-pid, also the display server's over the same 5 s (what presenting costs
it: a frame pushed to it is copied there).

  measure_program.py path/to/pabrix [--fullscreen] [--runs N] [--server-pid PID]

Run it under an Xvfb of the screen size wanted, e.g.
  xvfb-run -a -s "-screen 0 1920x1080x24" bench/d3d/measure_program.py build/bin/pabrix --fullscreen
Each run gets a fresh HOME holding preferences (windowed or full screen)."""
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

PATCH = 48  # the square polled at the screen centre


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]


def grab(dpy, root, x, y):
    img = x11.XGetImage(dpy, root, x, y, PATCH, PATCH, 0xFFFFFFFF, 2)  # ZPixmap
    im = img.contents
    data = bytes(ctypes.string_at(im.data, im.bytes_per_line * PATCH))
    x11.XFree(im.data)
    x11.XFree(img)
    return data


def drawn(patch, initial):
    # A frame: the patch changed and is not one flat colour (an empty window is).
    if patch == initial:
        return False
    return len(set(patch[i:i + 3] for i in range(0, len(patch), 4))) > 8


def sched_seconds(pid):
    # (time on a processor, time ready to run but waiting for one) of every live
    # thread, from schedstat: nanoseconds, finer than the ticks of /proc/PID/stat.
    ran = waited = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                fields = f.read().split()
            ran += int(fields[0])
            waited += int(fields[1])
        except (OSError, IndexError, ValueError):
            pass
    return ran / 1e9, waited / 1e9


def frames(pump):
    try:
        with open(pump) as f:
            return int(f.read().split()[0])
    except (OSError, IndexError, ValueError):
        return 0


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def run(binary, fullscreen, server=None):
    home = tempfile.mkdtemp(prefix="pabrix-measure-")
    os.makedirs(os.path.join(home, "Documents"))
    prefs = bytes.fromhex("2c010000180100000000000000000000")
    if fullscreen:
        prefs = prefs[:8] + b"\x01" + prefs[9:]
    with open(os.path.join(home, "Documents", "pabrix.prf"), "wb") as f:
        f.write(prefs)
    env = dict(os.environ, HOME=home, SDL_AUDIODRIVER="dummy")
    env.pop("XDG_DOCUMENTS_DIR", None)
    env.pop("XDG_CONFIG_HOME", None)
    env["XDG_DATA_HOME"] = os.path.join(home, ".local", "share")
    pump = os.path.join(home, "pump")  # the frames so far, rewritten every frame
    env["PABRIX_PUMP_FILE"] = pump
    dpy = x11.XOpenDisplay(None)
    root = x11.XDefaultRootWindow(dpy)
    cx = x11.XDisplayWidth(dpy, 0) // 2 - PATCH // 2
    cy = x11.XDisplayHeight(dpy, 0) // 2 - PATCH // 2
    initial = grab(dpy, root, cx, cy)
    t0 = time.monotonic()
    p = subprocess.Popen([os.path.abspath(binary)], cwd=os.path.dirname(os.path.abspath(binary)),
                         env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The program is ended and its home removed whatever happens here.
    try:
        first = None
        first_cpu = None
        while time.monotonic() - t0 < 10:
            if drawn(grab(dpy, root, cx, cy), initial):
                first = time.monotonic() - t0
                first_cpu = sched_seconds(p.pid)
                break
            time.sleep(0.002)
        time.sleep(3)  # the menu settles
        rss = rss_kb(p.pid)
        # Processor time from schedstat: a tick of /proc/PID/stat is 0.2 % of 5 s.
        s0 = sched_seconds(server)[0] if server else 0
        c0, w0, f0 = sched_seconds(p.pid)[0], time.monotonic(), frames(pump)
        time.sleep(5)
        c1, w1, f1 = sched_seconds(p.pid)[0], time.monotonic(), frames(pump)
        s1 = sched_seconds(server)[0] if server else 0
    finally:
        p.terminate()
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
        shutil.rmtree(home, ignore_errors=True)
    return (first, first_cpu, rss, (c1 - c0) / (w1 - w0), (s1 - s0) / (w1 - w0),
            (f1 - f0) / (w1 - w0))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    fullscreen = "--fullscreen" in sys.argv
    runs = 3
    if "--runs" in sys.argv:
        runs = int(sys.argv[sys.argv.index("--runs") + 1])
        args = [a for a in args if a != str(runs)]
    server = None
    if "--server-pid" in sys.argv:
        server = int(sys.argv[sys.argv.index("--server-pid") + 1])
        args = [a for a in args if a != str(server)]
    if not args:
        print(__doc__)
        return 2
    for _ in range(runs):
        first, first_cpu, rss, cpu, server_cpu, rate = run(args[0], fullscreen, server)
        ff = (f"{first * 1000:.0f} ms ({first_cpu[0] * 1000:.0f} ms on a processor, "
              f"{first_cpu[1] * 1000:.0f} ms waiting for one)"
              if first is not None else "none within 10 s")
        print(f"{'full screen' if fullscreen else 'windowed'}: first frame {ff}, "
              f"resident {rss / 1024:.1f} MB, processor at rest {cpu * 100:.2f} % of a core "
              f"({rate:.0f} frames/s)"
              + (f", display server {server_cpu * 100:.2f} %" if server else ""),
              flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
