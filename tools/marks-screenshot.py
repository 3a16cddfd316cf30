#!/usr/bin/python3
"""Makes the picture of marks again, in a private X session (Xvfb and openbox,
tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/marks.png   three lines marked with Ctrl+M under the pointer, one given a note with
                               Ctrl+Shift+M, and the pointer resting on its dot: the note as its tooltip
Usage: tools/marks-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, main_on_own_bus, screenshot, wait_for,  # noqa: E402
                      write_service_log, write_settings)


def text_area(viewer):
    """Where the text lies on the screen: under the ribbon and the tab row, above the status bar, from the left
    edge of the frame (the text window has no accessible element of its own)."""
    box = viewer.frame.get_extents(Atspi.CoordType.SCREEN)
    return box.x, box.y + box.height * 35 // 100, box.width, box.height * 50 // 100


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "marks.png")
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
        rows = [top + height * k // 12 for k in (2, 5, 8)]
        for y in rows:
            session.run("xdotool", "mousemove", str(x), str(y))
            time.sleep(0.3)
            session.keys("ctrl+m")
            time.sleep(0.3)
        session.run("xdotool", "mousemove", str(x), str(rows[1]))
        time.sleep(0.3)
        session.keys("ctrl+shift+m")
        wait_for(lambda: "Mark Note" in viewer.titles(), "the Mark Note dialog")
        session.type("worker-1 slow from here")
        session.keys("Return")
        time.sleep(1)
        # The dot sits in the gutter at the text window's left edge, on the noted row.
        gutter = left + int(os.environ.get("OSTREL_GUTTER_X", "6"))
        session.run("xdotool", "mousemove", str(gutter), str(rows[1]))
        time.sleep(0.5)
        session.run("xdotool", "mousemove", str(gutter + 1), str(rows[1]))
        time.sleep(2)  # the tooltip's delay
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
