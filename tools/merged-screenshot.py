#!/usr/bin/python3
"""Makes the picture of a merged window again, in a private X session
(Xvfb and openbox, tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/merged-three-logs.png   three services' logs merged into one window (--merge), paged
                                           down by real keys, each row's file a coloured letter at the left
Usage: tools/merged-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import Viewer, XSession, main_on_own_bus, screenshot, write_settings  # noqa: E402

LEVELS = ["INFO", "INFO", "DEBUG", "INFO", "WARN", "INFO", "ERROR", "INFO"]


def write_log(path, name, first, step, lines):
    """One service's log: a request every `step` seconds from 06:00 plus `first`, now and then a trace under it."""
    with open(path, "w") as f:
        for i in range(lines):
            s = 6 * 3600 + first + i * step
            level = LEVELS[(i + first) % len(LEVELS)]
            f.write("2026-12-07 %02d:%02d:%02d.%03d %-5s %s request %d served in %d ms\n"
                    % (s // 3600 % 24, s // 60 % 60, s % 60, (i * 37 + first) % 1000, level, name, 100000 + i,
                       i * 13 % 400))
            if level == "ERROR":
                f.write("    at %s.handle(Request.java:%d)\n" % (name, 40 + i % 50))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "merged-three-logs.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    logs = []
    for name, first, step in (("gateway", 0, 5), ("billing", 2, 7), ("search", 3, 3)):
        logs.append(os.path.join(work, name + ".log"))
        write_log(logs[-1], name, first, step, 4000)
    session = XSession()
    try:
        # Log Levels and Line Numbers on: each record coloured by its level, each row numbered in its own file.
        write_settings(session, "[Caption]\nShown%20Welcome=1\n\n[Highlight]\nEnabled=true\nLogLevels=true\n\n[Log]\nLineNumbers=1\n")
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), ["--merge", *logs])
        time.sleep(2)  # the first paint and the manager's placing
        session.keys("Next")
        session.keys("Next")
        time.sleep(1)
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
