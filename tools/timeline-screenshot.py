#!/usr/bin/python3
"""Makes the picture of the timeline band again, in a private X session (Xvfb and
openbox, tests/e2e/xsession.py) with settings of its own:
  docs/screenshots/timeline.png   a service log with an error burst, Timeline on, a stretch dragged on the band
                                  (shown alone, the rest of the band dimmed)
Usage: tools/timeline-screenshot.py [BUILD_DIR] [SCALE]   (default: build, 1; Debian's own Python, which has the
       AT-SPI bindings). SCALE multiplies the requests a second: 230 makes a log of about 1 GiB.
"""
import os
import random
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, find, main_on_own_bus, run, screenshot,  # noqa: E402
                      showing, wait_for, write_settings)

SETTINGS = "[Caption]\nShown%20Welcome=1\n\n[Highlight]\nEnabled=true\nLogLevels=true\n\n[Log]\nTimeline=1\n"


def write_log(path, scale=1):
    """A day of a service's requests, busier by day than by night, with a burst of errors in the afternoon."""
    rnd = random.Random(11)
    with open(path, "w", buffering=1 << 20) as f:
        s = 0.0
        while s < 86400:
            hour = s / 3600
            busy = 1.0 + 3.0 * (8 <= hour < 20)
            burst = 15.5 <= hour < 16.0
            level = "ERROR" if burst and rnd.random() < 0.7 else rnd.choices(
                ["INFO", "DEBUG", "TRACE", "WARN", "ERROR"], [60, 20, 8, 9, 3])[0]
            text = "upstream payments-api timed out" if level == "ERROR" else "request %d served in %d ms" % (
                rnd.randint(1, 99999), rnd.randint(2, 900))
            f.write("2026-12-07 %02d:%02d:%02d.%03d %-5s [worker-%d] %s\n" % (
                s // 3600, s // 60 % 60, s % 60, rnd.randint(0, 999), level, rnd.randint(1, 4), text))
            s += rnd.expovariate(scale * busy * (6 if burst else 1) / 4.0)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "timeline.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    log = os.path.join(work, "service.log")
    write_log(log, float(sys.argv[2]) if len(sys.argv) > 2 else 1)
    session = XSession()
    try:
        write_settings(session, SETTINGS)
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [log])
        time.sleep(2 if os.path.getsize(log) < 1 << 28 else 20)  # the first paint, the placing, the summaries
        band = wait_for(lambda: find(viewer.app, lambda a: a.get_name() == "Timeline" and a.get_role() != Atspi.Role.CHECK_BOX
                                     and showing(a)), "the timeline band")
        box = band.get_extents(Atspi.CoordType.SCREEN)
        y = box.y + box.height // 2
        left, right = box.x + int(box.width * 14 / 24), box.x + int(box.width * 17 / 24)  # 14:00 to 17:00
        run("xdotool", "mousemove", "--sync", str(left), str(y), "mousedown", "1")
        for k in range(1, 6):
            run("xdotool", "mousemove", "--sync", str(left + (right - left) * k // 6), str(y))
            time.sleep(0.05)
        run("xdotool", "mousemove", "--sync", str(right), str(y), "mouseup", "1")
        run("xdotool", "mousemove", "--sync", "2", "2")
        time.sleep(1.5)
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
