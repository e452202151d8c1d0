#!/usr/bin/python3
"""Drives the custom windows of ui_probe.exe in a real X server (Xvfb) with xdotool and checks
screenshots pixel by pixel.

Usage: gui_test.py WINEPREFIX PROBE_EXE
DISPLAY must name an X server without a window manager (tools/with-xvfb). The README's screenshots
come from the real Uninstall.exe, taken by the whole-program test.
"""
import os
import queue
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import xdesk  # noqa: E402
from xdesk import (ALTERNATE_Y, CANCEL_Y, CHOICE_NAME, CLOSE_CENTRE, NOTICE_NAME,  # noqa: E402
                   PRIMARY_Y, Screen, button_centre, click_at, give_keys, move, run, visible_windows,
                   wait_for_painted_window, wait_until, window_tree)

LAUNCHER_ONLY = "Лаунчер удалён. Файлы Minecraft в папке сохранены."
FULL = "Удалено всё в папке установки."

# Colours as (r, g, b).
FRAME = (48, 54, 68)
CARD_FILL = (16, 20, 30)
BUTTON_BACK = (18, 22, 32)
HEADING = (240, 242, 248)
CLOSE_NORMAL = (120, 128, 140)
CLOSE_HOVER = (230, 234, 240)
WHITE = (255, 255, 255)
ICON = (70, 200, 140)
REMOVAL = {"accent": (232, 120, 110), "light": (255, 160, 150), "card_border": (80, 40, 38)}
STANDARD = {"accent": (201, 162, 84), "light": (232, 200, 120), "card_border": (70, 58, 36)}
DANGER, DANGER_PRESSED, DANGER_BORDER = (210, 95, 88), (180, 70, 64), (120, 40, 36)
SECONDARY, SECONDARY_PRESSED, SECONDARY_BORDER = (28, 34, 48), (40, 48, 64), (70, 80, 100)

TRACK = (36, 42, 58)
BODY = (156, 168, 186)

CLOSE_GLYPH = (454, 10, 490, 46)

# The progress window keeps the dialog's caption; only its card reaches down to here.
PROGRESS_NAME = CHOICE_NAME
PROGRESS_MARK = (465, 250)
STAGE_BOX, TRACK_BOX, COUNT_BOX = (46, 142, 454, 166), (46, 182, 454, 192), (46, 210, 454, 238)
TRACK_ROW = 187


class Failures:
    def __init__(self):
        self.items = []

    def check(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what, flush=True)
        if not ok:
            self.items.append(what)


failures = Failures()


def near(a, b, tolerance):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def brightest(pixels):
    return max(pixels, key=sum)


class Probe:
    """One run of ui_probe.exe under Wine; its windows are found by name with xdotool."""

    def __init__(self, prefix, exe, *args):
        command = 'source "$1/tools/wine-env" "$2"; shift 2; exec wine "$@"'
        self.process = subprocess.Popen(["bash", "-c", command, "bash", ROOT, prefix, exe, *args],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.lines = []
        self.said = queue.Queue()  # its lines as it prints them; None once it has closed its output
        threading.Thread(target=self._listen, daemon=True).start()

    def _listen(self):
        for line in self.process.stdout:
            self.said.put(line.rstrip("\n"))
        self.said.put(None)

    def wait_for_line(self, expected):
        """Waits (bounded) for the probe to print the line."""
        line = ""
        while line not in (expected, None):
            try:
                line = self.said.get(timeout=60)
            except queue.Empty:
                line = None
            if line is not None:
                self.lines.append(line)
        if line != expected:
            self.end()
            raise RuntimeError(f"the probe never said {expected!r} ({self.lines})")

    def window(self, name):
        """Waits (bounded) for the probe to say "shown" (its window made, placed and painted) and
        for the window to be mapped; returns (id, x, y)."""
        self.wait_for_line("shown")
        for _ in range(120):
            found = run("xdotool", "search", "--onlyvisible", "--name", name, check=False).split()
            if found:
                wid = found[-1]
                return wid, *self.position(wid)
            if self.process.poll() is not None:
                break
            time.sleep(0.25)
        self.end()
        raise RuntimeError(f"window {name!r} did not appear")

    @staticmethod
    def position(wid):
        shell = run("xdotool", "getwindowgeometry", "--shell", wid)
        values = dict(line.split("=", 1) for line in shell.split())
        return int(values["X"]), int(values["Y"])

    def finish(self):
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.end()
            raise
        while (line := self.said.get(timeout=60)) is not None:
            self.lines.append(line)
        return self.lines, self.process.returncode

    def end(self):
        """Ends the probe by its handle (wine runs it as this very process), so that its window
        does not linger into the next test."""
        self.process.kill()
        self.process.wait()

    def alive(self):
        return self.process.poll() is None


def wait_for(predicate, seconds=60):
    """Polls screenshots until the predicate holds (painting is asynchronous); returns the last one.
    The deadline only bounds a hang: on a loaded machine a repaint may take many seconds."""
    deadline = time.monotonic() + seconds
    while True:
        screen = Screen()
        if predicate(screen) or time.monotonic() > deadline:
            return screen
        time.sleep(0.2)


def close_glyph_brightest(screen, wx, wy):
    left, top, right, bottom = CLOSE_GLYPH
    return brightest(screen.region(wx + left, wy + top, wx + right, wy + bottom))


def expect_result(probe, expected, what):
    lines, code = probe.finish()
    failures.check(f"result {expected}" in lines and code == 0, f"{what}: result {expected} (saw {lines}, exit {code})")


def check_frame(screen, base, wx, wy, height, palette, label, card_bottom=228, glyph=True):
    c = failures.check
    px = lambda x, y: screen.at(wx + x, wy + y)
    for x, y in [(100, 1), (100, 2), (400, 2)]:
        c(px(x, y) == palette["accent"], f"{label}: accent strip at ({x},{y}) {px(x, y)}")
    for x, y in [(100, 0), (0, height // 2), (499, height // 2), (250, height - 1)]:
        c(px(x, y) == FRAME, f"{label}: frame at ({x},{y}) {px(x, y)}")
    for x, y in [(0, 0), (499, 0), (0, height - 1), (499, height - 1)]:
        c(px(x, y) == base.at(wx + x, wy + y), f"{label}: corner ({x},{y}) clipped by the region")
    c(near(px(10, 10), (10, 12, 18), 2), f"{label}: gradient near top {px(10, 10)}")
    c(near(px(10, height - 10), (18, 22, 32), 2), f"{label}: gradient near bottom {px(10, height - 10)}")
    c(px(465, 170) == CARD_FILL, f"{label}: card fill {px(465, 170)}")
    for x, y in [(28, 170), (250, 122), (465, card_bottom - 1)]:
        c(px(x, y) == palette["card_border"], f"{label}: card border at ({x},{y}) {px(x, y)}")
    for x, y in [(29, 170), (31, 140), (30, card_bottom - 30)]:
        c(px(x, y) == palette["accent"], f"{label}: card accent bar at ({x},{y}) {px(x, y)}")
    c(px(32, 170) == CARD_FILL and px(30, 131) == CARD_FILL, f"{label}: card accent bar ends where it should")
    c(px(48, 42) == ICON, f"{label}: icon drawn at 28,22 size 40 {px(48, 42)}")
    c(palette["light"] in screen.region(wx + 80, wy + 24, wx + 300, wy + 58), f"{label}: brand text in light accent")
    c(HEADING in screen.region(wx + 28, wy + 78, wx + 200, wy + 112), f"{label}: heading text colour")
    if glyph:
        c(near(close_glyph_brightest(screen, wx, wy), CLOSE_NORMAL, 8),
          f"{label}: close glyph normal {close_glyph_brightest(screen, wx, wy)}")
    else:
        c(near(close_glyph_brightest(screen, wx, wy), (11, 13, 20), 3),
          f"{label}: no close glyph {close_glyph_brightest(screen, wx, wy)}")


def check_button(screen, wx, wy, top, fill, border, label):
    px = lambda x, y: screen.at(wx + x, wy + y)
    failures.check(px(40, top + 20) == fill, f"{label}: fill {px(40, top + 20)}, expected {fill}")
    failures.check(px(28, top + 20) == border and px(455, top + 20) == border, f"{label}: border {px(28, top + 20)}")
    failures.check(px(28, top) == BUTTON_BACK, f"{label}: rounded corner over {BUTTON_BACK} {px(28, top)}")


# The focus frame is white where white stands out 3:1 from the button, else the button's text colour.
PRIMARY_TEXT = (18, 14, 10)
FRAME_ON = {PRIMARY_Y: PRIMARY_TEXT, ALTERNATE_Y: WHITE, CANCEL_Y: WHITE, 210: PRIMARY_TEXT}


def focus_frame_at(screen, wx, wy, top):
    colour = FRAME_ON[top]
    return screen.at(wx + 31, wy + top + 20) == colour and screen.at(wx + 100, wy + top + 3) == colour


def luminance(colour):
    def channel(value):
        c = value / 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = colour
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def test_choice_look_and_primary(prefix, exe, base):
    move(5, 5)
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = probe.window(CHOICE_NAME)
    failures.check((wx, wy) == ((base.width - 500) // 2, (base.height - 500) // 2),
                   f"choice: centred on the screen at {(wx, wy)}")
    screen = wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    check_frame(screen, base, wx, wy, 500, REMOVAL, "choice")
    check_button(screen, wx, wy, PRIMARY_Y, REMOVAL["light"], REMOVAL["accent"], "choice primary")
    check_button(screen, wx, wy, ALTERNATE_Y, DANGER, DANGER_BORDER, "choice danger")
    check_button(screen, wx, wy, CANCEL_Y, SECONDARY, SECONDARY_BORDER, "choice secondary")
    failures.check(not any(focus_frame_at(screen, wx, wy, t) for t in (PRIMARY_Y, ALTERNATE_Y, CANCEL_Y)),
                   "choice: no initial focus frame")
    click_at(*button_centre(wx, wy, PRIMARY_Y))
    expect_result(probe, 1, "choice: primary button")


def test_buttons_give_results(prefix, exe):
    for top, expected, label in [(ALTERNATE_Y, 3, "alternate"), (CANCEL_Y, 2, "cancel")]:
        probe = Probe(prefix, exe, "choice")
        wid, wx, wy = probe.window(CHOICE_NAME)
        wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
        click_at(*button_centre(wx, wy, top))
        expect_result(probe, expected, f"choice: {label} button")


def test_pressed_fills(prefix, exe):
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    for top, pressed, label in [(PRIMARY_Y, REMOVAL["accent"], "primary"), (ALTERNATE_Y, DANGER_PRESSED, "danger"),
                                (CANCEL_Y, SECONDARY_PRESSED, "secondary")]:
        move(*button_centre(wx, wy, top))
        run("xdotool", "mousedown", "1")
        screen = wait_for(lambda s: s.at(wx + 40, wy + top + 20) == pressed)
        failures.check(screen.at(wx + 40, wy + top + 20) == pressed,
                       f"pressed {label}: fill {screen.at(wx + 40, wy + top + 20)}, expected {pressed}")
        # Leave the button before releasing it, so nothing is activated.
        move(wx + 250, wy + 450)
        wait_for(lambda s: s.at(wx + 40, wy + top + 20) != pressed)
        run("xdotool", "mouseup", "1")
    failures.check(probe.alive(), "pressed: releasing outside a button activates nothing")
    post_close(prefix, exe, "KoraVaneUninstallUI")
    expect_result(probe, 0, "pressed: window then closed from outside")


def post_close(prefix, exe, class_name):
    helper = Probe(prefix, exe, "post-close", class_name)
    _, code = helper.finish()
    failures.check(code == 0, f"post-close helper found {class_name}")


def test_close_glyph(prefix, exe):
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    glyph = lambda s: close_glyph_brightest(s, wx, wy)
    move(wx + CLOSE_CENTRE[0], wy + CLOSE_CENTRE[1])
    screen = wait_for(lambda s: near(glyph(s), CLOSE_HOVER, 8))
    failures.check(near(glyph(screen), CLOSE_HOVER, 8), f"close glyph on hover {glyph(screen)}")
    move(wx + 250, wy + 30)  # header band: hit testing clears the hover
    screen = wait_for(lambda s: near(glyph(s), CLOSE_NORMAL, 8))
    failures.check(near(glyph(screen), CLOSE_NORMAL, 8), f"close glyph after leaving to the header {glyph(screen)}")
    move(wx + CLOSE_CENTRE[0], wy + CLOSE_CENTRE[1])
    wait_for(lambda s: near(glyph(s), CLOSE_HOVER, 8))
    move(wx + 250, wy + 170)  # card: a mouse move outside the glyph clears it
    screen = wait_for(lambda s: near(glyph(s), CLOSE_NORMAL, 8))
    failures.check(near(glyph(screen), CLOSE_NORMAL, 8), f"close glyph after leaving to the card {glyph(screen)}")
    click_at(wx + CLOSE_CENTRE[0], wy + CLOSE_CENTRE[1])
    expect_result(probe, 2, "close glyph click")

    # The release decides: a press on the card released over the glyph also closes.
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    move(wx + 250, wy + 170)
    run("xdotool", "mousedown", "1")
    move(wx + CLOSE_CENTRE[0], wy + CLOSE_CENTRE[1])
    run("xdotool", "mouseup", "1")
    expect_result(probe, 2, "press on the card, release over the close glyph")


def keys(prefix, exe, probe, name, *names):
    """The probe's window once painted and given the keyboard, then the keys; returns (wid, wx, wy)."""
    wid, wx, wy = probe.window(name)
    choice = name == CHOICE_NAME
    (x, y), colour = ((40, CANCEL_Y + 20), SECONDARY) if choice else ((40, 230), STANDARD["light"])
    wait_for(lambda s: s.at(wx + x, wy + y) == colour)
    give_keys(prefix, exe, "KoraVaneUninstallUI" if choice else "KoraVaneUpdaterUI", wid, *names)
    return wid, wx, wy


def test_keyboard(prefix, exe):
    # Enter chooses nothing in the dialog; Escape is Cancel.
    probe = Probe(prefix, exe, "choice")
    keys(prefix, exe, probe, CHOICE_NAME, "Return", "KP_Enter", "Escape")
    expect_result(probe, 2, "choice: Enter leaves the dialog open, Escape cancels")

    # The first choice has the focus on open: Space activates it, no Tab needed.
    probe = Probe(prefix, exe, "choice")
    keys(prefix, exe, probe, CHOICE_NAME, "space")
    expect_result(probe, 1, "choice: Space at once activates the first choice")

    # Tab walks on from the first choice: alternate, cancel, primary again, alternate; Space.
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = keys(prefix, exe, probe, CHOICE_NAME)
    tops = [PRIMARY_Y, ALTERNATE_Y, CANCEL_Y]
    for step, top in enumerate([ALTERNATE_Y, CANCEL_Y, PRIMARY_Y, ALTERNATE_Y], 1):
        run("xdotool", "key", "--window", wid, "Tab")
        screen = wait_for(lambda s: focus_frame_at(s, wx, wy, top))
        framed = [t for t in tops if focus_frame_at(screen, wx, wy, t)]
        failures.check(framed == [top], f"Tab {step}: focus frame on the button at y {top} (framed: {framed})")
        frame, fill = screen.at(wx + 31, wy + top + 20), screen.at(wx + 40, wy + top + 20)
        failures.check(contrast(frame, fill) >= 3,
                       f"Tab {step}: the frame {frame} stands out 3:1 from the fill {fill} ({contrast(frame, fill):.2f})")
    run("xdotool", "key", "--window", wid, "space")
    expect_result(probe, 3, "Space on the focused alternate button")

    # A notice: Tab shows the frame on its one button, which has the focus; Enter closes it, and
    # so does Escape.
    probe = Probe(prefix, exe, "notice", FULL)
    wid, wx, wy = keys(prefix, exe, probe, NOTICE_NAME, "Tab")
    screen = wait_for(lambda s: focus_frame_at(s, wx, wy, 210))
    failures.check(focus_frame_at(screen, wx, wy, 210), "notice: Tab shows the focus frame on Закрыть")
    frame, fill = screen.at(wx + 31, wy + 230), screen.at(wx + 40, wy + 230)
    failures.check(contrast(frame, fill) >= 3, f"notice: the frame {frame} stands out 3:1 from {fill}")
    run("xdotool", "key", "--window", wid, "Return")
    expect_result(probe, 1, "notice: Enter closes it")
    probe = Probe(prefix, exe, "notice", FULL)
    keys(prefix, exe, probe, NOTICE_NAME, "Escape")
    expect_result(probe, 2, "notice: Escape closes it")


def drag(wid, x, y, dx, dy, moves_window):
    """Presses, moves in steps and releases. When the window should follow, each step waits until
    it has (Wine's own move loop runs behind the X events); otherwise it pauses briefly."""
    origin = Probe.position(wid)
    move(x, y)
    run("xdotool", "mousedown", "1")
    time.sleep(0.3)
    for step in range(1, 5):
        move(x + dx * step // 4, y + dy * step // 4)
        target = (origin[0] + dx * step // 4, origin[1] + dy * step // 4)
        for _ in range(25 if moves_window else 2):
            if Probe.position(wid) == target:
                break
            time.sleep(0.1)
    run("xdotool", "mouseup", "1")
    time.sleep(0.3)


def test_drag(prefix, exe):
    probe = Probe(prefix, exe, "choice")
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    drag(wid, wx + 200, wy + 55, 60, 40, True)  # last row of the header band
    moved = Probe.position(wid)
    failures.check(moved == (wx + 60, wy + 40), f"dragging the header band moves the window: {(wx, wy)} -> {moved}")
    wx, wy = moved
    drag(wid, wx + 200, wy + 56, 60, 40, False)  # first row below the band
    drag(wid, wx + 200, wy + 430, -50, 30, False)
    still = Probe.position(wid)
    failures.check(still == (wx, wy), f"dragging below the band does not move it: {(wx, wy)} -> {still}")
    click_at(*button_centre(wx, wy, CANCEL_Y))
    expect_result(probe, 2, "cancel button after the window moved")


def test_notice(prefix, exe, base):
    move(5, 5)
    probe = Probe(prefix, exe, "notice", LAUNCHER_ONLY)
    wid, wx, wy = probe.window(NOTICE_NAME)
    failures.check((wx, wy) == ((base.width - 500) // 2, (base.height - 300) // 2),
                   f"notice: centred on the screen at {(wx, wy)}")
    screen = wait_for(lambda s: s.at(wx + 40, wy + 230) == STANDARD["light"])
    check_frame(screen, base, wx, wy, 300, STANDARD, "notice")
    check_button(screen, wx, wy, 210, STANDARD["light"], STANDARD["accent"], "notice primary")
    px = lambda x, y: screen.at(wx + x, wy + y)
    failures.check(px(250, 227) == STANDARD["light"] and px(465, 215) == CARD_FILL,
                   "notice: the button covers the lower part of the card")
    failures.check(screen.at(wx + 250, wy + 300) == base.at(wx + 250, wy + 300), "notice: 300 pixels high")
    click_at(wx + CLOSE_CENTRE[0], wy + CLOSE_CENTRE[1])
    expect_result(probe, 2, "notice: close glyph")

    move(5, 5)  # away from where the next window's close glyph will be
    probe = Probe(prefix, exe, "show-notice", "  \n" + FULL + "\n ")
    # show_notice says nothing before it returns: the window counts as placed once painted.
    found = wait_for_painted_window(NOTICE_NAME, (40, 230), STANDARD["light"], probe.alive)
    if not found:
        probe.end()
        raise RuntimeError("show_notice's window was never painted")
    wid, wx, wy = found
    click_at(*button_centre(wx, wy, 210))
    lines, code = probe.finish()
    failures.check(lines == ["closed"] and code == 0, f"show_notice returns after Закрыть ({lines})")


PARTIAL_LAUNCHER_ONLY = "Лаунчер удалён не полностью: некоторые файлы заняты другими программами."
PARTIAL_FULL = "Удалено не всё: некоторые файлы заняты другими программами и остались в папке установки."


def text_rows(screen, wx, wy, left, top, right, bottom):
    """The rows of the card's inside that hold anything but its fill, grouped into runs of
    neighbouring rows (the lines of text), and whether any such pixel lies outside the text box."""
    rows, outside = [], False
    for y in range(127, 210):  # inside the card's border and its rounded corners, above the button
        marked = [x for x in range(33, 467) if screen.at(wx + x, wy + y) != CARD_FILL]
        if marked:
            rows.append(y)
            outside = outside or y < top or y >= bottom or min(marked) < left or max(marked) >= right
    lines = [r for i, r in enumerate(rows) if i == 0 or rows[i - 1] != r - 1]
    return len(lines), outside


def test_partial_notices(prefix, exe):
    """The longer texts a notice shows when something stayed wrap onto more lines inside the card."""
    for text, label in [(PARTIAL_LAUNCHER_ONLY, "launcher-only"), (PARTIAL_FULL, "full")]:
        move(5, 5)
        probe = Probe(prefix, exe, "notice", text)
        wid, wx, wy = probe.window(NOTICE_NAME)
        screen = wait_for(lambda s: s.at(wx + 40, wy + 230) == STANDARD["light"])
        lines, outside = text_rows(screen, wx, wy, 46, 136, 458, 216)
        failures.check(lines >= 2 and not outside,
                       f"partial notice ({label}): {lines} lines of text, all inside the card's text box")
        click_at(*button_centre(wx, wy, 210))
        expect_result(probe, 1, f"partial notice ({label}): closed")


def test_two_windows_and_outside_close(prefix, exe):
    probe = Probe(prefix, exe, "two")
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    click_at(*button_centre(wx, wy, ALTERNATE_Y))
    wid, wx, wy = probe.window(NOTICE_NAME)
    screen = wait_for(lambda s: s.at(wx + 40, wy + 230) == STANDARD["light"])
    failures.check(screen.at(wx + 100, wy + 2) == STANDARD["accent"], "second window paints with its own palette")
    click_at(*button_centre(wx, wy, 210))
    lines, code = probe.finish()
    failures.check(lines == ["shown", "result 3", "shown", "result 1"] and code == 0,
                   f"two windows in a row on one thread ({lines})")

    probe = Probe(prefix, exe, "notice", FULL)
    probe.window(NOTICE_NAME)
    post_close(prefix, exe, "KoraVaneUpdaterUI")
    expect_result(probe, 0, "notice closed from outside")


def test_without_window(prefix, exe):
    probe = Probe(prefix, exe, "null-loop")
    lines, code = probe.finish()
    failures.check(lines == ["returned"] and code == 0, f"loop without a window returns at once ({lines})")


class Flag:
    """The file whose existence ends the probe's fake removal, in the prefix's drive C."""

    def __init__(self, prefix, name):
        folder = os.path.join(prefix, "drive_c", "koravane-ui")
        os.makedirs(folder, exist_ok=True)
        self.path = os.path.join(folder, name)
        if os.path.exists(self.path):
            os.remove(self.path)
        self.windows = "C:\\koravane-ui\\" + name

    def raise_(self):
        open(self.path, "w").close()


def painted_progress(probe):
    found = wait_for_painted_window(PROGRESS_NAME, PROGRESS_MARK, CARD_FILL, probe.alive, height=300)
    if found is None:
        raise RuntimeError("the progress window did not appear")
    return found


def box_pixels(screen, wx, wy, box):
    left, top, right, bottom = box
    return screen.region(wx + left, wy + top, wx + right, wy + bottom)


def count_advances(wx, wy, times):
    """Whether the count on screen changes `times` times in a row (each within the deadline)."""
    before = box_pixels(Screen(), wx, wy, COUNT_BOX)
    for _ in range(times):
        screen = wait_for(lambda s: box_pixels(s, wx, wy, COUNT_BOX) != before)
        after = box_pixels(screen, wx, wy, COUNT_BOX)
        if after == before:
            return False
        before = after
    return True


def painted_notice(probe):
    probe.window(NOTICE_NAME)
    found = wait_for_painted_window(NOTICE_NAME, (40, 230), STANDARD["light"], probe.alive)
    if found is None:
        raise RuntimeError("the notice did not appear")
    return found


def test_progress(prefix, exe, base):
    c = failures.check
    move(5, 5)
    flag = Flag(prefix, "progress-main")
    probe = Probe(prefix, exe, "progress", flag.windows)
    wid, wx, wy = painted_progress(probe)
    c((wx, wy) == ((base.width - 500) // 2, (base.height - 300) // 2), f"progress: centred on the screen at {(wx, wy)}")
    screen = Screen()
    check_frame(screen, base, wx, wy, 300, REMOVAL, "progress", card_bottom=272, glyph=False)
    px = lambda x, y: screen.at(wx + x, wy + y)
    c(px(30, 261) == REMOVAL["accent"] and px(30, 262) == CARD_FILL, "progress: card accent bar ends 10 above the card")
    c(screen.at(wx + 250, wy + 300) == base.at(wx + 250, wy + 300), "progress: 300 pixels high")
    c(px(250, 250) == CARD_FILL and px(40, 250) == CARD_FILL, "progress: no buttons over the card")
    row = [px(x, TRACK_ROW) for x in range(TRACK_BOX[0] + 2, TRACK_BOX[2] - 2)]
    c(TRACK in row and REMOVAL["accent"] in row, f"progress: bar track {TRACK} with an accent segment")
    c(set(row) <= {TRACK, REMOVAL["accent"]}, f"progress: the bar row holds only track and accent {set(row)}")
    c(BODY in box_pixels(screen, wx, wy, STAGE_BOX), "progress: stage line in the body colour")
    c(HEADING in box_pixels(screen, wx, wy, COUNT_BOX), "progress: count in the heading colour")

    c(count_advances(wx, wy, 3), "progress: the count on screen advances while the work runs")
    segment = lambda s: [s.at(wx + x, wy + TRACK_ROW) for x in range(TRACK_BOX[0], TRACK_BOX[2])]
    first = segment(Screen())
    moved_on = wait_for(lambda s: segment(s) != first)
    c(segment(moved_on) != first, "progress: the marquee moves along the track")

    run("xdotool", "windowfocus", "--sync", wid)
    run("xdotool", "key", "--window", wid, "Escape", "alt+F4")
    post_close(prefix, exe, "KoraVaneUninstallUI")
    # Keys and posted messages go before timer ticks: a count drawn twice more means all were handled.
    ignored = count_advances(wx, wy, 2) and probe.alive()
    c(ignored, "progress: Escape, Alt+F4 and WM_CLOSE from another program are ignored")
    if not ignored:  # the window is gone: end the probe, whose fake work would wait for ever
        probe.process.kill()
        probe.finish()
        return

    drag(wid, wx + 200, wy + 30, 60, 40, True)
    moved = Probe.position(wid)
    c(moved == (wx + 60, wy + 40), f"progress: dragging the header moves it: {(wx, wy)} -> {moved}")
    c(count_advances(*moved, 1), "progress: the count still advances after the move")

    flag.raise_()
    _, nx, ny = painted_notice(probe)
    c((nx, ny) == moved, f"progress: the notice opens where the progress window stood: {(nx, ny)}")
    click_at(*button_centre(nx, ny, 210))
    lines, code = probe.finish()
    centre = f"done {moved[0] + 250} {moved[1] + 150}"
    c(lines == [centre, "threads kept apart", "shown", "closed"] and code == 0,
      f"progress: ends once the work ends, then the notice ({lines})")


def test_progress_determinate(prefix, exe):
    c = failures.check
    move(5, 5)
    flag = Flag(prefix, "progress-known")
    probe = Probe(prefix, exe, "progress", flag.windows, "3", "4")
    wid, wx, wy = painted_progress(probe)
    bar = lambda s: [s.at(wx + x, wy + TRACK_ROW) for x in (60, 200, 340, 360, 440)]
    accent, track = REMOVAL["accent"], TRACK
    expected = [accent, accent, accent, track, track]  # 3/4 of 408 pixels: the fill ends at x 352
    screen = wait_for(lambda s: bar(s) == expected)
    c(bar(screen) == expected, f"determinate bar filled to three quarters {bar(screen)}")
    c(count_advances(wx, wy, 1) and bar(Screen()) == expected, "determinate bar holds while the count runs on")
    flag.raise_()
    _, nx, ny = painted_notice(probe)
    c((nx, ny) == (wx, wy), f"determinate: the notice takes the progress window's place {(nx, ny)}")
    post_close(prefix, exe, "KoraVaneUpdaterUI")
    lines, code = probe.finish()
    c(lines == [f"done {wx + 250} {wy + 150}", "threads kept apart", "shown", "closed"] and code == 0,
      f"determinate: done, then the notice ({lines})")


def test_choice_then_progress(prefix, exe):
    c = failures.check
    move(5, 5)
    flag = Flag(prefix, "progress-sequence")
    probe = Probe(prefix, exe, "choice-then-progress", flag.windows)
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    # Off the centre first, so following the dialog is told apart from centring.
    drag(wid, wx + 200, wy + 30, -100, -60, True)
    dx, dy = Probe.position(wid)
    click_at(*button_centre(dx, dy, ALTERNATE_Y))
    _, px, py = painted_progress(probe)
    c((px, py) == (dx, dy + 100), f"sequence: the progress window keeps the dialog's centre ({(dx, dy)} -> {(px, py)})")
    flag.raise_()
    _, nx, ny = painted_notice(probe)
    c((nx, ny) == (px, py), f"sequence: the notice takes the progress window's place {(nx, ny)}")
    click_at(*button_centre(nx, ny, 210))
    lines, code = probe.finish()
    c(lines == ["shown", "result 3", f"done {px + 250} {py + 150}", "threads kept apart", "shown", "closed"]
      and code == 0, f"sequence: dialog, progress, notice ({lines})")

    # Alt+F4 does reach a custom window: the dialog, which may close, closes with no answer.
    probe = Probe(prefix, exe, "choice-then-progress", flag.windows)
    wid, wx, wy = probe.window(CHOICE_NAME)
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    run("xdotool", "windowfocus", "--sync", wid)
    run("xdotool", "key", "--window", wid, "alt+F4")
    lines, code = probe.finish()
    c(lines == ["shown", "result 0"] and code == 0,
      f"sequence: Alt+F4 closes the dialog with none, no progress ({lines})")


def notice_stays(probe, what):
    """The notice once painted, and still on screen a second later (the time a person needs to
    see it at all)."""
    found = wait_for_painted_window(NOTICE_NAME, (40, 230), STANDARD["light"], probe.alive)
    failures.check(found is not None, f"{what}: the notice is painted")
    if found is None:
        return None
    time.sleep(1)  # the check itself: "still shown a second later"
    still = probe.alive() and found[0] in visible_windows(NOTICE_NAME)
    failures.check(still, f"{what}: the notice is still shown a second later")
    return found if still else None


class WindowManager:
    """A window manager on the test's display for as long as the block runs. Without one, Wine
    waits two seconds for a closed window to be withdrawn, and a notice comes far too late to be
    hit by the second click of a double click."""

    def __enter__(self):
        self.process = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Ready once it announces itself on the root window.
        if not wait_until(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False), 60):
            self.__exit__()
            raise RuntimeError("the window manager did not start")
        return self

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait(timeout=60)


def test_double_click_keeps_notice(prefix, exe):
    """A double click on Удалить всё: the notice opens where the dialog was, under the second
    click, which began before anyone could see it. The notice stays; a click then closes it."""
    with WindowManager():
        for delay in (120, 250):
            what = f"double click {delay} ms"
            move(5, 5)
            probe = Probe(prefix, exe, "two")
            wid, wx, wy = probe.window(CHOICE_NAME)
            wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
            move(*button_centre(wx, wy, ALTERNATE_Y))
            run("xdotool", "click", "--repeat", "2", "--delay", str(delay), "1")
            found = notice_stays(probe, what)
            if found is None:
                lines, code = probe.finish() if not probe.alive() else (probe.lines, None)
                failures.check(False, f"{what}: closed unseen ({lines})")
                probe.end()
                continue
            click_at(*button_centre(found[1], found[2], 210))
            lines, code = probe.finish()
            failures.check(lines == ["shown", "result 3", "shown", "result 1"] and code == 0,
                           f"{what}: the dialog answered, then Закрыть closed the notice ({lines})")


def test_keys_as_notice_appears(prefix, exe):
    """Keys pressed as the notice appears, before it is made (and one held until it repeats on the
    shown notice): the notice stays; a key pressed once it shows closes it. The notice follows the
    dialog, as in a run: the process has seen input before, which is what lets Wine date a key by
    when it was pressed rather than by when it was read."""
    for keys, hold in ((["Return"], False), (["Escape"], False), (["alt", "F4"], False), (["Return"], True)):
        what = "+".join(keys) + (" held" if hold else "") + " as the notice appears"
        flag = Flag(prefix, "keys-" + "-".join(keys) + ("-held" if hold else ""))
        move(5, 5)
        probe = Probe(prefix, exe, "two", flag.windows)
        wid, wx, wy = probe.window(CHOICE_NAME)
        wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
        click_at(*button_centre(wx, wy, ALTERNATE_Y))
        probe.wait_for_line("waiting")  # the dialog has answered; the notice waits for the flag
        run("xdotool", "keydown", *keys)
        if not hold:
            run("xdotool", "keyup", *reversed(keys))
        flag.raise_()
        found = notice_stays(probe, what)  # a held key repeats meanwhile
        if hold:
            run("xdotool", "keyup", *reversed(keys))
        if found is None:
            probe.end()
            continue
        give_keys(prefix, exe, "KoraVaneUpdaterUI", found[0], "Escape")
        lines, code = probe.finish()
        failures.check(lines == ["shown", "result 3", "waiting", "shown", "result 2"] and code == 0,
                       f"{what}: Escape pressed on the shown notice closes it ({lines})")


def test_taps_run_on_into_the_notice(prefix, exe):
    """Space tapped every 100 ms for 1.2 s on "Удалить всё": the first tap answers the dialog, and
    the taps that go on onto the notice, each within the double-click time of the one before, are
    one run begun before it. The notice is still shown a second after the last; Escape closes it.
    With a window manager, as on a desktop: without one, Wine takes two seconds to let the dialog go."""
    move(5, 5)
    with WindowManager():
        probe = Probe(prefix, exe, "two")
        keys(prefix, exe, probe, CHOICE_NAME, "Tab")  # from the first choice on to "Удалить всё"
        run("xdotool", "key", "--repeat", "12", "--repeat-delay", "100", "space")  # as typed: dated by the server
        found = notice_stays(probe, "Space every 100 ms")
        if found is None:
            probe.end()
            return
        give_keys(prefix, exe, "KoraVaneUpdaterUI", found[0])
        run("xdotool", "key", "Escape")  # typed: keys sent to the window fail under the window manager
        lines, code = probe.finish()
    failures.check(lines == ["shown", "result 3", "shown", "result 2"] and code == 0,
                   f"Space every 100 ms: Escape then closes the notice ({lines})")


# Each window's name and height, and a pixel of a button or card that shows once it is painted.
KINDS = {(CHOICE_NAME, 500): ("dialog", (40, CANCEL_Y + 20), SECONDARY),
         (PROGRESS_NAME, 300): ("progress", PROGRESS_MARK, CARD_FILL),
         (NOTICE_NAME, 300): ("notice", (40, 230), STANDARD["light"])}


def ours(xs):
    """The program's mapped windows, bottom to top, as (kind, x, y, the marker pixel's colour)."""
    found = []
    for _, name, x, y, width, height in xs.viewable_windows():
        for (pattern, high), (kind, (mx, my), _) in KINDS.items():
            if name and width == 500 and height == high and re.fullmatch(pattern, name):
                found.append((kind, x, y, xs.colour(x + mx, y + my)))
    return found


def test_no_flash(prefix, exe, base):
    """Start, dialog, progress window, notice, end, sampled through Xlib every few milliseconds:
    each window shows only at its place (never first at the top-left, as a window shown before it
    is placed does), no button shows the system's white before ours is drawn over it, and from the
    first window to the last there is always one on screen."""
    c = failures.check
    xs = xdesk.Display()
    samples = []
    colour_of = {kind: colour for kind, _, colour in KINDS.values()}

    def sample_until(done, seconds=120):
        """Samples until a window of ours satisfies done (returned), or done(None) holds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            samples.append(ours(xs))
            found = [w for w in samples[-1] if done(w)] if samples[-1] else ([None] if done(None) else [])
            if found:
                return found[0]
            time.sleep(0.002)
        raise RuntimeError(f"the windows never came as expected ({samples[-1] if samples else None})")

    painted = lambda kind: lambda w: w is not None and w[0] == kind and w[3] == colour_of[kind]
    move(5, 5)
    flag = Flag(prefix, "flash")
    probe = Probe(prefix, exe, "choice-then-progress", flag.windows)
    try:
        _, dx, dy, _ = sample_until(painted("dialog"))
        xs.click(*button_centre(dx, dy, ALTERNATE_Y))
        _, px, py, _ = sample_until(painted("progress"))
        flag.raise_()
        _, nx, ny, _ = sample_until(painted("notice"))
        time.sleep(0.6)  # not the second click of a double click
        xs.click(*button_centre(nx, ny, 210))
        sample_until(lambda w: w is None and not probe.alive())
    finally:
        if probe.alive():
            probe.end()
    places = {(kind, x, y) for windows in samples for kind, x, y, _ in windows}
    centred = ((base.width - 500) // 2, (base.height - 500) // 2)
    c(places == {("dialog", *centred), ("progress", dx, dy + 100), ("notice", px, py)},
      f"flash: each window only at its place ({sorted(places)})")
    white = [w for windows in samples for w in windows if w[0] != "progress" and min(w[3] or (0,)) >= 200]
    c(not white, f"flash: no button white before it is drawn ({white[:3]})")
    shown = [bool(windows) for windows in samples]
    gaps = shown[shown.index(True):len(shown) - shown[::-1].index(True)].count(False)
    c(gaps == 0, f"flash: a window on screen from first to last ({gaps} of {len(samples)} samples without one)")


LONG_PATH_ENDINGS = {"unlike": "Ничего не удалено.", "protected": "Храните лаунчер в отдельной папке."}


def long_cyrillic_path(length):
    """A path of exactly length characters, as under a synced Documents folder."""
    tail = "\\Папка KoraVane ваша"
    path = "C:\\Users\\Пользователь\\OneDrive - Личное\\Документы"
    names = ["Игры и программы", "Лаунчеры", "Сборки Minecraft", "Установленные"]
    while len(path) + len(tail) < length:
        path += "\\" + names[len(path) % len(names)]
    path = path[:length - len(tail)]
    return path[:-1] + "я" + tail if path.endswith("\\") else path + tail


STAYED_LEAD = "Удалено не всё: некоторые файлы заняты другими программами. Осталось: «"
STAYED_END = "» и ещё 12. Закройте их и запустите удаление снова, чтобы удалить остальное."
# A notice that gives a reason other than programs, for an entry below the root.
DENIED_LEAD = "Удалено не всё. Осталось: «"
DENIED_END = ("» и ещё 12. К некоторым файлам и папкам нет доступа. Возможно, у вас нет прав на них. Получите доступ и "
              "запустите удаление снова. Миры\u00a0(3) перемещены в корзину.")


def test_long_path_notices(prefix, exe):
    """The refusal notices, and the one naming the first entry that stayed, with long Cyrillic
    paths: the path gives way in its middle, and the last sentence shows whole above the button,
    on screen and in the window tree."""
    for length in (168, 400):
        path = long_cyrillic_path(length)
        cases = [(f"{reason} refusal", ["refusal", path, reason], ending) for reason, ending in LONG_PATH_ENDINGS.items()]
        cases.append(("what stayed", ["notice-path", STAYED_LEAD, path, STAYED_END], "чтобы удалить остальное."))
        # Below the root, the root's own name stays with the entry's.
        below = path + "\\saves\\Мир 1\\level.dat"
        cases.append(("no access below the root", ["notice-path", DENIED_LEAD, below, DENIED_END, path],
                      "перемещены в корзину."))
        for kind, args, ending in cases:
            what = f"{kind}, {length}-character path"
            move(5, 5)
            probe = Probe(prefix, exe, *args)
            wid, wx, wy = probe.window(NOTICE_NAME)
            # The button and the card down to its last text row painted (painting goes on after the button).
            screen = wait_for(lambda s: s.at(wx + 40, wy + 230) == STANDARD["light"] and s.at(wx + 33, wy + 209) == CARD_FILL)
            _, tree = window_tree(prefix, exe, "KoraVaneUpdaterUI")
            body = tree[2][-1] if len(tree) > 2 else ""
            ends = ["ваша»"] if len(args) < 5 else ["\\Папка KoraVane ваша\\", "level.dat»"]
            failures.check(body.endswith(ending) and "«C:\\Users" in body and all(end in body for end in ends),
                           f"{what}: the whole last sentence and the path's ends ({body!r})")
            rows = [y for y in range(127, 210) if any(screen.at(wx + x, wy + y) != CARD_FILL for x in range(33, 467))]
            failures.check(bool(rows) and rows[-1] <= 206,
                           f"{what}: the text ends above the button (last row {rows[-1] if rows else None})")
            click_at(*button_centre(wx, wy, 210))
            expect_result(probe, 1, f"{what}: closed")


def test_small_screen(prefix, exe, base):
    """On a 640 x 480 screen every window lies wholly on it: the dialog at the top."""
    probe = Probe(prefix, exe, "two")
    wid, wx, wy = probe.window(CHOICE_NAME)
    failures.check((wx, wy) == ((base.width - 500) // 2, 0), f"small screen: the dialog at {(wx, wy)}, screen {base.width}x{base.height}")
    wait_for(lambda s: s.at(wx + 40, wy + CANCEL_Y + 20) == SECONDARY)
    click_at(*button_centre(wx, wy, ALTERNATE_Y))
    wid, nx, ny = probe.window(NOTICE_NAME)
    failures.check((nx, ny) == (wx, wy + 100), f"small screen: the notice in the dialog's place, at {(nx, ny)}")
    wait_for(lambda s: s.at(nx + 40, ny + 230) == STANDARD["light"])
    click_at(*button_centre(nx, ny, 210))
    lines, code = probe.finish()
    failures.check(lines == ["shown", "result 3", "shown", "result 1"] and code == 0, f"small screen: both answered ({lines})")


def main():
    if not os.environ.get("DISPLAY"):
        print("gui_test: DISPLAY is not set; run under tools/with-xvfb")
        return 1
    prefix, exe = sys.argv[1], sys.argv[2]
    only = os.environ.get("UI_GUI_ONLY")
    base = Screen()
    tests = {
        "look": lambda: test_choice_look_and_primary(prefix, exe, base),
        "buttons": lambda: test_buttons_give_results(prefix, exe),
        "pressed": lambda: test_pressed_fills(prefix, exe),
        "glyph": lambda: test_close_glyph(prefix, exe),
        "keyboard": lambda: test_keyboard(prefix, exe),
        "drag": lambda: test_drag(prefix, exe),
        "notice": lambda: test_notice(prefix, exe, base),
        "partial": lambda: test_partial_notices(prefix, exe),
        "two": lambda: test_two_windows_and_outside_close(prefix, exe),
        "nowindow": lambda: test_without_window(prefix, exe),
        "progress": lambda: test_progress(prefix, exe, base),
        "determinate": lambda: test_progress_determinate(prefix, exe),
        "sequence": lambda: test_choice_then_progress(prefix, exe),
        "keys": lambda: test_keys_as_notice_appears(prefix, exe),
        "flash": lambda: test_no_flash(prefix, exe, base),
        "longpaths": lambda: test_long_path_notices(prefix, exe),
        # Last: they start a window manager.
        "taps": lambda: test_taps_run_on_into_the_notice(prefix, exe),
        "doubleclick": lambda: test_double_click_keeps_notice(prefix, exe),
    }
    if base.height < 500:  # the small-screen desktop runs only what is about placement
        tests = {"small": lambda: test_small_screen(prefix, exe, base)}
    for name, test in tests.items():
        if only and name not in only.split(","):
            continue
        print(f"== {name}", flush=True)
        test()
    print(f"{len(failures.items)} failure(s)")
    return 1 if failures.items else 0


if __name__ == "__main__":
    sys.exit(main())
