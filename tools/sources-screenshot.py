#!/usr/bin/python3
"""Makes the pictures of the documents that are not files here, in a private X session (Xvfb and openbox,
tests/e2e/xsession.py) with settings of its own:
  docs/screenshots/command-window.png   a command's output, followed, and the strip that says how it ended
  docs/screenshots/ssh-window.png       a log read over ssh from a server of the script's own on 127.0.0.1,
                                        followed while a writer appends to it
  docs/screenshots/journal-dialog.png   the System Journal dialog over a folder of journal files
  docs/screenshots/journal-window.png   that folder's journal, Log Levels on, followed while entries arrive
                                        (journal files made by systemd-journal-remote from the export format)
Usage: tools/sources-screenshot.py [BUILD_DIR]   (default: build; Debian's own Python, which has the AT-SPI
       bindings). The ssh server runs in namespaces of its own, as the tests' does, and ends with the script.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from xsession import Viewer, XSession, main_on_own_bus, run, screenshot, start, write_settings  # noqa: E402

SETTINGS = "[Caption]\nShown%20Welcome=1\n\n[Highlight]\nEnabled=true\nLogLevels=true\n"
SHOTS = os.path.join(ROOT, "docs", "screenshots")

# A build's output: steps with times and levels, a warning on standard error, a failure and its status.
COMMAND = ("for i in $(seq 1 30); do printf '2026-12-08 09:14:%02d.%03d INFO  [build] step %d of 34: compiled "
           "module-%d\\n' $i $((i * 37 % 1000)) $i $i; sleep 0.02; done; "
           "echo '2026-12-08 09:14:31.200 WARN  [build] cache miss for module-31' >&2; "
           "echo '2026-12-08 09:14:32.004 ERROR [build] module-32: undefined reference to parse_header'; exit 3")


def write_lines(path, first, n, mode="a"):
    levels = ["INFO ", "INFO ", "DEBUG", "WARN ", "INFO ", "ERROR", "INFO "]
    with open(path, mode) as f:
        for i in range(first, first + n):
            s = 8 * 3600 + i * 3
            f.write("2026-12-08 %02d:%02d:%02d.%03d %s [web-1] GET /api/orders/%d %d ms\n" % (
                s // 3600, s // 60 % 60, s % 60, i * 53 % 1000, levels[i % len(levels)], 4000 + i, 20 + i * 7 % 300))


UNITS = [("nginx.service", "nginx", "GET /api/orders/%d 200 %d ms", 6), ("orders.service", "orders",
          "order %d placed, %d items", 6), ("postgresql.service", "postgres", "checkpoint complete: wrote %d buffers "
          "(%d%%)", 6), ("orders.service", "orders", "payment gateway timed out for order %d after %d ms", 3),
         ("systemd-logind.service", "systemd-logind", "New session %d of user deploy (uid %d).", 5),
         ("orders.service", "orders", "retrying order %d (attempt %d)", 4), ("kernel", "kernel",
          "TCP: request_sock_TCP: Possible SYN flooding on port %d. Sending cookies. (%d)", 4)]


def write_journal(folder, name, first, count):
    """Entries of a small server's units as journal files: the export format through systemd-journal-remote."""
    os.makedirs(folder, exist_ok=True)
    entries = []
    for n in range(first, first + count):
        unit, ident, text, priority = UNITS[n % len(UNITS) if n % 11 else 3]
        entries.append(f"__REALTIME_TIMESTAMP={1765184400000000 + n * 2713000}\n__MONOTONIC_TIMESTAMP={n + 1}\n"
                       f"_BOOT_ID={'b' * 32}\nPRIORITY={priority}\nMESSAGE={text % (7000 + n, n * 37 % 900)}\n"
                       f"_SYSTEMD_UNIT={unit}\nSYSLOG_IDENTIFIER={ident}\n_PID={300 + n % 7}\n_COMM={ident}\n"
                       "_HOSTNAME=shop-1\n\n")
    subprocess.run(["/lib/systemd/systemd-journal-remote", f"--output={os.path.join(folder, name)}", "-"],
                   input="".join(entries).encode(), check=True, stderr=subprocess.DEVNULL, timeout=60)


class Sshd:
    """An OpenSSH server on 127.0.0.1 with its keys and configuration in `folder`, in mount and process
    namespaces of its own (it wants /run/sshd: a folder of ours is bound over /run only there)."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(os.path.join(folder, "run"))
        for key in ("host_key", "user_key"):
            run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(folder, key))
        shutil.copy(os.path.join(folder, "user_key.pub"), os.path.join(folder, "authorized_keys"))
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        with open(os.path.join(folder, "sshd_config"), "w") as f:
            f.write(f"Port {self.port}\nListenAddress 127.0.0.1\nHostKey {folder}/host_key\n"
                    f"AuthorizedKeysFile {folder}/authorized_keys\nPidFile none\nStrictModes no\nUsePAM no\n"
                    "PasswordAuthentication no\nKbdInteractiveAuthentication no\n")
        with open(os.path.join(folder, "known_hosts"), "w") as f, open(os.path.join(folder, "host_key.pub")) as k:
            f.write(f"[127.0.0.1]:{self.port} {k.read()}")
        with open(os.path.join(folder, "ssh_config"), "w") as f:
            f.write(f"Host *\n  IdentityFile {folder}/user_key\n  IdentitiesOnly yes\n  IdentityAgent none\n"
                    f"  UserKnownHostsFile {folder}/known_hosts\n  GlobalKnownHostsFile /dev/null\n"
                    "  StrictHostKeyChecking yes\n  LogLevel ERROR\n")
        self.proc = subprocess.Popen(
            ["unshare", "--fork", "--pid", "--kill-child=SIGKILL", "--mount", "--propagation", "private", "/bin/sh",
             "-c", f"mount --bind '{folder}/run' /run && mkdir -p /run/sshd && "
                   f"exec /usr/sbin/sshd -D -e -f '{folder}/sshd_config'"],
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "sshd.log"), "w"))
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        raise AssertionError("the test sshd did not start")

    def client(self):
        return "ssh -F " + os.path.join(self.folder, "ssh_config")

    def close(self):
        # The namespace's first process: the kernel ends every session with it.
        try:
            with open(f"/proc/{self.proc.pid}/task/{self.proc.pid}/children") as f:
                for pid in f.read().split():
                    os.kill(int(pid), 9)
        except OSError:
            self.proc.kill()
        self.proc.wait(10)


def shot(session, args, out, while_open=None, settle=2.0):
    viewer = Viewer(session, os.path.join(session.build, "bin", "ostrel-viewer"), args)
    try:
        time.sleep(settle)
        if while_open:
            while_open()
        run("xdotool", "mousemove", "1", "1")  # away from the text; --sync would wait forever where it already is
        time.sleep(1.0)
        screenshot(session, os.path.join(SHOTS, out))
    finally:
        viewer.proc.terminate()
        viewer.proc.wait(10)


def dialog_shot(session, args, out):
    """The viewer started with a dialog in front: its main window never takes the focus first."""
    proc = start([os.path.join(session.build, "bin", "ostrel-viewer"), *args], env=session.env,
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(4)
        run("xdotool", "mousemove", "1", "1")
        screenshot(session, os.path.join(SHOTS, out))
    finally:
        proc.terminate()
        proc.wait(10)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    work = tempfile.mkdtemp(prefix="ostrel-shots-")
    session = XSession()
    session.build = build
    sshd = None
    try:
        write_settings(session, SETTINGS)
        shot(session, ["--command", COMMAND], "command-window.png", settle=3.0)

        journal = os.path.join(work, "journal")
        write_journal(journal, "system.journal", 0, 400)
        # The dialog over the folder, then the window it opens, followed while more entries come.
        dialog_shot(session, ["--journal", "--journal-dir", journal], "journal-dialog.png")
        shot(session, ["--journal-dir", journal], "journal-window.png",
             while_open=lambda: [write_journal(journal, f"more-{k}.journal", 400 + k * 4, 4) or time.sleep(0.4)
                                 for k in range(3)])

        sshd = Sshd(os.path.join(work, "sshd"))
        log = os.path.join(work, "web-1", "access.log")
        os.makedirs(os.path.dirname(log))
        write_lines(log, 0, 400, "w")
        session.env["OSTREL_SSH"] = sshd.client()
        shot(session, [f"ssh://127.0.0.1:{sshd.port}{log}"], "ssh-window.png",
             while_open=lambda: [write_lines(log, 400 + k * 5, 5) or time.sleep(0.3) for k in range(6)])
    finally:
        if sshd:
            sshd.close()
        session.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main_on_own_bus(main)
