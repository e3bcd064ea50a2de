#!/usr/bin/env python3
"""Small X11 helpers for the end-to-end test.

close <window>
    Sends WM_DELETE_WINDOW to a window, which is what a window manager does
    when the user clicks the close box. (xdotool windowclose destroys the
    window instead, which a program never sees as a close request.)

close-on-line <window>
    The same, sent as soon as a line arrives on stdin: the display is opened
    first, and "ready" printed, so that the request follows the line at once.

boxes
    Reads a one-pixel-wide column of 8-bit grey values (top to bottom) from
    stdin, taken through the check-box column of a contact list starting at
    the list's top edge, and prints the offset of each row's check-box centre,
    one per line. The first dark line below the frame is the bottom of the
    column header; after it the dark lines come in pairs, the top and bottom
    edges of each check box.
"""
import ctypes
import ctypes.util
import sys


def close(window, wait_for_line=False):
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.send_event = 1
    event.xclient.display = display
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.l[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.l[1] = 0  # CurrentTime
    if wait_for_line:
        print("ready", flush=True)
        sys.stdin.readline()
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def boxes(column, dark=200):
    edges = []
    for y in range(3, len(column)):
        if column[y] < dark and (not edges or edges[-1][1] != y - 1):
            edges.append([y, y])
        elif column[y] < dark:
            edges[-1][1] = y
    starts = [start for start, _ in edges[1:]]  # edges[0]: the header's bottom line
    centres = []
    for top, bottom in zip(starts[0::2], starts[1::2]):
        if 6 <= bottom - top <= 30:
            centres.append((top + bottom) // 2)
    return centres


def main():
    if len(sys.argv) == 3 and sys.argv[1] in ("close", "close-on-line"):
        close(int(sys.argv[2], 0), sys.argv[1] == "close-on-line")
    elif len(sys.argv) == 2 and sys.argv[1] == "boxes":
        for centre in boxes(sys.stdin.buffer.read()):
            print(centre)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
