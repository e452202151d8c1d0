"""Helpers for tests that drive Wine windows in a private X server: screenshots, windows, mouse.

DISPLAY must name an X server without a window manager (tools/with-xvfb)."""
import os
import re
import subprocess
import time

WINE_EXEC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine-exec")

# Where both GUI test programs find and press things in the custom windows (window names as
# regular expressions; offsets from the window's corner).
CHOICE_NAME = "^KoraVane — удаление$"
NOTICE_NAME = "^KoraVane$"
PRIMARY_Y, ALTERNATE_Y, CANCEL_Y, NOTICE_BUTTON_Y = 248, 300, 352, 210  # button tops
CLOSE_CENTRE = (472, 28)



def text_tree(*texts, buttons=()):
    """What a window's tree should hold: its painted texts, then its buttons, as (class, pattern)."""
    return [("static", re.escape(t)) for t in texts] + [("button", re.escape(b)) for b in buttons]


CHOICE_TREE = text_tree("KoraVane", "Что удалить?",
                        "Только лаунчер — программа и ярлыки. Файлы игры останутся.\n\n"
                        "Удалить всё — папка установки и настройки входа.",
                        buttons=("Только лаунчер", "Удалить всё", "Отмена"))
PROGRESS_TREE = text_tree("KoraVane", "Удаление…") + [
    ("static", "(Закрываем лаунчер|Удаляем ярлыки|Удаляем файлы)…"),
    ("static", r"Удалено файлов: \d{1,3}( \d{3})*")]


def notice_tree(message):
    return text_tree("KoraVane", "KoraVane", message, buttons=("Закрыть",))


def window_tree(prefix, probe, class_name):
    """The visible window of class_name as assistive technology walks it, read by ui_probe from
    another process: whether it is the foreground window (which keys reach), and its child windows
    as (class, visible, top, focused, text) in window order."""
    done = subprocess.run([WINE_EXEC, prefix, probe, "tree", class_name], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, encoding="utf-8", timeout=120)
    lines = [line.split("\t") for line in done.stdout.splitlines()]
    foreground = any(line[0] == "window" and line[-1] == "foreground" for line in lines)
    return foreground, [(kind.lower(), shown == "visible", int(box.split(",")[1]), focus == "focus",
                         text.replace("\\n", "\n")) for _, kind, shown, box, focus, text in
                        (line for line in lines if line[0] == "child")]


def give_keys(prefix, probe, class_name, wid, *keys):
    """Gives the window the keyboard and, once Windows says it is the foreground window (keys sent
    before that may go to the window that had it), sends the keys."""
    run("xdotool", "windowfocus", "--sync", wid)
    if not wait_until(lambda: window_tree(prefix, probe, class_name)[0], 60):
        raise RuntimeError(f"the window of {class_name} never became the foreground window")
    if keys:
        run("xdotool", "key", "--window", wid, *keys)


def tree_holds(tree, expected, focused=None):
    """Whether a window tree holds the expected (class, text pattern) children in this order, all
    visible and from top to bottom, with the focus on the one whose text is focused (or on none)."""
    tops = [top for _, _, top, _, _ in tree]
    return (len(tree) == len(expected) and tops == sorted(tops) and all(shown for _, shown, *_ in tree)
            and all(kind == k and re.fullmatch(p, text, re.S) is not None
                    for (kind, _, _, _, text), (k, p) in zip(tree, expected))
            and [text for *_, focus, text in tree if focus] == ([focused] if focused else []))


def button_centre(wx, wy, top):
    return wx + 28 + 214, wy + top + 20


def run(*args, check=True):
    done = subprocess.run(args, capture_output=True, text=True)
    if check and done.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: exit {done.returncode}: {done.stderr.strip()}")
    return done.stdout


class Screen:
    """One screenshot of the root window, read as PPM."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                              capture_output=True).stdout
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]
        self.raw = data

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def region(self, left, top, right, bottom):
        return [self.at(x, y) for y in range(top, bottom) for x in range(left, right)]

    def save_crop(self, path, x, y, width, height):
        subprocess.run(["convert", "ppm:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage", path],
                       input=self.raw, check=True)


def visible_windows(name):
    """Ids of the mapped windows whose name matches the regular expression."""
    return run("xdotool", "search", "--onlyvisible", "--name", name, check=False).split()


def window_geometry(wid):
    """(x, y, width, height) of a window."""
    shell = run("xdotool", "getwindowgeometry", "--shell", wid)
    values = dict(line.split("=", 1) for line in shell.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def window_position(wid):
    return window_geometry(wid)[:2]


def move(x, y):
    """Moves the pointer and waits until it is there. Asked to wait for a move to where the
    pointer already is, xdotool would wait for its own time-out, 15 seconds."""
    here = dict(line.split("=", 1) for line in run("xdotool", "getmouselocation", "--shell").split())
    if (int(here["X"]), int(here["Y"])) != (x, y):
        run("xdotool", "mousemove", "--sync", str(x), str(y))


# The system's double-click time (Wine's default). A window that appears after a click ignores a
# press that follows that click this soon: the second click of a double click.
DOUBLE_CLICK_SECONDS = 0.5
_last_click = [float("-inf")]


def click_at(x, y):
    """Clicks as a person would on a window just shown: not as the second half of a double click
    with the click before (a rule of the windows, not a hope about timing)."""
    move(x, y)
    wait = _last_click[0] + DOUBLE_CLICK_SECONDS + 0.05 - time.monotonic()
    if wait > 0:
        time.sleep(wait)
    run("xdotool", "click", "1")
    _last_click[0] = time.monotonic()


def wait_until(predicate, seconds=180, interval=0.2):
    """Polls predicate until it holds or the deadline passes; its last answer is the result. The
    deadline only bounds a hang: a loaded machine may be slow, never wrong."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(interval)
    return predicate()


def wait_for_painted_window(name, offset, colour, alive=lambda: True, seconds=180, height=None):
    """Waits for a window that shows colour at offset from its corner; returns (id, x, y) or None.
    The deadline only bounds a hang, as in wait_until; a program that has gone ends the wait at
    once. The position is read again on every try: a window may be mapped at a default place and
    moved (centred) a moment later. With height, only a window that high counts: a window of the
    same name that it replaces may still be mapped for a moment."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = visible_windows(name)
        if found:
            screen = Screen()
            for wid in reversed(found):
                try:
                    x, y, _, h = window_geometry(wid)
                except RuntimeError:  # gone since the search, as a window being replaced may be
                    continue
                if (height is None or h == height) and screen.at(x + offset[0], y + offset[1]) == tuple(colour):
                    return wid, x, y
        elif not alive():
            return None
        time.sleep(0.2)
    return None
