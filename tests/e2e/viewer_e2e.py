#!/usr/bin/python3
"""The real ostrel-viewer in a real X session, driven as a user drives it.

Usage: viewer_e2e.py VIEWER_BINARY [FAILURE_SHOTS_DIR]

Starts its own D-Bus session (dbus-run-session), Xvfb and openbox, and checks
what a user would see: the window list, the accessibility tree, the clipboard
after Copy Page, the settings file and the per-file database. Each check runs
on; a failed one is reported, its screen saved when ImageMagick's `import` is
there, and the viewer started afresh for the next.
"""
import gzip
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

from xsession import (Atspi, GLib, Viewer, XSession, checked, describe, die_with_parent, find, find_all,
                      role_named, showing, text_of, wait_for, write_settings)

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
    stamped = os.path.join(folder, "stamped.log")
    with open(stamped, "w") as f:
        for n in range(1, 201):
            f.write(f"2026-03-01 10:{n // 60:02d}:{n % 60:02d}.000 INFO line {n}\n")
    second = os.path.join(folder, "second.log")
    with open(second, "w") as f:
        f.write("the second file\n")
    return big, second, stamped


def write_journal(folder, name, first, count):
    """Journal entries (the export format turned into a journal file by systemd-journal-remote) in `folder`."""
    os.makedirs(folder, exist_ok=True)
    export = "".join(
        f"__REALTIME_TIMESTAMP={1765000000000000 + n * 1000000}\n__MONOTONIC_TIMESTAMP={n + 1}\n"
        f"_BOOT_ID={'a' * 32}\nPRIORITY={n % 8}\nMESSAGE=journal entry {n}\n_SYSTEMD_UNIT=e2e.service\n"
        f"SYSLOG_IDENTIFIER=e2e\n_PID=42\n_HOSTNAME=host\n\n" for n in range(first, first + count))
    subprocess.run(["/lib/systemd/systemd-journal-remote", f"--output={os.path.join(folder, name)}", "-"],
                   input=export.encode(), check=True, stderr=subprocess.DEVNULL, timeout=60)


class Suite:
    def __init__(self, binary, shots):
        self.binary, self.shots = binary, shots
        self.session = XSession()
        self.big, self.second, self.stamped = write_files(self.session.tmp)
        self.journal = os.path.join(self.session.tmp, "journal")
        write_journal(self.journal, "first.journal", 0, 300)
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

    def shown_key_tips(self):
        """The key tips on the screen, as a screen reader finds them: tooltips named by their letters."""
        app = self.viewer.app
        Atspi.Accessible.clear_cache(app)
        tips = []
        for i in range(app.get_child_count()):  # each tip is a window of its own
            try:
                window = app.get_child_at_index(i)
                if window and window.get_role() == Atspi.Role.TOOL_TIP and showing(window):
                    tips.append(window.get_name())
            except GLib.Error:
                continue  # gone while we looked
        return sorted(tips)

    def back_to_rest(self):
        """Escape until no pop-up, dialog or key tip is left and the main window has the keys."""
        for _ in range(4):
            if (self.viewer.active_title().startswith(TITLE) and not self.session.popups(self.viewer.pid)):
                return
            self.keys("Escape")
            time.sleep(0.2)
        wait_for(lambda: self.viewer.active_title().startswith(TITLE) and not self.session.popups(self.viewer.pid),
                 "the main window at rest")

    # --- the checks ------------------------------------------------------------------------------

    def current_tab_is_selected(self):
        """Each tab is a page tab; the active window's carries the selected state, the other's not."""
        self.session.click(self.viewer.element(BUTTON, "New Window"))
        for _ in range(2):
            active = wait_for(lambda: (t := self.viewer.active_title()).startswith(TITLE + " - ") and t,
                              "an active window")

            def selection():
                tabs = find_all(self.viewer.frame, role_named(Atspi.Role.PAGE_TAB))
                return [(t.get_name(), t.get_state_set().contains(Atspi.StateType.SELECTED)) for t in tabs]
            wanted = active.removeprefix(TITLE + " - ")
            try:
                wait_for(lambda: len(tabs := selection()) >= 2 and all(sel == (name == wanted) for name, sel in tabs),
                         f"only the tab {wanted!r} selected", timeout=3)
            except AssertionError:
                raise AssertionError(f"the tabs and their selected states: {selection()}, active {wanted!r}")
            self.keys("ctrl+Tab")
            wait_for(lambda: self.viewer.active_title() != active, "Ctrl+Tab to activate the other window")

    def drop_downs_are_in_the_tree(self):
        """Each drop-down, while open, is its button's child: a menu or a list whose entries are named."""
        arrow = "arrow"  # a split button's drop-down part is its lower edge
        cases = [  # (the button, where to click, the entries that must be there)
            ("Style", None, {"Office 2007 (Blue Style)", "Office 2007 (Black Style)"}),
            ("Switch Windows", arrow, {"New Window"}),
            ("Change Case", None, {"Upper Case", "Lower Case"}),
            ("Font Color", None, {"Automatic", "Red", "More Colors..."}),
            ("Page Color", arrow, {"Automatic", "White, Background 1", "More Colors..."}),
        ]
        failures = []
        for name, where, entries in cases:
            button = self.viewer.element(BUTTON, name)
            box = button.get_extents(Atspi.CoordType.SCREEN)
            y = box.y + box.height - 4 if where == arrow else box.y + box.height // 2
            self.session.run_click(box.x + box.width // 2, y)
            try:
                wait_for(lambda: self.session.popups(self.viewer.pid) >= 1, f"the drop-down of {name!r}", timeout=3)

                def drop_down():
                    found = find(button, lambda a: a is not button and a.get_role() in
                                 (Atspi.Role.POPUP_MENU, Atspi.Role.MENU, Atspi.Role.LIST) and showing(a))
                    if not found:
                        return None
                    names = {found.get_child_at_index(i).get_name() for i in range(found.get_child_count())}
                    return names if entries <= names else None
                wait_for(drop_down, f"the open drop-down of {name!r} under it, with {sorted(entries)}", timeout=3)
            except AssertionError as error:
                failures.append(str(error))
            self.back_to_rest()
        assert not failures, "; ".join(failures)

    def every_key_tip_acts(self):
        """Every tip on show, in both categories, does what its element does when pressed by real keys;
        a collapsed panel's tip opens it with the tips of its elements, and each of those acts too."""
        options = {
            "F": ("popup", None), "A": ("window", "About Ostrel File Viewer"), "L": ("tips", "HE"),
            "D": ("focus", "Copy Page"), "ZF": ("focus", "Select Font"), "ZB": ("focus", "Page Color"),
            "ZW": ("focus", "New Window"), "PC": ("list", "Page Color"), "N": ("tab", None),
            "S": ("window", "Windows"), "W": ("window", "Windows"),
        }
        log = {
            "F": ("popup", None), "A": ("window", "About Ostrel File Viewer"), "L": ("tips", "HE"),
            "U": ("radio", "UTF-8"), "W": ("radio", "Windows-1252"), "ZT": ("focus", "UTF-8"),
            "ZS": ("focus", "Regular Expression"), "SF": ("grows", None), "SI": ("toggle", "Invert"),
            "SR": ("toggle", "Regular Expression"), "ZH": ("focus", "Highlight Rules"),
            "HR": ("toggle", "Highlight Rules"), "HE": ("window", "Highlight Rules"), "HL": ("toggle", "Log Levels"),
            "ZG": ("focus", "Line Numbers"), "GN": ("toggle", "Line Numbers"), "GL": ("window", "Go to Line"),
            "GT": ("window", "Go to Time"), "ZO": ("focus", "Follow Name"), "O": ("toggle", "Follow Name"),
            "RP": ("toggle", "Include Rotated Parts"),
            "CO": ("window", "Open Command"), "CM": ("window", "Open Merged"), "JO": ("window", "System Journal"),
            # The Records, Marks and Filters panels, the last ones, are folded at this width: each tip opens its
            # panel with its elements' tips.
            "ZR": ("tips", "RF"), "ZM": ("tips", "MT"), "ZL": ("tips", "IE"),
        }
        # The folded panel's elements are in its pop-up, out of the window's tree: Timeline is known by its band.
        # The Format box's focus in the pop-up is not seen by the accessibility tree: RF is checked to close the
        # tips as an element's tip does.
        records = {"RF": ("done", None), "TL": ("band", "Timeline")}
        marks = {
            # Next and Previous come first (in the order of the tips): the window has no marks yet. Mark Note
            # marks the line for its dialog, and the Escape that closes the dialog takes the mark away again.
            "MN": ("message", "This window has no marks."), "MO": ("window", "Mark Note"),
            "MP": ("message", "This window has no marks."), "MS": ("message", "Nothing to save"),
            "MT": ("done", None),
        }
        filters = {
            # Filters... docks its pane at the right; Show Only Filtered of a window without a stack hides nothing.
            "IE": ("grows", None), "IO": ("done", None),
        }
        failures = []

        def focus_within(name):
            """The focused element is the named one or inside it (a box's field)."""
            focused = self.viewer.find(lambda a: a.get_state_set().contains(Atspi.StateType.FOCUSED))
            for _ in range(3):
                if focused is None or focused.get_name() == name:
                    return focused is not None
                focused = focused.get_parent()
            return False
        self.viewer.kill()  # on a log with times, which Go to Time needs
        self.viewer = Viewer(self.session, self.binary, [self.stamped])

        def press(prefix, tip):
            self.back_to_rest()
            self.keys("alt")
            wait_for(self.shown_key_tips, "the key tips after Alt")
            for step in prefix:
                self.keys(*step.lower())
                time.sleep(0.2)
            if tip:
                self.keys(*tip.lower())

        def acts(prefix, tip, effect):
            kind, what = effect
            box = None
            if kind in ("toggle", "radio"):  # the two code pages are a radio pair for a screen reader
                box = wait_for(lambda: self.viewer.find(role_named(
                    Atspi.Role.RADIO_BUTTON if kind == "radio" else CHECK_BOX, what)), f"{kind} {what!r}", timeout=3)
            was = box and checked(box)

            def band_shown():
                return bool(self.viewer.find(lambda a: a.get_name() == what and a.get_role() != CHECK_BOX and showing(a)))
            if kind == "band":
                was = band_shown()
            tabs = kind == "tab" and len(find_all(self.viewer.frame, role_named(Atspi.Role.PAGE_TAB)))
            parts = kind == "grows" and len(find_all(self.viewer.frame, showing))
            press(prefix, tip)
            try:
                if kind == "window":
                    wait_for(lambda: what in self.viewer.titles(), f"the window {what!r}", timeout=4)
                elif kind == "popup":
                    wait_for(lambda: self.session.popups(self.viewer.pid) >= 1, "a pop-up", timeout=4)
                elif kind == "tips":
                    wait_for(lambda: what in self.shown_key_tips(), f"the tip {what} on show", timeout=4)
                elif kind == "focus":
                    wait_for(lambda: focus_within(what), f"{what!r} to take the focus", timeout=4)
                elif kind == "radio":
                    wait_for(lambda: checked(box), f"{what!r} to be the one checked", timeout=4)
                elif kind == "list":
                    wait_for(lambda: self.viewer.find(role_named(Atspi.Role.LIST, what)), f"the list {what!r}",
                             timeout=4)
                elif kind == "message":
                    wait_for(lambda: self.viewer.find(lambda a: what in (a.get_name() or "")), f"the notice {what!r}",
                             timeout=4)
                    # Closed again, so that the panes the next tips open are counted alone.
                    self.session.click(wait_for(lambda: self.viewer.find(role_named(
                        Atspi.Role.PUSH_BUTTON, "Close message")), "the notice's close button", timeout=2))
                    wait_for(lambda: not self.viewer.find(lambda a: showing(a) and what in (a.get_name() or "")),
                             "the notice to close", timeout=4)
                elif kind == "grows":
                    wait_for(lambda: len(find_all(self.viewer.frame, showing)) > parts, "a new pane", timeout=4)
                elif kind == "band":
                    wait_for(lambda: band_shown() != was, f"the {what} band to show or go", timeout=4)
                    press(prefix, tip)  # and back, for the checks that follow
                    wait_for(lambda: band_shown() == was, f"the {what} band back as it was", timeout=4)
                elif kind == "toggle":
                    wait_for(lambda: checked(box) != was, f"{what!r} to change its state", timeout=4)
                    press(prefix, tip)  # and back, for the checks that follow
                    wait_for(lambda: checked(box) == was, f"{what!r} to change back", timeout=4)
                elif kind == "tab":
                    wait_for(lambda: len(find_all(self.viewer.frame, role_named(Atspi.Role.PAGE_TAB))) > tabs,
                             "a new tab", timeout=4)
                if kind != "tips":
                    wait_for(lambda: not self.shown_key_tips(), "the tips to go once one is chosen", timeout=2)
            except AssertionError as error:
                failures.append(f"{'+'.join(prefix + [tip])}: {error}")

        # Each table with the tip that tells its tips are on show, and whether that tip is among them.
        for prefix, table, marker, present in (([], options, "HE", False), (["L"], log, "HE", True),
                                               (["L", "ZR"], records, "RF", True), (["L", "ZM"], marks, "MT", True),
                                               (["L", "ZL"], filters, "IE", True)):
            press(prefix, "")
            shown = wait_for(lambda: (t := self.shown_key_tips()) and (marker in t) == present and t,
                             "the category's tips")
            assert set(shown) == set(table), f"after Alt {' '.join(prefix)}: tips {shown}, expected {sorted(table)}"
            for tip in sorted(shown, key=lambda t: t == "L"):  # the category's own tip last: it leaves Options
                acts(prefix, tip, table[tip])
        assert not failures, "; ".join(failures)

    def collapsed_panel_tips_act(self):
        """In a narrow window a collapsed panel's tip opens it and shows its elements' tips, which act."""
        self.back_to_rest()
        self.session.run("xdotool", "getactivewindow", "windowsize", "--sync", "460", "600")
        wait_for(lambda: self.viewer.frame.get_extents(Atspi.CoordType.SCREEN).width < 600, "the narrow window")
        self.keys("alt")
        wait_for(self.shown_key_tips, "the key tips after Alt")
        self.keys("L")
        try:
            wait_for(lambda: "ZG" in self.shown_key_tips() and "GL" not in self.shown_key_tips(),
                     "the Go To panel collapsed in a narrow window", timeout=4)
        except AssertionError:
            raise AssertionError(f"tips on show in a narrow window: {self.shown_key_tips()}")
        self.keys("z", "g")
        wait_for(lambda: {"GN", "GL", "GT"} <= set(self.shown_key_tips()), "the tips of the opened panel's elements")
        self.keys("g", "l")
        wait_for(lambda: "Go to Line" in self.viewer.titles(), "the Go to Line dialog after Alt L Z G G L")
        self.back_to_rest()
        self.session.run("xdotool", "getactivewindow", "windowsize", "--sync", "1000", "700")
        self.restart()  # back in the Options category for the checks that follow

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

    def stop_rule_holds_while_lines_arrive(self):
        """A stop rule, a logger writing line by line: the window stays on the stopping line until End."""
        folder = os.path.join(self.session.env["XDG_CONFIG_HOME"], "Corvane", "Ostrel", "Text Log File Viewer")
        conf = os.path.join(folder, "Ostrel Text Log File Viewer.conf")
        kept = open(conf, encoding="utf-8").read() if os.path.exists(conf) else None
        followed = os.path.join(self.session.tmp, "followed.log")
        with open(followed, "w") as f:
            f.write("".join(f"start {n}\n" for n in range(100)))
        self.viewer.kill()
        try:
            write_settings(self.session, (kept or "") + "\n[Highlight]\nEnabled=true\n\n[HighlightRules]\n"
                           "1\\name=Fatal\n1\\pattern=FATAL\n1\\alert=true\n1\\stop=true\nsize=1\n")
            self.viewer = Viewer(self.session, self.binary, [followed])
            with open(followed, "a", buffering=1) as log:
                for n in range(8):
                    log.write(f"before {n}\n")
                    time.sleep(0.05)
                log.write("FATAL the stopping line\n")
                for n in range(20):  # one line at a time, as a logger writes
                    time.sleep(0.05)
                    log.write(f"after {n}\n")
            time.sleep(1.5)  # past the watcher's look at the last line
            assert self.visible("FATAL the stopping line", "after 19") == ["FATAL the stopping line"], \
                "the window followed on past the stop"
            self.keys("End")
            wait_for(lambda: self.visible("after 19") == ["after 19"], "End to follow the file again", interval=0.3)
        finally:
            self.viewer.kill()
            if kept is None:
                os.remove(conf)
            else:
                write_settings(self.session, kept)
            self.start()

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
        for name in ("Text colour", "Background colour"):
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

    def filters_pane_typed_rule_hides_lines(self):
        """The Filters pane by keys: Add, a rule typed and applied after the pause, which shows only its lines;
        Ctrl+Shift+H shows every line again, and again only the rule's."""
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        self.session.type("1195")
        self.keys("Return")
        self.keys("alt")
        wait_for(self.shown_key_tips, "the key tips after Alt")
        for step in ("l", "zl", "ie"):  # the Log category, its folded Filters panel, Filters...
            self.keys(*step)
            time.sleep(0.2)
        self.session.click(wait_for(lambda: self.viewer.find(role_named(BUTTON, "Add")), "the pane's Add button"))
        self.session.type("needle")
        self.keys("Return")
        # A click low in the text gives it the keys; Ctrl+C without a selection copies the screen (Copy Page is
        # in the other category).
        bars = find_all(self.viewer.frame, lambda a: a.get_role() == Atspi.Role.SCROLL_BAR and showing(a))
        vbar = max((b.get_extents(Atspi.CoordType.SCREEN) for b in bars), key=lambda b: b.height)
        self.session.run("xdotool", "mousemove", "--sync", str(vbar.x - 40), str(vbar.y + vbar.height - 30),
                         "click", "1")

        def screen(*needles):
            self.keys("ctrl+c")
            time.sleep(0.1)
            page = self.session.clipboard()
            return [n for n in needles if n in page]
        only = ["needle-A", "needle-B"]
        wait_for(lambda: screen("needle-A", "needle-B", "filler") == only, "only the rule's lines on the screen",
                 interval=0.3)
        self.keys("ctrl+shift+h")
        wait_for(lambda: screen("needle-A", "filler") == ["needle-A", "filler"], "every line again", interval=0.3)
        self.keys("ctrl+shift+h")
        wait_for(lambda: screen("needle-A", "needle-B", "filler") == only, "only the rule's lines again",
                 interval=0.3)
        self.restart()  # the checks after this one start without a stack

    def ctrl_o_opens_a_typed_path(self):
        self.keys("ctrl+o")
        self.wait_active("Open")
        self.session.type(self.second)
        self.keys("Return")
        self.wait_active(f"{TITLE} - second.log")
        self.viewer.element(Atspi.Role.PAGE_TAB, "second.log")
        record_path = self.second.encode("utf-16-le")
        wait_for(lambda: record_path in self.session.database(), "the file's record in the per-file database")

    def merged_window_pages_three_logs(self):
        """ostrel-viewer --merge - B C, the first log on standard input (a pipe): one window whose rows are the
        three logs' by time (equal times in the order of the files, a record's continuation under it), paged by
        real keys, copied without the letters;
        Ctrl+Shift+O with a file that has no times says it cannot be merged and opens it on its own."""
        logs = []
        for name, first, step in (("one", 0, 3), ("two", 1, 3), ("three", 0, 2)):
            path = os.path.join(self.session.tmp, f"merge-{name}.log")
            with open(path, "w") as f:
                for i in range(100):
                    s = first + i * step
                    f.write(f"2026-03-01 10:{s // 60:02d}:{s % 60:02d}.000 INFO {name} {i}\n")
                    if i % 10 == 5:
                        f.write(f"    under {name} {i}\n")
            logs.append(path)
        # The rows by (time, file order), each record's lines together.
        rows = []
        for order, (path, (name, first, step)) in enumerate(zip(logs, (("one", 0, 3), ("two", 1, 3),
                                                                       ("three", 0, 2)))):
            for i in range(100):
                lines = [f"2026-03-01 10:{(first + i * step) // 60:02d}:{(first + i * step) % 60:02d}.000 INFO {name} {i}"]
                if i % 10 == 5:
                    lines.append(f"    under {name} {i}")
                rows.append((first + i * step, order, lines))
        expected = [line for _, _, lines in sorted(rows, key=lambda r: (r[0], r[1])) for line in lines]
        self.viewer.kill()
        read, write = os.pipe()
        with open(logs[0], "rb") as f:
            os.write(write, f.read())  # a few KiB: the pipe holds them all
        os.close(write)
        self.viewer = Viewer(self.session, self.binary, ["--merge", "-", *logs[1:]], stdin=read)
        os.close(read)
        self.viewer.element(Atspi.Role.PAGE_TAB, "Merged: -, merge-two.log, merge-three.log")

        def page():
            return [line for line in self.viewer.copy_page().split("\n") if line]

        def starts_at(k, what):
            def holds():
                got = page()
                return got and got == expected[k:k + len(got)]
            wait_for(holds, what, interval=0.3)
            return len(page())

        shown = starts_at(0, "the first rows of the three logs, by time")
        self.keys("Next")
        # A page is the rows on screen less two (Copy Page copies the partial row below them too).
        starts_at(shown - 1 - 2, "the second page")
        self.keys("End")
        wait_for(lambda: page()[-1] == expected[-1], "the last row after End", interval=0.3)
        self.keys("Home")
        starts_at(0, "the first row after Home")
        # A file without times is not merged: the message names it and offers to open it on its own.
        self.keys("ctrl+shift+o")
        self.wait_active("Open Merged")
        self.session.type(f'"{logs[0]}" "{self.second}"')
        self.keys("Return")
        self.wait_active("Cannot Merge")
        self.keys("Return")
        self.wait_active(f"{TITLE} - second.log")

    def rotation_set_of_five_parts(self):
        """A log with four older parts beside it (the oldest compressed), opened by Ctrl+O: the strip offers the
        parts; Include Rotated Parts by its key tips shows the five as one log at the current part's end, and
        Ctrl+Home the oldest part's first line (decompressed when the view reached it)."""
        folder = os.path.join(self.session.tmp, "rotated")
        os.makedirs(folder, exist_ok=True)
        names = ["svc.log.4.gz", "svc.log.3", "svc.log.2", "svc.log.1", "svc.log"]
        for k, name in enumerate(names):
            data = "".join(f"part {4 - k} line {i}\n" for i in range(60)).encode()
            with open(os.path.join(folder, name), "wb") as f:
                f.write(gzip.compress(data) if name.endswith(".gz") else data)
        current = os.path.join(folder, "svc.log")

        def page():
            self.keys("ctrl+c")  # Copy Page: the rows on screen, without the source column
            time.sleep(0.2)
            return [line for line in self.session.clipboard().split("\n") if line]

        def include_rotated():
            self.back_to_rest()
            self.keys("alt")
            wait_for(self.shown_key_tips, "the key tips after Alt")
            for key in ("l", "r", "p"):
                self.keys(key)
                time.sleep(0.2)
        self.keys("ctrl+o")
        self.wait_active("Open")
        self.session.type(current)
        self.keys("Return")
        self.wait_active(f"{TITLE} - svc.log")
        wait_for(lambda: self.viewer.find(lambda a: "Older parts of this log: 4 files." in (a.get_name() or "")),
                 "the strip's offer of the older parts")
        include_rotated()
        self.viewer.element(Atspi.Role.PAGE_TAB, "svc.log (and 4 older parts)")
        self.back_to_rest()
        wait_for(lambda: (p := page()) and p[-1] == "part 0 line 59", "the current part's end", interval=0.3)
        self.keys("ctrl+Home")
        wait_for(lambda: (p := page()) and p[0] == "part 4 line 0", "the oldest part's first line on top",
                 interval=0.3)
        include_rotated()  # off again: the checks after this one open their logs alone
        self.restart()  # and start on the Options category

    def merge_with_on_a_tab_menu(self):
        """A tab's context menu, Merge With..., another window ticked: one merged window of both files."""
        other = os.path.join(self.session.tmp, "stamped-later.log")
        with open(other, "w") as f:
            for n in range(1, 101):
                f.write(f"2026-03-01 10:{n // 60:02d}:{n % 60:02d}.500 WARN other {n}\n")
        self.viewer.kill()
        self.viewer = Viewer(self.session, self.binary, [self.stamped, other])
        tab = self.viewer.element(Atspi.Role.PAGE_TAB, "stamped-later.log")
        box = tab.get_extents(Atspi.CoordType.SCREEN)
        self.session.run("xdotool", "mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2),
                         "click", "3")
        time.sleep(0.5)
        self.keys("Up", "Return")  # the last entry: Merge With...
        self.wait_active("Merge With")
        self.keys("space", "Return")  # the other window ticked, then OK
        title = "Merged: stamped-later.log, stamped.log"
        self.wait_active(f"{TITLE} - {title}")
        wait_for(lambda: self.visible("10:00:01.000 INFO line 1", "10:00:01.500 WARN other 1") ==
                 ["10:00:01.000 INFO line 1", "10:00:01.500 WARN other 1"], "rows of both files in the merged window",
                 interval=0.3)

    def total_chars(self):
        """The figure of the status bar's Total Chars pane (-1 while none reads so)."""
        bar = self.status_bar()
        pane = bar and find(bar, lambda a: re.search(r"Total Chars: \d+", f"{a.get_name()}\n{text_of(a)}"))
        found = pane and re.search(r"Total Chars: (\d+)", f"{pane.get_name()}\n{text_of(pane)}")
        return int(found.group(1)) if found else -1

    def journal_folder_opens_and_follows(self):
        """--journal-dir shows the journal files of a folder in a window titled by it, and follows new ones."""
        self.viewer.kill()
        self.viewer = Viewer(self.session, self.binary, ["--journal-dir", self.journal])
        title = f"Journal ({self.journal})"
        self.wait_active(f"{TITLE} - {title}")
        self.viewer.element(Atspi.Role.PAGE_TAB, title)
        # The window follows the end: the status bar's count of characters grows with the new entries.
        figure = wait_for(lambda: (n := self.total_chars()) > 0 and n, "the Total Chars pane")
        write_journal(self.journal, "second.journal", 300, 5)
        wait_for(lambda: self.total_chars() > figure, "the new entries in the window")
        self.restart()

    def command_window_follows_and_runs_again(self):
        """--command CMD: the command's output in a window as it arrives, how it ended in the strip, and Run Again
        in the strip, clicked, running it anew."""
        command = "echo first; sleep 2; echo second; exit 4"
        self.viewer.kill()
        self.viewer = Viewer(self.session, self.binary, ["--command", command])
        # The first line alone, unless a loaded machine started the viewer after the second came too.
        wait_for(lambda: self.total_chars() in (len("first\n"), len("first\nsecond\n")),
                 "the command's first line in the window")
        wait_for(lambda: self.total_chars() == len("first\nsecond\n"), "its second line, two seconds later")
        ended = "The command ended with status 4."
        wait_for(lambda: self.viewer.find(lambda a: ended in (a.get_name() or "")), "the strip's word of its end")
        self.session.click(self.viewer.element(Atspi.Role.PUSH_BUTTON, "Run Again"))
        wait_for(lambda: self.viewer.find(lambda a: "The command runs again." in (a.get_name() or "")),
                 "the strip's word that it runs again")
        wait_for(lambda: self.total_chars() == len("first\nsecond\n"), "the second run's text in its place")
        self.restart()

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


    def text_rows(self):
        """Where the text window's rows lie on the screen: its left edge, its top, and the height of a row. The
        text has no element of its own; its bars, which are always on, frame it (the tallest and the widest), and
        Copy Page counts its rows: the whole ones and the partial last."""
        def bars(vertical):
            found = find_all(self.viewer.frame, lambda a: a.get_role() == Atspi.Role.SCROLL_BAR and showing(a))
            boxes = [b.get_extents(Atspi.CoordType.SCREEN) for b in found]
            return [b for b in boxes if (b.height > b.width) == vertical]
        vbar = max(bars(True), key=lambda b: b.height)
        hbar = max(bars(False), key=lambda b: b.width)
        rows = len(self.viewer.copy_page().rstrip("\n").split("\n"))
        assert rows >= 6, f"only {rows} rows on the screen"
        # rows - 1 whole rows fill the height, the last one partly: the middle of that range is off by a fraction
        # of a pixel a row.
        return hbar.x, vbar.y, vbar.height / (rows - 0.5)

    def mouse_drag_copies_the_selection(self):
        """A drag with the real mouse from the start of the second row to past the end of the fourth, then Ctrl+C:
        the clipboard holds those three lines as the file does, without the last one's break."""
        self.restart()
        self.keys("ctrl+g")
        self.wait_active("Go to Line")
        self.session.type("1")
        self.keys("Return")
        wait_for(lambda: self.top_line().startswith("line 0001 "), "line 1 as the top row", interval=0.3)
        left, top, row = self.text_rows()
        y = [int(top + (k + 0.5) * row) for k in range(4)]
        self.session.run("xdotool", "mousemove", "--sync", str(left + 1), str(y[1]), "mousedown", "1")
        for k in (2, 3):  # through the rows between, as a hand moves
            self.session.run("xdotool", "mousemove", "--sync", str(left + 200), str(y[k]))
            time.sleep(0.1)
        self.session.run("xdotool", "mousemove", "--sync", str(left + 400), str(y[3]), "mouseup", "1")
        self.session.run("xdotool", "mousemove", "--sync", "2", "2")
        self.keys("ctrl+c")  # the clipboard held the page until now
        expected = "line 0002 filler\nline 0003 filler\nline 0004 filler"
        try:
            wait_for(lambda: self.session.clipboard() == expected, "the selection on the clipboard", timeout=4)
        except AssertionError:
            raise AssertionError(f"the clipboard after Ctrl+C: {self.session.clipboard()!r}, expected {expected!r}")

    def timeline_click_and_drag(self):
        """The Timeline check box shows the band above a log; a click on it shows that time's line at the top, a
        drag shows only the lines of its stretch of time, a double-click shows every line again."""
        self.viewer.kill()
        self.viewer = Viewer(self.session, self.binary, [self.stamped])  # 200 lines, one a second
        self.back_to_rest()
        self.keys("alt")
        wait_for(self.shown_key_tips, "the key tips after Alt")
        self.keys("l")
        # The Records panel is folded at this width: its tip opens it with its elements' tips.
        wait_for(lambda: "ZR" in self.shown_key_tips(), "the Records panel's tip")
        self.keys("z", "r")
        wait_for(lambda: "TL" in self.shown_key_tips(), "the tips of the Records panel's elements")
        def band():
            return self.viewer.find(lambda a: a.get_name() == "Timeline" and a.get_role() != CHECK_BOX and showing(a))
        if not band():
            self.keys("t", "l")
        wait_for(band, "the timeline band after Timeline by its tips")
        # Started again on the Options category (Copy Page reads the screen from there): the setting is kept.
        self.viewer.kill()
        self.viewer = Viewer(self.session, self.binary, [self.stamped])
        band = wait_for(lambda: self.viewer.find(lambda a: a.get_name() == "Timeline" and a.get_role() != CHECK_BOX
                                                 and showing(a)), "the timeline band")
        wait_for(lambda: "info 200" in (band.get_description() or ""), "the band's totals in its description")
        box = band.get_extents(Atspi.CoordType.SCREEN)
        y = box.y + box.height // 2

        def at(share):
            return box.x + int(box.width * share)

        def numbers():
            return [int(line.rsplit(" ", 1)[1]) for line in self.viewer.copy_page().split("\n") if "line " in line]

        self.session.run_click(at(0.25), y)
        wait_for(lambda: 40 <= numbers()[0] <= 60, "a line near the first quarter's time at the top", interval=0.3)
        self.session.run("xdotool", "mousemove", "--sync", str(at(0.5)), str(y), "mousedown", "1")
        for share in (0.55, 0.6, 0.65):
            self.session.run("xdotool", "mousemove", "--sync", str(at(share)), str(y))
            time.sleep(0.1)
        self.session.run("xdotool", "mousemove", "--sync", str(at(0.7)), str(y), "mouseup", "1")
        self.session.run("xdotool", "mousemove", "--sync", "2", "2")
        wait_for(lambda: all(95 <= n <= 145 for n in numbers()) and len(numbers()) > 20,
                 "only the lines of the dragged stretch", interval=0.3)
        self.session.run("xdotool", "mousemove", "--sync", str(at(0.1)), str(y), "click", "--repeat", "2", "1")
        self.session.run("xdotool", "mousemove", "--sync", "2", "2")
        time.sleep(0.5)
        self.session.run_click(at(0.1), y)  # no longer held to the stretch: the line of that time itself
        wait_for(lambda: 15 <= numbers()[0] <= 25, "every line again after a double-click", interval=0.3)

    def reopen_last_session_brings_both_files_back(self):
        """Two files open, the viewer closed and started again without files: Reopen Last Session in the File
        menu opens both again."""
        self.restart()
        self.ctrl_o_opens_a_typed_path()
        tabs = {"big.log", "second.log"}

        def open_tabs():
            return {a.get_name() for a in find_all(self.viewer.frame, role_named(Atspi.Role.PAGE_TAB))}
        wait_for(lambda: tabs <= open_tabs(), f"the tabs {sorted(tabs)}")
        self.viewer.close_by_window_manager()  # the session is kept as the main window closes
        self.viewer = Viewer(self.session, self.binary, [])
        assert not tabs & open_tabs(), f"tabs at a start without files: {open_tabs()}"
        self.session.click(wait_for(lambda: self.viewer.find(
            lambda a: a.get_name() == "File" and "button" in a.get_role_name()), "the application button"))
        reopen = wait_for(lambda: find(self.viewer.app, role_named(BUTTON, "Reopen Last Session")),
                          "Reopen Last Session in the File menu")
        self.session.click(reopen)
        wait_for(lambda: tabs <= open_tabs(), f"the tabs {sorted(tabs)} after Reopen Last Session")
        self.restart()  # on the one file the later checks expect

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
            ("a stop rule holds while a logger writes line by line", suite.stop_rule_holds_while_lines_arrive),
            ("a Go to refusal is an alert", suite.go_to_refusal_is_an_alert),
            ("the F1 page reads row by row", suite.f1_page_reads_row_by_row),
            ("the rule editor's colour buttons are named", suite.rule_editor_colour_buttons_are_named),
            ("Ctrl+Shift+R, then F3 finds a pattern", suite.ctrl_shift_r_makes_f3_take_a_pattern),
            ("Ctrl+Shift+L lists the lines, Return shows one", suite.ctrl_shift_l_lists_and_return_shows),
            ("a rule typed in the Filters pane, then Ctrl+Shift+H", suite.filters_pane_typed_rule_hides_lines),
            ("Ctrl+O, a typed path, Return", suite.ctrl_o_opens_a_typed_path),
            ("--journal-dir opens a journal folder and follows it", suite.journal_folder_opens_and_follows),
            ("--command shows a command's output, its end, and Run Again", suite.command_window_follows_and_runs_again),
            ("New Window and Ctrl+Tab", suite.new_window_and_ctrl_tab),
            ("a merged window of three logs, paged by keys", suite.merged_window_pages_three_logs),
            ("Merge With... on a tab's context menu", suite.merge_with_on_a_tab_menu),
            ("a rotation set of five parts, Include Rotated Parts and Ctrl+Home", suite.rotation_set_of_five_parts),
            ("Enter in the Font dialog is OK", suite.font_dialog_enter_is_ok),
            ("the current tab is selected for a screen reader", suite.current_tab_is_selected),
            ("open drop-downs are in the accessibility tree", suite.drop_downs_are_in_the_tree),
            ("every key tip on show acts by real keys", suite.every_key_tip_acts),
            ("a collapsed panel's tip shows its elements' tips", suite.collapsed_panel_tips_act),
            ("a drag with the mouse, then Ctrl+C copies the selection", suite.mouse_drag_copies_the_selection),
            ("the timeline: a click, a drag and a double-click", suite.timeline_click_and_drag),
            ("Reopen Last Session brings both files back", suite.reopen_last_session_brings_both_files_back),
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
