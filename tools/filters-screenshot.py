#!/usr/bin/python3
"""Makes the picture of the filter stack again, in a private X session (Xvfb and openbox,
tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/filters.png   a service log filtered in the window by two Include rules typed into the
                                 Filters pane (ERROR or timeout)
Usage: tools/filters-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, main_on_own_bus, screenshot,  # noqa: E402
                      write_service_log, write_settings)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "filters.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    log = os.path.join(work, "service.log")
    write_service_log(log)
    session = XSession()
    try:
        write_settings(session, "[Caption]\nShown%20Welcome=1\n")
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [log])
        time.sleep(2)  # the first paint and the manager's placing
        session.keys("alt", "l", "z", "l", "i", "e")  # the Log category, its Filters panel, Filters...
        time.sleep(1.5)
        for text in ("ERROR", "timeout"):
            session.click(viewer.element(Atspi.Role.PUSH_BUTTON, "Add"))
            time.sleep(0.5)
            session.type(text)
            session.keys("Return")
            time.sleep(0.8)
        time.sleep(1.5)  # the pause before the stack applies, and the scan
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
