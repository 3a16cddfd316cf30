#!/usr/bin/python3
"""The real ostrel-viewer in a real X session, driven as a user drives it.

Usage: viewer_e2e.py VIEWER_BINARY [FAILURE_SHOTS_DIR]

Starts its own D-Bus session (dbus-run-session), Xvfb and openbox, and checks
what a user would see: the window list, the accessibility tree, the clipboard
after Copy Page, the settings file and the per-file database. Each check runs
on; a failed one is reported, its screen saved when ImageMagick's `import` is
there, and the viewer started afresh for the next.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

from xsession import (Atspi, Viewer, XSession, checked, describe, die_with_parent, find, find_all, role_named,
                      showing, text_of, wait_for)

TITLE = "Ostrel Text Log File Viewer"
BLACK_LOOK_KEY = "l"  # "Office 2007 (B&lack Style)"
BLACK_LOOK_ID = "216"
BUTTON, CHECK_BOX = Atspi.Role.PUSH_BUTTON, Atspi.Role.CHECK_BOX


def write_files(folder):
    """A log of 3000 lines, longer than a screen, with words at known lines, and a short second file."""
    big = os.path.join(folder, "big.log")
    words = {700: "alpha", 1200: "needle-A", 2100: "needle-B"}
    with open(big, "w") as f:
        for n in range(1, 3001):
            f.write(f"line {n:04d} {words.get(n, 'filler')}\n")
    second = os.path.join(folder, "second.log")
    with open(second, "w") as f:
        f.write("the second file\n")
    return big, second


class Suite:
    def __init__(self, binary, shots):
        self.binary, self.shots = binary, shots
        self.session = XSession()
        self.big, self.second = write_files(self.session.tmp)
        self.viewer = None
        self.failures = []

    def start(self):
        self.viewer = Viewer(self.session, self.binary, [self.big])

    def restart(self):
        if self.viewer:
            self.viewer.kill()
        self.start()

    def close(self):
        if self.viewer:
            self.viewer.kill()
        self.session.close()

    def check(self, name, body):
        began = time.monotonic()
        try:
            body()
            print(f"ok    {name} ({time.monotonic() - began:.1f} s)", flush=True)
            return True
        except Exception as error:  # noqa: BLE001 - every failure is reported, then the next check runs
            print(f"FAIL  {name} ({time.monotonic() - began:.1f} s): {error}", flush=True)
            if not isinstance(error, AssertionError):
                traceback.print_exc()
            self.failures.append(name)
            self.save_screen(name)
            if said := self.viewer and self.viewer.messages().strip():
                print("      the viewer said:\n" + "\n".join("        " + line for line in said.splitlines()[-10:]))
            self.restart()
            return False

    def save_screen(self, name):
        if not self.shots or not shutil.which("import"):
            return
        os.makedirs(self.shots, exist_ok=True)
        path = os.path.join(self.shots, re.sub(r"\W+", "_", name) + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.session.env, timeout=20)
        print(f"      the screen: {path}")

    # --- helpers ---------------------------------------------------------------------------------

    def keys(self, *keys):
        self.session.keys(*keys)

    def visible(self, *needles):
        """Which of the needles the lines on the screen hold (Copy Page, then the clipboard)."""
        page = self.viewer.copy_page()
        return [n for n in needles if n in page]

    def wait_active(self, title):
        wait_for(lambda: self.viewer.active_title() == title, f"the window {title!r} to be active")

    def count_windows(self, title):
        return self.viewer.titles().count(title)

    def back_to_main_window(self, title):
        """A click on the tab of the window that was active, as a user goes back to the main window."""
        self.session.click(self.viewer.element(Atspi.Role.PAGE_TAB, title.removeprefix(TITLE + " - ")))
        self.wait_active(title)

    def status_bar(self):
        return self.viewer.find(lambda a: a.get_role() == Atspi.Role.STATUS_BAR)

    # --- the checks ------------------------------------------------------------------------------

    def status_figure_is_readable(self):
        """A screen reader hears "Current Char: N": the pane's name or text holds it."""
        def figure():
            bar = self.status_bar()
            return bar and find(bar, lambda a: re.search(r"Current Char: \d+", f"{a.get_name()}\n{text_of(a)}"))
        wait_for(figure, "a status pane whose accessible name or text reads \"Current Char: N\"")

    def app_button_description_is_plain(self):
        button = wait_for(lambda: self.viewer.find(lambda a: a.get_name() == "File" and "button" in a.get_role_name()),
                          "the application button")
        description = button.get_description()
        assert not re.search(r"<[^>]+>", description), f"its accessible description is markup: {description!r}"

    def find_box_return_searches(self):
        assert not self.visible("alpha"), "the word is on the screen before the search"
        combo = self.viewer.element(Atspi.Role.COMBO_BOX, "Find Text")
        field = wait_for(lambda: find(combo, lambda a: a.get_role() == Atspi.Role.TEXT), "the find box's field")
        self.session.click(field)
        self.session.type("alpha")
        self.keys("Return")
        wait_for(lambda: self.visible("alpha"), "the line with the word on the screen after Return in the find box",
                 interval=0.3)

    def f3_and_shift_f3(self):
        marks = ("needle-A", "needle-B")
        self.keys("ctrl+f")  # to the find box, its text selected: typing replaces it
        self.session.type("needle")
        self.keys("F3")
        first = wait_for(lambda: self.visible(*marks), "a match on the screen after F3", interval=0.3)
        assert len(first) == 1, f"both matches on one screen: {first}"
        other = [m for m in marks if m not in first]
        self.keys("F3")
        wait_for(lambda: self.visible(*marks) == other, f"{other[0]} on the screen after a second F3", interval=0.3)
        self.keys("shift+F3")
        wait_for(lambda: self.visible(*marks) == first, f"{first[0]} on the screen after Shift+F3", interval=0.3)

    def find_dialog_twice_is_one_window(self):
        self.keys("ctrl+f")
        self.session.type("needle")
        main = self.viewer.active_title()
        self.keys("ctrl+shift+f")
        self.wait_active("Find")
        wait_for(lambda: find(self.viewer.app, lambda a: a.get_role() == Atspi.Role.TEXT and showing(a)
                              and text_of(a) == "needle"), "the find box's text in the Find dialog")
        self.back_to_main_window(main)
        self.keys("ctrl+shift+f")
        self.wait_active("Find")
        assert self.count_windows("Find") == 1, f"windows: {self.viewer.titles()}"
        self.keys("Escape")
        wait_for(lambda: self.count_windows("Find") == 0, "the Find dialog to close on Escape")

    def f1_shows_one_help_page(self):
        help_title = "Keyboard Shortcuts and Commands"
        main = self.viewer.active_title()
        self.keys("F1")
        self.wait_active(help_title)
        self.back_to_main_window(main)
        self.keys("F1")
        self.wait_active(help_title)
        assert self.count_windows(help_title) == 1, f"windows: {self.viewer.titles()}"
        self.keys("Escape")
        wait_for(lambda: self.count_windows(help_title) == 0, "the help page to close on Escape")

    def top_line(self):
        return self.viewer.copy_page().lstrip("\n").split("\n", 1)[0]

    def ctrl_g_shows_a_line_at_the_top(self):
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        self.session.type("1200")
        self.keys("Return")
        wait_for(lambda: self.top_line().startswith("line 1200 "), "line 1200 as the top row after Ctrl+G",
                 interval=0.3)

    def go_to_refusal_is_an_alert(self):
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        for typed in ("x1", "y2"):  # each refusal shows afresh, so that a screen reader says it again
            self.session.type(typed)
            self.keys("Return")
            alert = wait_for(lambda: find(self.viewer.app, lambda a: a.get_role() == Atspi.Role.ALERT and showing(a)),
                             "the refusal as an alert in the accessibility tree")
            assert "whole number" in (alert.get_name() or ""), describe(alert)
            self.keys("ctrl+a")
        self.keys("Escape")

    def f1_page_reads_row_by_row(self):
        self.keys("F1")
        self.wait_active("Keyboard Shortcuts and Commands")
        dialog = wait_for(lambda: find(self.viewer.app, lambda a: a.get_role() == Atspi.Role.DIALOG and showing(a)),
                          "the help page")
        cells = [text_of(c) or c.get_name() for c in find_all(dialog, lambda a: a.get_role() == Atspi.Role.TABLE_CELL)]
        assert "F3" in cells and "Find Next" in cells, f"cells: {cells[:12]}"
        self.keys("Escape")

    def rule_editor_colour_buttons_are_named(self):
        self.keys("alt")
        self.keys("l")
        rules = wait_for(lambda: self.viewer.find(role_named(BUTTON, "Rules...")), "Rules...")
        self.session.click(rules)
        wait_for(lambda: "Highlight Rules" in self.viewer.titles(), "the rule editor")
        editor = wait_for(lambda: find(self.viewer.app, lambda a: a.get_role() == Atspi.Role.DIALOG and showing(a)),
                          "the rule editor in the accessibility tree")
        for name in ("Text colour of the rule", "Background colour of the rule"):
            wait_for(lambda: find(editor, lambda a: a.get_name() == name), name)
        self.keys("Escape")
        wait_for(lambda: "Highlight Rules" not in self.viewer.titles(), "the rule editor to close")
        self.restart()  # the checks after this one start on the Options category

    def ctrl_shift_r_makes_f3_take_a_pattern(self):
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        self.session.type("1")
        self.keys("Return")
        self.keys("ctrl+shift+r")
        self.keys("ctrl+f")
        self.session.type("needle-[B]")
        self.keys("F3")
        wait_for(lambda: self.visible("needle-A", "needle-B") == ["needle-B"],
                 "the pattern's match on the screen after F3", interval=0.3)
        self.keys("ctrl+shift+r")  # off again: the later checks search plain text

    def ctrl_shift_l_lists_and_return_shows(self):
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        self.session.type("1")
        self.keys("Return")
        self.keys("ctrl+f")
        self.session.type("needle-A")
        self.keys("ctrl+shift+l")
        time.sleep(0.5)  # the list is made in the background
        self.keys("Return")
        wait_for(lambda: self.visible("needle-A"), "the listed line in the window after Return in the filter pane",
                 interval=0.3)
        self.keys("Escape")

    def ctrl_o_opens_a_typed_path(self):
        self.keys("ctrl+o")
        self.wait_active("Open")
        self.session.type(self.second)
        self.keys("Return")
        self.wait_active(f"{TITLE} - second.log")
        self.viewer.element(Atspi.Role.PAGE_TAB, "second.log")
        record_path = self.second.encode("utf-16-le")
        wait_for(lambda: record_path in self.session.database(), "the file's record in the per-file database")

    def new_window_and_ctrl_tab(self):
        before = self.viewer.active_title()
        self.session.click(self.viewer.element(BUTTON, "New Window"))
        wait_for(lambda: self.viewer.active_title() == before + ":2", "the new window's title")
        tabs = {a.get_name() for a in find_all(self.viewer.frame, role_named(Atspi.Role.PAGE_TAB, None))}
        seen = []
        for _ in tabs:
            previous = self.viewer.active_title()
            self.keys("ctrl+Tab")
            seen.append(wait_for(lambda: (t := self.viewer.active_title()) != previous and t,
                                 "Ctrl+Tab to activate another window"))
        assert {t.removeprefix(TITLE + " - ") for t in seen} == tabs, f"Ctrl+Tab went through {seen}, tabs {tabs}"
        assert seen[-1] == before + ":2", f"Ctrl+Tab did not come round to the start: {seen}"

    def font_dialog_enter_is_ok(self):
        self.session.click(self.viewer.element(BUTTON, "Font Dialog"))
        self.wait_active("Font")
        self.keys("Return")
        wait_for(lambda: "Font" not in (titles := self.viewer.titles()) or "Text color" in titles,
                 "the Font dialog to answer Enter")
        titles = self.viewer.titles()
        assert "Text color" not in titles, "Enter in the Font dialog opened the colour chooser"
        assert "Font" not in titles, f"the Font dialog stays open after Enter: {titles}"

    def choose_look_hide_status_bar_and_quit(self):
        self.session.click(self.viewer.element(BUTTON, "Style"))
        wait_for(lambda: self.session.popups(self.viewer.pid) == 1, "the Style menu")
        self.keys(BLACK_LOOK_KEY)  # its mnemonic: the accessibility tree does not reach pop-up menus
        wait_for(lambda: self.session.settings().get("Settings", {}).get("ApplicationLook") == BLACK_LOOK_ID,
                 "the black look in the settings file")
        wait_for(lambda: showing(self.status_bar()), "the status bar")
        self.session.click(self.viewer.element(CHECK_BOX, "Status Bar"))
        wait_for(lambda: not showing(self.status_bar()), "the status bar to go on unticking Status Bar")
        self.viewer.close_by_window_manager()
        self.viewer = None
        self.start()

    def look_is_kept(self):
        # The frame stores the look it starts with at once: a look not read back would be replaced here.
        look = self.session.settings().get("Settings", {}).get("ApplicationLook")
        assert look == BLACK_LOOK_ID, f"the look in the settings file after the restart is {look}"

    def status_bar_is_kept_hidden(self):
        box = self.viewer.element(CHECK_BOX, "Status Bar")  # the frame's parts are in the tree
        wait_for(lambda: (bar := self.status_bar()) is None or not showing(bar),
                 "the status bar to stay hidden after the restart")
        wait_for(lambda: not checked(box), "Status Bar unticked after the restart")


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    began = time.monotonic()
    suite = Suite(os.path.abspath(sys.argv[1]), sys.argv[2] if len(sys.argv) > 2 else None)
    try:
        suite.start()
        checks = [
            ("status figure read through the accessibility tree", suite.status_figure_is_readable),
            ("application button's description is plain text", suite.app_button_description_is_plain),
            ("Return in the find box searches", suite.find_box_return_searches),
            ("F3 and Shift+F3", suite.f3_and_shift_f3),
            ("Ctrl+Shift+F twice: one Find dialog", suite.find_dialog_twice_is_one_window),
            ("F1 twice: one help page", suite.f1_shows_one_help_page),
            ("Ctrl+G, a line number, Return", suite.ctrl_g_shows_a_line_at_the_top),
            ("a Go to refusal is an alert", suite.go_to_refusal_is_an_alert),
            ("the F1 page reads row by row", suite.f1_page_reads_row_by_row),
            ("the rule editor's colour buttons are named", suite.rule_editor_colour_buttons_are_named),
            ("Ctrl+Shift+R, then F3 finds a pattern", suite.ctrl_shift_r_makes_f3_take_a_pattern),
            ("Ctrl+Shift+L lists the lines, Return shows one", suite.ctrl_shift_l_lists_and_return_shows),
            ("Ctrl+O, a typed path, Return", suite.ctrl_o_opens_a_typed_path),
            ("New Window and Ctrl+Tab", suite.new_window_and_ctrl_tab),
            ("Enter in the Font dialog is OK", suite.font_dialog_enter_is_ok),
        ]
        for name, body in checks:
            suite.check(name, body)
        if suite.check("a look chosen, Status Bar unticked, then a restart", suite.choose_look_hide_status_bar_and_quit):
            suite.check("the look kept after a restart", suite.look_is_kept)
            suite.check("Status Bar unticked kept after a restart", suite.status_bar_is_kept_hidden)
    finally:
        suite.close()
    print(f"{len(suite.failures)} failed; {time.monotonic() - began:.1f} s in all")
    return 1 if suite.failures else 0


def stop_once(*_):
    """The first SIGTERM ends the run; the cleanup it starts is not cut short by the next."""
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    sys.exit(143)


TOOLS = ["dbus-run-session", "Xvfb", "openbox", "xdotool", "xclip", "xprop", "xwininfo"]


def run_in_own_bus():
    """This script again in a D-Bus session of its own, where the accessibility bus starts and ends."""
    if missing := [t for t in TOOLS if not shutil.which(t)]:
        print(f"viewer_e2e: missing {', '.join(missing)}: run tools/install-deps.sh")
        return 1
    # Without the desktop's display and bus addresses, so that the bus launcher never touches the user's own
    # session, and with a runtime folder of its own for the launcher's socket (two runs at once keep apart).
    # The run's files go into the same folder: a run that the end of its bus cuts short leaves nothing behind.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS")}
    with tempfile.TemporaryDirectory(prefix="ostrel-e2e-") as folder:
        env.update(OSTREL_E2E_BUS="1", XDG_RUNTIME_DIR=folder, OSTREL_E2E_TMP=folder)
        # A process group of its own, so that the bus daemons end with it however this run ends.
        bus = subprocess.Popen(["dbus-run-session", "--", sys.executable, *sys.argv], env=env,
                               preexec_fn=die_with_parent, start_new_session=True)
        try:
            signal.signal(signal.SIGTERM, stop_once)
            signal.signal(signal.SIGINT, stop_once)
            return bus.wait()
        finally:
            try:
                os.killpg(bus.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass


if __name__ == "__main__":
    if os.environ.get("OSTREL_E2E_BUS") != "1":
        sys.exit(run_in_own_bus())
    # Ended with the bus session or by a signal, the run takes its X session down on the way out.
    die_with_parent()
    signal.signal(signal.SIGTERM, stop_once)
    sys.exit(main())
