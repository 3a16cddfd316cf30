#!/usr/bin/python3
"""Makes the pictures of the text's and the window's details again, in a private X session (Xvfb and openbox,
tests/e2e/xsession.py) with settings of their own:
  docs/screenshots/accents.png   letters with combining marks and accented capitals, at the default font
  docs/screenshots/log-levels.png  Log Levels by record: a Java log with a stack trace (an Apache error log and
                                 a logcat file open beside it)
  docs/screenshots/details.png   a log filtered for "error" (the overview strip beside the vertical bar, the pane's
                                 header after the scan) while a window behind carries an alert's dot
Usage: tools/details-screenshots.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI bindings)
"""
import os
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import Viewer, XSession, main_on_own_bus, screenshot, write_settings  # noqa: E402

SETTINGS = r"""[Caption]
Shown%20Welcome=1

[Highlight]
Enabled=true
LogLevels=true

[HighlightRules]
1\name=Fatal
1\pattern=FATAL
1\background=#c0281b
1\text=#ffffff
1\alert=true
size=1
"""

ACCENTS = ("Combining marks on their letter: e\u0301 a\u0300 o\u0302 n\u0303 u\u0308 c\u0327 A\u030A\n"
           "Composed letters beside them:    \u00e9 \u00e0 \u00f4 \u00f1 \u00fc \u00e7 \u00c5\n"
           "Accented capitals, whole:        \u00c9 \u00c8 \u00ca \u00c1 \u00d6 \u00c5 \u00d1 \u0160 \u017d\n"
           "A mark over a capital:           E\u0301 O\u0308 A\u030A N\u0303\n"
           "Mixed with plain text:           caf\u00e9, cafe\u0301, na\u00efve, \u00c5ngstr\u00f6m, Z\u00fcrich\n")


def write_service_log(path, lines):
    levels = ["INFO", "INFO", "DEBUG", "INFO", "WARN", "INFO", "ERROR"]
    with open(path, "w") as f:
        for i in range(lines):
            level = levels[i % len(levels)]
            f.write("2024-05-01 09:%02d:%02d.%03d %-5s [web-%d] request %d handled\n"
                    % (i // 60 % 60, i % 60, i % 1000, level, i % 3, i))


JAVA = ("2024-05-01 10:00:00,001 INFO  [main] o.e.Server - started, 0 ERROR so far\n"
        "2024-05-01 10:00:00,417 DEBUG [pool-1] o.e.Cache - warmed 1200 entries\n"
        "2024-05-01 10:00:01,002 ERROR [pool-2] o.e.Orders - order 4711 failed\n"
        "java.lang.IllegalStateException: payment service unavailable\n"
        "\tat org.example.Orders.pay(Orders.java:88)\n"
        "\tat org.example.Orders.submit(Orders.java:42)\n"
        "\tat java.base/java.lang.Thread.run(Thread.java:833)\n"
        "2024-05-01 10:00:02,003 WARN  [pool-2] o.e.Orders - retrying order 4711 (1/3)\n"
        "2024-05-01 10:00:02,950 INFO  [pool-2] o.e.Orders - order 4711 paid\n"
        "2024-05-01 10:00:03,004 TRACE [main] o.e.Server - heartbeat\n")
APACHE = ("[Sun Dec 04 04:47:44 2005] [notice] workerEnv.init() ok /etc/httpd/conf/workers2.properties\n"
          "[Sun Dec 04 04:47:44 2005] [error] mod_jk child workerEnv in error state 6\n"
          "[Sun Dec 04 04:51:08 2005] [notice] jk2_init() Found child 6725 in scoreboard slot 10\n"
          "[Sun Dec 04 04:51:18 2005] [warn] child process 6737 still did not exit\n")
LOGCAT = ("03-17 16:13:38.811  1702  2395 I ActivityManager: Start proc 2395 for service\n"
          "03-17 16:13:38.812  1702  2395 E AndroidRuntime: FATAL EXCEPTION: main\n"
          "03-17 16:13:38.813  1702  2395 W WindowManager: Failed looking up window\n"
          "03-17 16:13:38.814  1702  2395 D Tag: detail\n")


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = os.path.join(ROOT, "docs", "screenshots")
    binary = os.path.join(build, "bin", "ostrel-viewer")
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    accents = os.path.join(work, "accents.txt")
    with open(accents, "w", encoding="utf-8") as f:
        f.write(ACCENTS)
    behind, service = os.path.join(work, "worker.log"), os.path.join(work, "service.log")
    write_service_log(behind, 50)
    write_service_log(service, 3000)

    logs = []
    for name, text in (("apache_error.log", APACHE), ("logcat.txt", LOGCAT), ("service.log", JAVA)):
        logs.append(os.path.join(work, name))
        with open(logs[-1], "w") as f:
            f.write(text)

    session = XSession()
    try:
        write_settings(session, SETTINGS + "\n[Log]\nCodePage=utf-8\n")
        viewer = Viewer(session, binary, [accents])
        time.sleep(2)  # the first paint and the manager's placing
        screenshot(session, os.path.join(out, "accents.png"))
        viewer.proc.terminate()
        viewer.proc.wait(10)

        viewer = Viewer(session, binary, logs)
        time.sleep(2)
        screenshot(session, os.path.join(out, "log-levels.png"))
        viewer.proc.terminate()
        viewer.proc.wait(10)

        viewer = Viewer(session, binary, [behind, service])
        time.sleep(2)
        with open(behind, "a") as f:
            f.write("2024-05-01 10:00:00.000 FATAL [worker] out of memory\n")
        time.sleep(1.5)  # the watcher sees it and marks the window behind
        session.keys("ctrl+f")
        time.sleep(0.5)
        session.type("error")
        session.keys("ctrl+shift+l")
        time.sleep(1.5)
        session.keys("Down", "Down", "Return")
        time.sleep(1)
        screenshot(session, os.path.join(out, "details.png"))
        viewer.proc.terminate()
        viewer.proc.wait(10)
    finally:
        session.close()


if __name__ == "__main__":
    main_on_own_bus(main)
