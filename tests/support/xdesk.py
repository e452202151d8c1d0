"""Helpers for tests that drive Wine windows in a private X server: screenshots, windows, mouse.

DISPLAY must name an X server without a window manager (tools/with-xvfb)."""
import ctypes
import ctypes.util
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


# Xlib through ctypes: the few calls a sample of the screen needs. One sample takes about a
# millisecond this way; xdotool and import together take over 100 ms.

class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong), ("obdata", ctypes.c_void_p),
                ("funcs", ctypes.c_void_p * 6)]


ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
DESTROY_IMAGE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(XImage))
IS_VIEWABLE, Z_PIXMAP, ALL_PLANES = 2, 2, 0xFFFFFFFF


class Display:
    def __init__(self):
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                           ctypes.POINTER(XWindowAttributes)]
        x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                      ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_void_p, ctypes.c_int]
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                              ctypes.c_int, ctypes.c_ulong]
        xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                              ctypes.c_ulong]
        self.x, self.xtst = x, xtst
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("no X display")
        self.root = x.XDefaultRootWindow(self.display)
        # A window destroyed between listing and asking is normal here: no error may end us.
        self.on_error = ERROR_HANDLER(lambda display, event: 0)
        x.XSetErrorHandler(self.on_error)
        self.net_wm_name = x.XInternAtom(self.display, b"_NET_WM_NAME", 0)
        self.utf8 = x.XInternAtom(self.display, b"UTF8_STRING", 0)
        self.wm_state = x.XInternAtom(self.display, b"WM_STATE", 0)

    def name(self, window):
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        if self.x.XGetWindowProperty(self.display, window, self.net_wm_name, 0, 256, 0, self.utf8,
                                     ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count),
                                     ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
            return None
        text = ctypes.string_at(data, count.value).decode("utf-8", "replace")
        self.x.XFree(data)
        return text

    def set_wm_state(self, window, state):
        """Says what a window manager says of a window it has mapped (1) or withdrawn (0)."""
        value = (ctypes.c_long * 2)(state, 0)
        self.x.XChangeProperty(self.display, window, self.wm_state, self.wm_state, 32, 0,
                               value, 2)
        self.x.XFlush(self.display)

    def viewable_windows(self):
        """(id, name, x, y, width, height) of each mapped top-level window."""
        root_out, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.display, self.root, ctypes.byref(root_out),
                                 ctypes.byref(parent), ctypes.byref(children), ctypes.byref(count)):
            return []
        ids = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        found = []
        for window in ids:
            attributes = XWindowAttributes()
            if not self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
                continue
            if attributes.map_state != IS_VIEWABLE:
                continue
            found.append((window, self.name(window), attributes.x, attributes.y, attributes.width,
                          attributes.height))
        return found

    def grab(self, left, top, width, height):
        """The screen's pixels in a rectangle as rows of (b, g, r, x) bytes, or None."""
        image = self.x.XGetImage(self.display, self.root, left, top, width, height, ALL_PLANES,
                                 Z_PIXMAP)
        if not image:
            return None
        contents = image.contents
        if contents.bits_per_pixel != 32:
            raise RuntimeError(f"{contents.bits_per_pixel} bits per pixel; a 24-bit screen is expected")
        data = ctypes.string_at(contents.data, contents.bytes_per_line * height)
        DESTROY_IMAGE(contents.funcs[1])(image)
        return data, contents.bytes_per_line

    def colour(self, x, y):
        grabbed = self.grab(x, y, 1, 1)
        return tuple(grabbed[0][2::-1]) if grabbed else None

    def click(self, x, y):
        """Moves the pointer and clicks the left button; returns once the server has both."""
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x.XSync(self.display, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.x.XSync(self.display, 0)
