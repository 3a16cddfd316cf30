#!/usr/bin/python3
"""Makes the picture of the filter pane again, in a private X session (Xvfb and
openbox, tests/e2e/xsession.py) with settings of its own:
  docs/screenshots/filter.png   a service log filtered for "error" (Ctrl+F, the word, Ctrl+Shift+L)
Usage: tools/filter-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import random
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import Viewer, XSession, main_on_own_bus, screenshot, write_settings  # noqa: E402

SETTINGS = "[Caption]\nShown%20Welcome=1\n\n[Highlight]\nEnabled=true\nLogLevels=true\n"

MESSAGES = {
    "INFO": ["request GET /api/orders/{n} 200 in {ms} ms", "session opened for user=u{n}",
             "cache warmed: {n} entries", "job reindex-{n} finished in {ms} ms", "health check ok"],
    "DEBUG": ["pool: {n} idle connections", "parsed {n} headers", "scheduler tick {n}"],
    "WARN": ["slow query on orders ({ms} ms)", "retrying upstream call ({n}/3)", "disk usage at 8{n}%"],
    "ERROR": ["upstream payments-api timed out after {ms} ms", "could not write /var/spool/out/{n}.json: No space left",
              "user=u{n} login failed: bad token", "connection reset by peer (db-2)"],
}


def write_log(path):
    rnd = random.Random(7)
    with open(path, "w") as f:
        for i in range(4000):
            level = rnd.choices(["INFO", "DEBUG", "WARN", "ERROR"], [60, 25, 9, 6])[0]
            text = rnd.choice(MESSAGES[level]).format(n=rnd.randint(1, 9999), ms=rnd.randint(200, 9000))
            f.write("2024-05-01 09:%02d:%02d.%03d %-5s [%s] %s\n" % (
                i // 60 % 60, i % 60, rnd.randint(0, 999), level, rnd.choice(["web-1", "web-2", "worker"]), text))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots", "filter.png")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    log = os.path.join(work, "service.log")
    write_log(log)
    session = XSession()
    try:
        write_settings(session, SETTINGS)
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [log])
        time.sleep(2)  # the first paint and the manager's placing
        session.keys("ctrl+f")
        time.sleep(0.5)
        session.type("error")
        session.keys("ctrl+shift+l")
        time.sleep(1)
        session.keys("Down", "Down", "Down", "Return")
        time.sleep(1)
        screenshot(session, out)
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
