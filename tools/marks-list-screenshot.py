#!/usr/bin/python3
"""Makes the picture of the marks list again, in a private X session (Xvfb and openbox,
tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/marks-list.png   two lines marked with a note each (Ctrl+Shift+M under the pointer), a
                                    filter listed (Ctrl+Shift+L) and its pane's "Marks" toggle on: the
                                    marked lines with their numbers, notes and text
Usage: tools/marks-list-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI
bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, find_all, main_on_own_bus, screenshot, showing,  # noqa: E402
                      wait_for, write_service_log, write_settings)

NOTES = ["worker-1 slow from here", "worker-2 retries from here"]


def text_area(viewer):
    """Where the text lies on the screen: under the ribbon and the tab row, above the status bar, from the left
    edge of the frame (the text window has no accessible element of its own)."""
    box = viewer.frame.get_extents(Atspi.CoordType.SCREEN)
    return box.x, box.y + box.height * 35 // 100, box.width, box.height * 50 // 100


def marks_toggle(viewer):
    """The filter pane's "Marks" toggle, a check box to a screen reader: the lowest of that name."""
    found = find_all(viewer.frame, lambda a: a.get_name() == "Marks" and a.get_role() == Atspi.Role.CHECK_BOX
                     and showing(a))
    return max(found, key=lambda a: a.get_extents(Atspi.CoordType.SCREEN).y) if found else None


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "marks-list.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    log = os.path.join(work, "service.log")
    write_service_log(log)
    session = XSession()
    try:
        write_settings(session, "[Caption]\nShown%20Welcome=1\n")
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [log])
        time.sleep(2)  # the first paint and the manager's placing
        left, top, width, height = text_area(viewer)
        x = left + width // 2
        for k, note in zip((3, 8), NOTES):
            session.run("xdotool", "mousemove", str(x), str(top + height * k // 12))
            time.sleep(0.3)
            session.keys("ctrl+shift+m")
            wait_for(lambda: "Mark Note" in viewer.titles(), "the Mark Note dialog")
            session.type(note)
            session.keys("Return")
            wait_for(lambda: "Mark Note" not in viewer.titles(), "the Mark Note dialog to close")
        session.run("xdotool", "mousemove", "2", "2")
        session.keys("ctrl+f")
        session.type("ERROR")
        session.keys("ctrl+shift+l")
        session.click(wait_for(lambda: marks_toggle(viewer), "the filter pane's Marks toggle"))
        wait_for(lambda: viewer.find(lambda a: a.get_name() == NOTES[1] and showing(a)), "the notes in the list")
        time.sleep(1)
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
