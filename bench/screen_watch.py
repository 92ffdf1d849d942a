#!/usr/bin/env python3
"""Times a program until what it shows on an X screen is complete, the same way for every program.

usage: screen_watch.py [--stable S] [--timeout S] [--key KEYSYM | --click X,Y] [--shot FILE.ppm] -- COMMAND [ARGS...]

Runs COMMAND under GNU time on the X display named by $DISPLAY (normally an Xvfb of the size
under test) and reads the root window's pixels every few milliseconds with XGetImage. Each change
of the screen is noted with its time since the start. Once the screen has not changed and the
program has been idle (under 10 % of a core) for --stable seconds (default 1.5), the command is
stopped, and the time of the first frame equal to the last one is the answer: "when the final
screen was first complete". Idleness matters for programs that show an empty window, work for
a long time and only then draw. Prints one line:

    SECONDS PEAK_KIB CHANGES

and exits 1 when the screen never changed from the first frame read (nothing was shown) or the
command did not settle within --timeout seconds (default 120). With --key, once the first screen
has settled the key (an X keysym name such as Return) is pressed through the XTest extension and
the time is counted from the key instead: "from the key until its screen is complete". --click
does the same with a press of the first mouse button at X,Y (for a program without a key for it). --shot writes the final screen as a
binary PPM, to look at. Each read costs a few milliseconds of processor time, every 5 ms at first
and less often as the run grows long; every program compared pays the same.
"""
import ctypes
import ctypes.util
import os
import signal
import subprocess
import sys
import tempfile
import time
import zlib

ZPIXMAP = 2
ALL_PLANES = 0xFFFFFFFF


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage (X11/Xlib.h), enough to reach the pixels.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


def main():
    args = sys.argv[1:]
    stable, timeout, shot, key = 1.5, 120.0, None, None
    while args and args[0] != "--":
        opt = args.pop(0)
        if opt == "--stable":
            stable = float(args.pop(0))
        elif opt == "--timeout":
            timeout = float(args.pop(0))
        elif opt == "--key":
            key = args.pop(0)
        elif opt == "--click":
            key = "click:" + args.pop(0)
        elif opt == "--shot":
            shot = args.pop(0)
        else:
            sys.exit("screen_watch.py: unknown option " + opt)
    if not args or len(args) < 2:
        sys.exit(__doc__)
    command = args[1:]

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
    x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("screen_watch.py: cannot open the X display " + os.environ.get("DISPLAY", "(unset)"))
    root = x11.XDefaultRootWindow(display)
    width, height = x11.XDisplayWidth(display, 0), x11.XDisplayHeight(display, 0)

    def grab():
        img = x11.XGetImage(display, root, 0, 0, width, height, ALL_PLANES, ZPIXMAP)
        if not img:
            return None, None
        size = img.contents.bytes_per_line * img.contents.height
        data = ctypes.string_at(img.contents.data, size)
        x11.XDestroyImage(img)
        return zlib.crc32(data), data

    def press(name):
        xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                              ctypes.c_ulong]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        if name.startswith("click:"):
            x, y = (int(v) for v in name[6:].split(","))
            xtst.XTestFakeMotionEvent(display, 0, x, y, 0)
            x11.XFlush(display)
            time.sleep(0.2)
            xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
            xtst.XTestFakeButtonEvent(display, 1, 1, 0)
            xtst.XTestFakeButtonEvent(display, 1, 0, 0)
            x11.XFlush(display)
            return
        x11.XStringToKeysym.restype = ctypes.c_ulong
        x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        # Without a window manager the key goes to the window under the pointer: move the pointer
        # to the middle of what the program drew (the part of the screen that is no longer the
        # empty first frame), sampled every 8th pixel.
        bpl = len(last_data) // height
        xs, ys = [], []
        for y in range(0, height, 8):
            row = last_data[y * bpl:(y + 1) * bpl]
            old = first_data[y * bpl:(y + 1) * bpl]
            if row == old:
                continue
            for x in range(0, width, 8):
                if row[4 * x:4 * x + 4] != old[4 * x:4 * x + 4]:
                    xs.append(x)
                    ys.append(y)
        if xs:
            xtst.XTestFakeMotionEvent(display, 0, (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2, 0)
            x11.XFlush(display)
            time.sleep(0.2)
        code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
        xtst.XTestFakeKeyEvent(display, code, 1, 0)
        xtst.XTestFakeKeyEvent(display, code, 0, 0)
        x11.XFlush(display)

    first, first_data = grab()
    times = tempfile.NamedTemporaryFile(prefix="screen_watch_", delete=False)
    times.close()
    start = time.monotonic()
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", times.name] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    frames = []  # (seconds, crc) of each change
    last, last_data, last_change = first, first_data, start
    settled = False
    ticks_per_second = os.sysconf("SC_CLK_TCK")
    cpu_at, cpu_ticks = start, 0

    def program_ticks():
        # Processor time of the command under GNU time (and its threads), in clock ticks.
        total = 0
        for child in subprocess.run(["pgrep", "-P", str(proc.pid)], capture_output=True, text=True).stdout.split():
            try:
                fields = open("/proc/%s/stat" % child).read().rsplit(")", 1)[1].split()
                total += int(fields[11]) + int(fields[12])
            except (OSError, IndexError, ValueError):
                pass
        return total

    while True:
        now = time.monotonic()
        if now - cpu_at >= 0.5:
            ticks = program_ticks()
            if ticks - cpu_ticks > 0.1 * (now - cpu_at) * ticks_per_second:
                last_change = max(last_change, now)  # still working: not settled yet
            cpu_at, cpu_ticks = now, ticks
        crc, data = grab()
        if crc is not None and crc != last:
            frames.append((now - start, crc))
            last, last_data, last_change = crc, data, now
        if frames and now - last_change >= stable:
            if key:
                # The first screen is complete: press the key and time its screen.
                press(key)
                key = None
                start, first, first_data = time.monotonic(), last, last_data
                frames = []
                last_change = start
                continue
            settled = True
            break
        if now - start > timeout or (proc.poll() is not None and now - last_change >= stable):
            break
        # Every 5 ms at first, then less often (at most every 50 ms) for programs that take long,
        # so that reading the screen does not take a core from the program measured.
        time.sleep(min(0.05, max(0.005, (time.monotonic() - start) / 100)))
    if proc.poll() is None:
        # Stop the command, not GNU time, so that time still writes the peak memory.
        subprocess.run(["pkill", "-TERM", "-P", str(proc.pid)], check=False)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
    proc.wait()
    try:
        peak = int(open(times.name).read().split()[-1])
    except (OSError, ValueError, IndexError):
        peak = 0
    os.unlink(times.name)
    if shot and last_data:
        # ZPixmap at depth 24 on Xvfb: 4 bytes a pixel, blue, green, red, unused.
        with open(shot, "wb") as f:
            f.write(b"P6 %d %d 255\n" % (width, height))
            px = bytearray(width * height * 3)
            px[0::3], px[1::3], px[2::3] = last_data[2::4], last_data[1::4], last_data[0::4]
            f.write(px)
    if not frames or last == first or not settled:
        print("nan %d %d" % (peak, len(frames)))
        return 1
    done = next(t for t, c in frames if c == last)
    print("%.3f %d %d" % (done, peak, len(frames)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
