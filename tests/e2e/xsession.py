"""A private X session for driving the real viewer as a user does.

Xvfb with openbox as the window manager, keys and clicks through xdotool
(XTEST: the path a user's keys take), the clipboard through xclip, and the
accessibility tree through AT-SPI. Everything the viewer writes goes to a
temporary folder: settings, the per-file database, the runtime folder, HOME.

Every wait polls a condition with a timeout; nothing waits a fixed time.
"""
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

WAIT_S = 10  # the longest any single condition is waited for
SCREEN = "1280x800x24"


class Timeout(AssertionError):
    pass


def wait_for(condition, what, timeout=WAIT_S, interval=0.1):
    """The condition's first true value, polled until the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def die_with_parent():
    """SIGTERM to this process when its parent ends, however it ends (PR_SET_PDEATHSIG)."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)


def start(cmd, **kwargs):
    """A child that ends with the suite, however the suite ends."""
    return subprocess.Popen(cmd, preexec_fn=die_with_parent, **kwargs)


def run(*cmd, check=True):
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=WAIT_S)
    if check and done.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)}: {done.stderr.strip()}")
    return done.stdout


class XSession:
    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="session-", dir=os.environ.get("OSTREL_E2E_TMP"))
        self.env = dict(os.environ)
        for name, sub in [("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                          ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "runtime")]:
            path = os.path.join(self.tmp, sub)
            os.makedirs(path, mode=0o700)
            self.env[name] = path
        self.env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        for name in ("WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_STYLE_OVERRIDE"):
            self.env.pop(name, None)
        self.procs = []
        try:
            self._start_x()
            os.environ.update(self.env)  # xdotool, xclip and xprop below talk to this display
            self._start_wm()
            Atspi.get_desktop(0)  # starts the accessibility bus before any application looks for it
        except BaseException:
            self.close()
            raise

    def _start_x(self):
        read, write = os.pipe()
        self.procs.append(start(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def _start_wm(self):
        self.procs.append(start(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL))
        wait_for(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                 "openbox to manage the screen")

    def close(self):
        for proc in reversed(self.procs):
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # --- what the viewer keeps ---------------------------------------------------------------

    def settings(self):
        """The settings file as {section: {key: value}}, keys unescaped; {} when there is none."""
        path = os.path.join(self.env["XDG_CONFIG_HOME"], "Corvane", "Ostrel", "Text Log File Viewer",
                            "Ostrel Text Log File Viewer.conf")
        sections, current = {}, None
        if not os.path.exists(path):
            return sections
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                if line.startswith("[") and line.endswith("]"):
                    current = sections.setdefault(urllib.parse.unquote(line[1:-1]), {})
                elif "=" in line and current is not None:
                    key, value = line.split("=", 1)
                    current[urllib.parse.unquote(key)] = value
        return sections

    def database(self):
        path = os.path.join(self.env["XDG_DATA_HOME"], "Ostrel", "fileprefdatabase.fpdb")
        if not os.path.exists(path):
            return b""
        with open(path, "rb") as f:
            return f.read()

    # --- input ---------------------------------------------------------------------------------

    def keys(self, *keys):
        run("xdotool", "key", "--clearmodifiers", "--delay", "40", *keys)

    def type(self, text):
        run("xdotool", "type", "--clearmodifiers", "--delay", "20", text)

    def click(self, acc):
        """A left click in the middle of an accessible element, then the pointer off the frame."""
        box = acc.get_extents(Atspi.CoordType.SCREEN)
        if box.width <= 0 or box.height <= 0:
            raise AssertionError(f"{describe(acc)} has no place on the screen")
        run("xdotool", "mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2),
            "click", "1")
        # Away from every element, so that no hover state or tooltip stands in the next step's way.
        run("xdotool", "mousemove", "--sync", "2", "2")

    def run_click(self, x, y):
        """A left click at a point of the screen, then the pointer off the frame."""
        run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")
        run("xdotool", "mousemove", "--sync", "2", "2")

    def run(self, *cmd):
        return run(*cmd)

    def clipboard(self):
        done = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True, timeout=WAIT_S)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else ""

    # --- the window list -----------------------------------------------------------------------

    def windows(self, pid):
        """The visible top-level windows of a process (menus too)."""
        return run("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False).split()

    def window_titles(self, pid):
        titles = []
        for wid in self.windows(pid):
            done = subprocess.run(["xdotool", "getwindowname", wid], capture_output=True, text=True,
                                  timeout=WAIT_S)
            if done.returncode == 0:
                titles.append(done.stdout.strip())
        return titles

    def popups(self, pid):
        """How many pop-ups (menus, drop-down lists) the process shows: the windows the manager leaves alone."""
        return sum("Override Redirect State: yes" in run("xwininfo", "-id", wid, check=False)
                   for wid in self.windows(pid))

    def active_window_title(self):
        done = subprocess.run(["xdotool", "getactivewindow", "getwindowname"], capture_output=True, text=True,
                              timeout=WAIT_S)
        return done.stdout.strip() if done.returncode == 0 else ""


# --- the accessibility tree --------------------------------------------------------------------


def describe(acc):
    return f"{acc.get_role_name()} {acc.get_name()!r}"


def text_of(acc):
    """The element's text through the Text interface, when it has one."""
    if "Text" not in acc.get_interfaces():
        return ""
    return Atspi.Text.get_text(acc, 0, -1) or ""


def showing(acc):
    states = acc.get_state_set()
    return states.contains(Atspi.StateType.SHOWING) and states.contains(Atspi.StateType.VISIBLE)


def checked(acc):
    return acc.get_state_set().contains(Atspi.StateType.CHECKED)


def find_all(root, pred):
    """Every element under root (depth first) for which pred holds; fresh from the application."""
    Atspi.Accessible.clear_cache(root)
    found, stack = [], [root]
    while stack:
        acc = stack.pop()
        try:
            if pred(acc):
                found.append(acc)
            count = acc.get_child_count()
            stack.extend(acc.get_child_at_index(i) for i in reversed(range(count)))
        except GLib.Error:
            continue  # gone while we looked: a closed pop-up
    return found


def find(root, pred):
    found = find_all(root, pred)
    return found[0] if found else None


def role_named(role, name=None):
    """A showing element of the role, with the name when one is given."""
    return lambda a: a.get_role() == role and (name is None or a.get_name() == name) and showing(a)


class Viewer:
    """One run of ostrel-viewer in the session."""

    def __init__(self, session, binary, files, stdin=None):
        self.session = session
        # Its messages go to a file: a pipe nobody reads would stop the viewer once full.
        self.log = os.path.join(session.tmp, "viewer.log")
        with open(self.log, "a") as log:
            self.proc = start([binary, *files], env=session.env, stdin=stdin, stdout=log, stderr=log)
        self.pid = self.proc.pid
        self.app = wait_for(self._find_app, "the viewer in the accessibility tree")
        self.frame = wait_for(lambda: find(self.app, lambda a: a.get_role() == Atspi.Role.FRAME and showing(a)),
                              "the viewer's main window")
        wait_for(lambda: self.active_title().startswith("Ostrel Text Log File Viewer"),
                 "the viewer's window to take the focus")

    def _find_app(self):
        desktop = Atspi.get_desktop(0)
        Atspi.Accessible.clear_cache(desktop)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.pid:
                app.set_cache_mask(Atspi.Cache.NONE)  # without an event loop here, a cache would go stale
                return app
        if self.proc.poll() is not None:
            raise AssertionError(f"the viewer ended (status {self.proc.returncode}): {self.messages()}")
        return None

    def find(self, pred):
        return find(self.frame, pred)

    def element(self, role, name):
        return wait_for(lambda: self.find(role_named(role, name)), f"{role.value_nick} {name!r}")

    def active_title(self):
        return self.session.active_window_title()

    def titles(self):
        return self.session.window_titles(self.pid)

    def copy_page(self):
        """What Copy Page puts on the clipboard: the lines on the screen."""
        self.session.click(self.element(Atspi.Role.PUSH_BUTTON, "Copy Page"))
        return self.session.clipboard()

    def close_by_window_manager(self):
        """Alt+F4, which openbox turns into the window manager's close request."""
        self.session.keys("alt+F4")
        try:
            self.proc.wait(WAIT_S)
        except subprocess.TimeoutExpired:
            raise Timeout("the viewer did not end after Alt+F4")

    def kill(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()

    def messages(self):
        with open(self.log, errors="replace") as log:
            return log.read()


# --- For the scripts that make the README's pictures -------------------------------------------

def write_settings(session, text):
    """The viewer's settings file, in the session's own configuration folder."""
    folder = os.path.join(session.env["XDG_CONFIG_HOME"], "Corvane", "Ostrel", "Text Log File Viewer")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Ostrel Text Log File Viewer.conf"), "w") as f:
        f.write(text)


SERVICE_LEVELS = ["INFO", "INFO", "DEBUG", "WARN", "INFO", "ERROR", "INFO", "DEBUG"]


def write_service_log(path, lines=12000):
    """A service's log, one request every 7 s from 06:00, the levels in a fixed round: the pictures' sample."""
    with open(path, "w") as f:
        for i in range(lines):
            s = 6 * 3600 + i * 7
            f.write("2026-12-07 %02d:%02d:%02d.%03d %-5s worker-%d request %d served in %d ms\n"
                    % (s // 3600 % 24, s // 60 % 60, s % 60, i * 37 % 1000, SERVICE_LEVELS[i % len(SERVICE_LEVELS)],
                       i % 4, 100000 + i, i * 13 % 400))


def screenshot(session, path):
    subprocess.run(["import", "-window", "root", path], env=session.env, check=True, timeout=20)
    print("screenshot:", path)


def main_on_own_bus(main):
    """Runs main() in a D-Bus session of its own (the accessibility bus lives on it), never the desktop's."""
    if os.environ.get("OSTREL_SHOTS_BUS") != "1":
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS")}
        env["OSTREL_SHOTS_BUS"] = "1"
        sys.exit(subprocess.run(["dbus-run-session", "--", "/usr/bin/python3", *sys.argv], env=env).returncode)
    main()
