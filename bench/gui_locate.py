#!/usr/bin/python3
"""Finds controls of a running window through its accessibility tree (AT-SPI), by role and
accessible name, as a screen reader names them, and prints for each the middle of the control
relative to the window's client area, "x y" on a line of its own.

usage: gui_locate.py TITLE ROLE=NAME...
  gui_locate.py "Korvane [" "push button=START" "text=сайт:"   ->  "40 136" and "180 77"
TITLE is the start of the window's title. Each control must be visible (on the shown tab
page); the script waits up to 20 s for the window and its controls, then fails.
Needs a session bus with the accessibility bus (dbus-run-session, at-spi2-core) and a Qt
program started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1.
"""
import sys
import time

import pyatspi


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def find_window(title):
    for app in pyatspi.Registry.getDesktop(0):
        if app is None:
            continue
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None and window.name.startswith(title):
                return window
    return None


def locate(title, wanted):
    window = find_window(title)
    if window is None:
        return None
    wx, wy, _, _ = extents(window)
    found = {}
    for node in descendants(window):
        key = (node.getRoleName(), node.name)
        if key in wanted and key not in found:
            x, y, width, height = extents(node)
            if width > 0 and height > 0:
                found[key] = (x - wx + width // 2, y - wy + height // 2)
    if len(found) < len(wanted):
        return None
    return [found[key] for key in wanted]


def main(argv):
    if len(argv) < 3 or any("=" not in arg for arg in argv[2:]):
        sys.stderr.write(__doc__)
        return 2
    title = argv[1]
    wanted = [tuple(arg.split("=", 1)) for arg in argv[2:]]
    deadline = time.monotonic() + 20
    while True:
        try:
            places = locate(title, wanted)
        except Exception:  # the tree changes while it is read: read it again
            places = None
        if places is not None:
            for x, y in places:
                print(x, y)
            return 0
        if time.monotonic() > deadline:
            sys.stderr.write(f"gui_locate.py: not all of {argv[2:]} found in \"{title}\"\n")
            return 1
        time.sleep(0.2)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
