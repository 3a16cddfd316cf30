#!/usr/bin/python3
"""Makes the pictures of the highlight rules again, in a private X session
(Xvfb and openbox, tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/highlights.png    the demonstration log with Log Levels and a few rules of one's own
  docs/screenshots/rule-editor.png   the rule editor over it, opened by its key tips (Alt, L, h e)
Usage: tools/highlight-screenshots.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import (Atspi, Viewer, XSession, find, main_on_own_bus, role_named, screenshot,  # noqa: E402
                      wait_for, write_settings)

RULES = r"""[Caption]
Shown%20Welcome=1

[Highlight]
Enabled=true
LogLevels=true

[HighlightRules]
1\name=Slow queries
1\pattern=slow query
1\background=#3a2f0b
1\text=#ffd24a
2\name=Users
2\pattern="user=\\w+"
2\regex=true
2\scope=match
2\text=#5fb4ff
3\name=Status
3\pattern="status=[45]\\d\\d"
3\regex=true
3\scope=match
3\background=#c0281b
3\text=#ffffff
3\alert=true
size=3
"""


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    subprocess.run([os.path.join(build, "bin", "demo_log"), "generate", work], check=True,
                   stdout=subprocess.DEVNULL)
    session = XSession()
    try:
        write_settings(session, RULES)
        viewer = Viewer(session, os.path.join(build, "bin", "ostrel-viewer"), [os.path.join(work, "demo.log")])
        time.sleep(2)  # the first paint and the manager's placing
        screenshot(session, os.path.join(out, "highlights.png"))
        session.keys("alt")
        session.keys("l")  # the Log category, by its key tip
        rules = wait_for(lambda: find(viewer.app, role_named(Atspi.Role.PUSH_BUTTON, "Rules...")), "Rules...")
        session.click(rules)
        wait_for(lambda: "Highlight Rules" in session.window_titles(viewer.pid), "the rule editor")
        time.sleep(1)
        screenshot(session, os.path.join(out, "rule-editor.png"))
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
