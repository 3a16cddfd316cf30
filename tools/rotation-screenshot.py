#!/usr/bin/python3
"""Makes the picture of a rotation set again, in a private X session
(Xvfb and openbox, tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/rotation-set.png   a log and its four older parts (the oldest compressed) shown as one
                                      log (--rotated), at the end where the last older part meets the current
                                      file, each part's coloured letter at the left
Usage: tools/rotation-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import gzip
import importlib.util
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import Viewer, XSession, main_on_own_bus, screenshot, write_settings  # noqa: E402

# The merged picture's log writer: the same requests, levels and traces.
_spec = importlib.util.spec_from_file_location("merged_screenshot", os.path.join(ROOT, "tools", "merged-screenshot.py"))
merged_screenshot = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(merged_screenshot)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "rotation-set.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    # Oldest first: each part takes up where the one before it ended; the current file is short, so that the
    # last screenful shows where the newest older part meets it.
    parts = [("gateway.log.4.gz", 800), ("gateway.log.3", 800), ("gateway.log.2", 800), ("gateway.log.1", 800),
             ("gateway.log", 22)]
    first = 0
    for name, lines in parts:
        path = os.path.join(work, name.removesuffix(".gz"))
        merged_screenshot.write_log(path, "gateway", first, 4, lines)
        if name.endswith(".gz"):
            with open(path, "rb") as plain, gzip.open(path + ".gz", "wb") as packed:
                packed.write(plain.read())
            os.remove(path)
        first += lines * 4
    session = XSession()
    try:
        # Log Levels and Line Numbers on: each record coloured by its level, each row numbered in its own part.
        write_settings(session, "[Caption]\nShown%20Welcome=1\n\n[Highlight]\nEnabled=true\nLogLevels=true\n\n[Log]\nLineNumbers=1\n")
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"),
                        ["--rotated", os.path.join(work, "gateway.log")])
        time.sleep(3)  # the first paint and the manager's placing
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
