#!/usr/bin/python3
"""Makes the picture of the line-number gutter again, in a private X session
(Xvfb and openbox, tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/line-numbers.png   a log with Line Numbers turned on from the ribbon (Alt, L, then the check box)
Usage: tools/goto-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, find, main_on_own_bus, role_named, screenshot,  # noqa: E402
                      wait_for, write_service_log, write_settings)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "line-numbers.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    log = os.path.join(work, "service.log")
    write_service_log(log)
    session = XSession()
    try:
        write_settings(session, "[Caption]\nShown%20Welcome=1\n")
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [log])
        time.sleep(2)  # the first paint and the manager's placing
        session.keys("alt")
        session.keys("l")  # the Log category, by its key tip
        box = wait_for(lambda: find(viewer.app, role_named(Atspi.Role.CHECK_BOX, "Line Numbers")), "Line Numbers")
        session.click(box)
        time.sleep(1)
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
