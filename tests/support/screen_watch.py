#!/usr/bin/env python3
"""Waits until the screen shows given pixels, and measures how long a program takes to show them.

    screen_watch.py --print --point X,Y ...
    screen_watch.py [--timeout S] [--any] --point X,Y[,RRGGBB...|,=RRGGBB] ...
    screen_watch.py [--timeout S] [--log FILE] --point X,Y[,...] ... -- PROGRAM ARGS...

With --print, prints the colour (RRGGBB) at each point, one a line. Otherwise it polls the
screen of $DISPLAY every 2 ms until every point shows none of its colours RRGGBB (a
background that a window paints before its content), or, for a point given as =RRGGBB, that
colour give or take 12 in each channel (a picture's pixel, decoded by another decoder); with
--any, until one of the points does. With PROGRAM, it starts PROGRAM
first, and the colour each point had before is one to leave too; it prints "pid PID" at once,
and the program keeps running whatever happens, its output going to FILE (or nowhere) so that
this script's own output ends when it does. Prints "shown MS" (since the start) when every
point is satisfied and exits 0, or "timeout" after S seconds and exits 1.

The pixels are read with libX11's XGetImage through ctypes: no package beyond Xlib itself.
"""
import argparse
import ctypes
import ctypes.util
import subprocess
import sys
import time


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, up to the pixel data and its layout.
    _fields_ = [
        ("width", ctypes.c_int),
        ("height", ctypes.c_int),
        ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int),
        ("data", ctypes.POINTER(ctypes.c_uint8)),
        ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int),
        ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int),
        ("bits_per_pixel", ctypes.c_int),
    ]


def open_screen():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("screen_watch: cannot open the display")
    root = x11.XDefaultRootWindow(display)

    def pixel(x, y):
        image = x11.XGetImage(display, root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return None
        i = image.contents
        if i.bits_per_pixel != 32:
            sys.exit("screen_watch: needs a 24-bit screen")
        b, g, r = i.data[0], i.data[1], i.data[2]  # little-endian BGRX
        x11.XFree(ctypes.cast(i.data, ctypes.c_void_p))
        x11.XFree(image)
        return (r, g, b)

    return pixel


def satisfied(colour, avoid, want):
    if colour in avoid:
        return False
    return all(max(abs(a - b) for a, b in zip(colour, w)) <= 12 for w in want)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--timeout", type=float, default=30)
    parser.add_argument("--point", action="append", default=[])
    parser.add_argument("--log", default="/dev/null")
    parser.add_argument("--print", action="store_true")
    parser.add_argument("--any", action="store_true")
    parser.add_argument("program", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    program = args.program[1:] if args.program[:1] == ["--"] else args.program
    pixel = open_screen()
    if args.print:
        for text in args.point:
            x, y = (int(v) for v in text.split(",")[:2])
            print("%02X%02X%02X" % pixel(x, y))
        return 0
    points = []
    for text in args.point:
        parts = text.split(",")
        x, y = int(parts[0]), int(parts[1])
        colours = [(c.startswith("="), tuple(int(c.lstrip("=")[i:i + 2], 16) for i in (0, 2, 4)))
                   for c in parts[2:]]
        want = [c for exact, c in colours if exact]
        avoid = {c for exact, c in colours if not exact}
        if program:
            avoid.add(pixel(x, y))
        points.append((x, y, avoid, want))

    start = time.monotonic()
    child = None
    if program:
        with open(args.log, "ab") as log:
            child = subprocess.Popen(program, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        print(f"pid {child.pid}", flush=True)
    while time.monotonic() - start < args.timeout:
        done = (satisfied(pixel(x, y), avoid, want) for x, y, avoid, want in points)
        if any(done) if args.any else all(done):
            print(f"shown {(time.monotonic() - start) * 1000:.0f}", flush=True)
            return 0
        if child and child.poll() is not None:
            sys.exit(f"screen_watch: the program ended with {child.returncode}")
        time.sleep(0.002)
    seen = " ".join(f"{x},{y}=%02X%02X%02X" % pixel(x, y) for x, y, _, _ in points)
    print(f"timeout ({seen})", flush=True)
    return 1


if __name__ == "__main__":
    sys.exit(main())
