#!/usr/bin/python3
"""The whole program under Wine: quiet and interactive runs, install-root safety, faults.

Usage: whole_program_test.py SOURCE_DIR BUILD_DIR PREFIX
Needs DISPLAY (tools/with-xvfb); ctest runs each script through tools/with-own-desktop, which gives
it a copy of the test prefix and a display of its own. Every path the uninstaller may touch lies on
a drive K: of the prefix that maps to a scratch folder beside the prefix, with a profile of its own
(the user name is Cyrillic); the prefix's own profile is never offered to it.
"""
import glob
import os
import random
import shutil
import subprocess
import sys
import time

SOURCE, BUILD, PREFIX = sys.argv[1:4]
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
import xdesk  # noqa: E402

WINE_EXEC = os.path.join(SOURCE, "tools", "wine-exec")
UNINSTALL_EXE = os.path.join(BUILD, "Uninstall.exe")
SUPPORT = os.path.join(BUILD, "tests", "support")
WITH_ENV = os.path.join(SUPPORT, "with_env", "with_env.exe")
IDLE = os.path.join(SUPPORT, "idle", "idle.exe")
RECORDER = os.path.join(SUPPORT, "child_recorder", "child_recorder.exe")
UI_PROBE = os.path.join(SUPPORT, "ui_probe", "ui_probe.exe")
PROCESS_WATCH = os.path.join(SUPPORT, "process_watch", "process_watch.exe")
# The folder of the script's own prefix holds its scratch drive and ready files, so that scripts
# in prefixes of their own never meet.
WORK = os.path.dirname(os.path.abspath(PREFIX))
AREA = os.path.join(WORK, "whole-program-area")
READY = os.path.join(WORK, "whole-program-ready")  # outside K:, which tests compare whole
READY_SECONDS = 60

PROFILE = "K:\\Users\\Иван"
APPDATA = PROFILE + "\\AppData\\Roaming"
LOCALAPPDATA = PROFILE + "\\AppData\\Local"
ROOT = LOCALAPPDATA + "\\KoraVane"
SETTINGS = APPDATA + "\\koravane-launcher"
PROGRAMS = APPDATA + "\\Microsoft\\Windows\\Start Menu\\Programs"
DESKTOP = PROFILE + "\\Desktop"
KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KoraVane"

LAUNCHER_ONLY_TEXT = "Лаунчер удалён. Файлы Minecraft в папке сохранены."
# The root laid by lay_root holds one world, which full removal sends to the Recycle Bin.
WORLDS_TEXT = " Миры\u00a0(1) перемещены в корзину."
FULL_TEXT = "Удалено всё в папке установки." + WORLDS_TEXT
PARTIAL_LAUNCHER_ONLY_TEXT = "Лаунчер удалён не полностью: некоторые файлы заняты другими программами."
PARTIAL_FULL_TEXT = ("Удалено не всё: некоторые файлы заняты другими программами и остались в папке "
                     "установки.")
# Files of the root stayed: the uninstaller and its registration stay for a second run. The notice
# names the first entry that stayed and counts the rest: (text before the path, path, text after,
# the root, whose name a shortened path keeps). After a full removal it then says where the laid
# root's one world went.


def stayed_notice(lead, first, more, ending):
    return (lead + " Осталось: «", first, "»" + (f" и ещё {more}" if more else "") + "." + ending, ROOT)


def way_back_launcher_only(first, more=0):
    return stayed_notice("Лаунчер удалён не полностью: некоторые файлы заняты другими программами.", first, more,
                         " Закройте их и запустите удаление снова.")


def way_back_full(first, more=0, worlds=WORLDS_TEXT):
    return stayed_notice("Удалено не всё: некоторые файлы заняты другими программами.", first, more,
                         " Закройте их и запустите удаление снова, чтобы удалить остальное." + worlds)
CHOICE, NOTICE = xdesk.CHOICE_NAME, xdesk.NOTICE_NAME
PRIMARY_Y, ALTERNATE_Y, CANCEL_Y = xdesk.PRIMARY_Y, xdesk.ALTERNATE_Y, xdesk.CANCEL_Y
NOTICE_BUTTON_Y = xdesk.NOTICE_BUTTON_Y
LAUNCHER_ENTRIES = ["app-1.5.84", "app-current", "packages", "current.json", "version.json",
                    "icon.ico", "bootstrap-config.json", "KoraVane Updater.exe"]
GAME_FILES = {
    "minecraft\\saves\\Мир 1\\level.dat": b"level",
    "minecraft\\options.txt": b"fov:90",
    "minecraft\\logs\\latest.log": b"log",
    "minecraft\\mods\\mod.jar": b"mod",
    "KoraVane.exe": b"a game-side copy",
    "app-data\\cache.bin": b"cache",
    "options.txt": b"lang:ru_ru",
}

failures = []
DOCS = os.environ.get("KORAVANE_DOCS")  # when set, window screenshots are saved there for README


def save_window(window, height, name):
    if DOCS and window and name:
        _, x, y = window
        xdesk.Screen().save_crop(os.path.join(DOCS, name), x, y, 500, height)


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def unix(path):
    """The scratch-folder path of a K: path."""
    assert path.startswith("K:")
    parts = [p for p in path[2:].split("\\") if p]
    return os.path.join(AREA, *parts)


def write(path, data):
    os.makedirs(os.path.dirname(unix(path)), exist_ok=True)
    with open(unix(path), "wb") as f:
        f.write(data)


def read(path):
    try:
        with open(unix(path), "rb") as f:
            return f.read()
    except OSError:
        return None


def exists(path):
    return os.path.lexists(unix(path))


def wine(*args, wait=True):
    # No pipes: programs started from Windows inherit them, and a deferred script would keep
    # them open long after the uninstaller has gone.
    process = subprocess.Popen([WINE_EXEC, PREFIX, *args], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    if wait:
        process.communicate(timeout=120)
    return process


class NotReady(Exception):
    """A program a test started never said that it runs: that test cannot go on."""


STARTED = []  # what the current test started; whatever of it still runs is ended after the test


class Started:
    """A Windows program started for a test that names itself in a ready file once it runs and
    holds or shows what it was told to (idle.exe and with_env.exe take --ready FILE). From then on
    it is known by its id and creation time: Wine soon gives an ended process's id to another."""

    def __init__(self, what, program, *args):
        self.what = what
        self.ready = os.path.join(READY, f"{len(STARTED) + 1}.txt")
        if os.path.exists(self.ready):
            os.remove(self.ready)
        self.process = wine(program, "--ready", "Z:" + self.ready.replace("/", "\\"), *args,
                            wait=False)
        self.identity = None
        STARTED.append(self)

    def wait_ready(self):
        """Its "ID:CREATED" name, once its ready file is there (60 s at most)."""
        deadline = time.time() + READY_SECONDS
        while self.identity is None:
            exited = self.process.poll() is not None
            if os.path.exists(self.ready):
                with open(self.ready) as f:
                    self.identity = ":".join(f.read().split())
            elif exited or time.time() > deadline:
                why = f"it exited with {self.process.returncode}" if exited else "no word in 60 s"
                raise NotReady(f"{self.what} never said that it runs ({why})")
            else:
                time.sleep(0.05)
        return self.identity


def watch(command, processes, *extra):
    """process_watch's view of processes that said they run: True for each that still does."""
    names = [p.wait_ready() for p in processes]
    for _ in range(3):  # a Wine start that went wrong is tried again
        answer = subprocess.run([WINE_EXEC, PREFIX, PROCESS_WATCH, command, *extra, *names],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=180)
        states = answer.stdout.decode().split()
        if answer.returncode == 0 and len(states) == 2 * len(names):
            return [state == "running" for state in states[1::2]]
    raise RuntimeError(f"process_watch {command} gave no answer: "
                       f"{answer.returncode} {answer.stdout!r}")


def running(processes):
    """Whether every one of them still runs, asked of Windows by id."""
    return all(watch("running", processes))


def ended(processes, seconds=60):
    """Whether every one of them has ended within the time, asked of Windows by id."""
    return not any(watch("ended", processes, str(seconds)))


def end(processes):
    """Ends them by id, each with whatever it started; whether all have ended."""
    return not any(watch("end", processes))


def end_started():
    """Ends what the last test started and left running, by id, never by image name."""
    named = []
    for started in STARTED:
        try:
            named.append(started.wait_ready() if started.process.poll() is None else None)
        except NotReady:
            started.process.kill()  # not named yet, so it started nothing: its own process
    left = [s for s, name in zip(STARTED, named) if name]
    if left:
        end(left)
    for started in STARTED:
        started.process.communicate(timeout=30)
    STARTED.clear()


def key_exists():
    """Asks reg.exe; an answer that names neither the key nor an error (a Wine start that went
    wrong) is asked again."""
    for _ in range(3):
        query = subprocess.run([WINE_EXEC, PREFIX, "reg", "query", KEY], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, timeout=120)
        if query.returncode == 0 and b"DisplayName" in query.stdout:
            return True
        if query.returncode == 1 and b"reg:" in query.stdout:
            return False
        time.sleep(1)
    raise RuntimeError(f"reg query gave no answer: {query.returncode} {query.stdout[-200:]!r}")


def snapshot(path):
    """Every file below a K: folder with its bytes."""
    base = unix(path)
    files = {}
    for folder, _, names in os.walk(base):
        for name in names:
            full = os.path.join(folder, name)
            with open(full, "rb") as f:
                files[os.path.relpath(full, base)] = f.read()
    return files


def temp_log():
    found = glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "Temp",
                                   "koravane-uninstall.log"))
    if not found:
        return ""
    with open(found[0], encoding="utf-8") as f:
        return f.read()


def run_folders():
    """The working folders of runs (koravane-run-{pid}) in the prefix's temporary folder."""
    return sorted(glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "Temp", "koravane-run-*")))


def log_lines(root=ROOT):
    data = read(root + "\\updates\\rust-updater.log")
    return data.decode("utf-8").splitlines() if data is not None else None


class Uninstall:
    """One run of the uninstaller, started through with_env so that the profile variables point
    into the scratch drive."""

    def __init__(self, exe, *args, cwd=None, start_in=None, env=None, unset=(), output=None):
        # A window of an earlier run may still be listed while it goes; windows are found by name.
        xdesk.wait_until(lambda: not xdesk.visible_windows("KoraVane"), 10)
        values = {"USERPROFILE": PROFILE, "APPDATA": APPDATA, "LOCALAPPDATA": LOCALAPPDATA}
        values.update(env or {})
        settings = [f"{k}={v}" for k, v in values.items() if k not in unset]
        settings += [f"-{name}" for name in unset]
        if cwd:  # with_env works there too, as a terminal does
            settings += ["--cwd", cwd]
        if start_in:  # only the uninstaller starts there, as Explorer starts a shortcut's program
            settings += ["--start-in", start_in]
        if output:  # its standard output and error go to this file, as with ">output 2>&1"
            settings += ["--output", output]
        # with_env names itself before it starts the uninstaller and waits for it: ending it by
        # id ends the uninstaller too.
        self.wrapper = Started(f"with_env for {exe}", WITH_ENV, *settings, "--", exe, *args)
        self.process = self.wrapper.process
        self.saw_window = False

    def alive(self):
        """Whether the run has not exited yet: a hint for waits, never a check."""
        return self.process.poll() is None

    def running(self):
        return running([self.wrapper])

    def finish(self, seconds=300):
        """Waits for the exit, watching for any window of ours meanwhile; returns the exit code.
        The deadline only bounds a hang: a loaded two-core machine may slow a run several times."""
        deadline = time.time() + seconds
        while self.alive() and time.time() < deadline:
            if xdesk.visible_windows("KoraVane"):
                self.saw_window = True
            time.sleep(0.1)
        if self.alive():
            end([self.wrapper])
            self.process.communicate(timeout=30)
            return None  # hung: never a pass
        self.process.communicate(timeout=30)
        return self.process.returncode


def reset_area():
    """A fresh scratch drive K: with a profile, settings, shortcuts and the uninstall key."""
    if os.path.isdir(AREA):
        subprocess.run(["chmod", "-R", "u+w", AREA], check=False)
        shutil.rmtree(AREA)
    os.makedirs(AREA)
    link = os.path.join(PREFIX, "dosdevices", "k:")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(AREA, link)
    for folder in ("Desktop", "Documents", "Downloads"):
        write(PROFILE + "\\" + folder + "\\keep.txt", folder.encode())
    write(SETTINGS + "\\login.json", b"{\"token\": 1}")
    write(APPDATA + "\\other-app\\config.ini", b"keep")
    for shortcut in ("Удалить KoraVane.lnk", "Uninstall KoraVane.lnk", "KoraVane.lnk"):
        write(PROGRAMS + "\\" + shortcut, b"lnk")
    write(PROGRAMS + "\\Other.lnk", b"lnk")
    write(DESKTOP + "\\KoraVane.lnk", b"lnk")
    for _ in range(3):
        if wine("reg", "add", KEY, "/v", "DisplayName", "/d", "KoraVane", "/f").returncode == 0:
            break
    if not key_exists():
        raise RuntimeError("the uninstall key could not be created")


def lay_root(root=ROOT, with_uninstaller=True):
    with open(IDLE, "rb") as f:
        idle = f.read()
    write(root + "\\app-1.5.84\\KoraVane.exe", idle)
    write(root + "\\app-1.5.84\\resources.pak", b"pak")
    write(root + "\\app-current\\app.asar", b"asar")
    write(root + "\\packages\\KoraVane-1.5.84-full.nupkg", b"pkg")
    write(root + "\\updates\\rust-updater.log", b"an earlier run\n")
    for name in ("current.json", "version.json", "icon.ico", "bootstrap-config.json"):
        write(root + "\\" + name, name.encode())
    write(root + "\\KoraVane Updater.exe", idle)
    write(root + "\\Update.exe", idle)
    for name, data in GAME_FILES.items():
        write(root + "\\" + name, data)
    if with_uninstaller:
        shutil.copyfile(UNINSTALL_EXE, unix(root + "\\Uninstall.exe"))


def started_and_ready(*programs):
    """Each (what, program, *args) started; returned once every one has said that it runs."""
    processes = [Started(*program) for program in programs]
    for process in processes:
        process.wait_ready()
    return processes


def start_launcher_processes(root=ROOT):
    return started_and_ready(("the launcher", root + "\\app-1.5.84\\KoraVane.exe"),
                             ("the launcher's updater", root + "\\KoraVane Updater.exe"))


HOLDER = "K:\\Tools\\javaw.exe"  # a game: outside the root, so no stop step ends it
RELEASE = "K:\\release.flag"


def start_game_holding(*paths):
    """A running game that holds the files open until the release flag is written."""
    write(HOLDER, open(IDLE, "rb").read())
    holds = [arg for path in paths for arg in ("--hold", path)]
    return started_and_ready((f"the game holding {paths}", HOLDER, *holds, "--until", RELEASE))[0]


def release_game(game):
    write(RELEASE, b"")
    let_go = ended([game])
    os.remove(unix(RELEASE))
    return let_go


def start_line(quiet, root):
    return f"Uninstall 1.5.84 start quiet={'true' if quiet else 'false'} root={root}"


def held_line(line, path):
    """Whether line says that path stayed because it was held open."""
    return line.startswith(f"fail {path}: ") and line.endswith(" (os error 32)")


def recycled_line(root=ROOT):
    """The line of a full removal that sent lay_root's one world to the Recycle Bin."""
    return f"recycled {root}\\minecraft\\saves\\Мир 1"


def kept_line(root=ROOT, final=None):
    """The line of a run that kept the uninstaller and its registration for a second run; it names
    the root's final path too where its spelling stands for another place."""
    line = f"kept the uninstall registration for a second run: root={root}"
    return line + f" final={final}" if final else line


def settings_and_shortcuts_gone():
    return (not exists(SETTINGS) and not exists(PROGRAMS + "\\KoraVane.lnk")
            and not exists(PROGRAMS + "\\Удалить KoraVane.lnk")
            and not exists(PROGRAMS + "\\Uninstall KoraVane.lnk")
            and not exists(DESKTOP + "\\KoraVane.lnk") and exists(PROGRAMS + "\\Other.lnk"))


# ---------------------------------------------------------------------------------------------
# Quiet runs


OTHER_APP = "K:\\Program Files\\OtherApp"


def start_other_programs():
    """Another application's updater and uninstaller, running from their own folder: common
    names that are none of the uninstaller's business."""
    with open(IDLE, "rb") as f:
        idle = f.read()
    for name in ("Update.exe", "Uninstall.exe"):
        write(OTHER_APP + "\\" + name, idle)
    return started_and_ready(*[(f"another program's {name}", OTHER_APP + "\\" + name)
                               for name in ("Update.exe", "Uninstall.exe")])


def test_quiet(option):
    reset_area()
    lay_root()
    updater, = started_and_ready(("the root's own Update.exe", ROOT + "\\Update.exe"))
    others = start_other_programs()
    launcher = start_launcher_processes()
    folders = run_folders()
    run = Uninstall(ROOT + "\\Uninstall.exe", option)
    code = run.finish()
    check(code == 0, f"{option}: exit code 0 (saw {code})")
    check(not run.saw_window, f"{option}: no window")
    lines = log_lines()
    # The running uninstaller and its run log stay for the deferred script (unless the script
    # has already taken the root).
    if lines is not None:
        check(lines[:5] == ["an earlier run", start_line(True, ROOT), f"ended {ROOT}\\Update.exe",
                            "settings removed: " + SETTINGS, recycled_line()]
              and lines[5].startswith("scheduled delete via ") and len(lines) == 6,
              f"{option}: run log {lines}")
    check(ended(launcher), f"{option}: launcher and updater processes ended")
    check(settings_and_shortcuts_gone(), f"{option}: settings and shortcuts removed")
    check(not key_exists(), f"{option}: uninstall key removed")
    check(exists(APPDATA + "\\other-app\\config.ini"), f"{option}: other roaming data kept")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{option}: install root gone after the script")
    check(run_folders() == folders, f"{option}: the run's working folder gone ({run_folders()})")
    check(ended([updater]), f"{option}: the root's own Update.exe ended")
    check(running(others),
          f"{option}: another program's Update.exe and Uninstall.exe still running after the script")


def test_api_takes_the_quiet_option_as_its_value():
    reset_area()
    lay_root()
    before = snapshot(ROOT)
    run = Uninstall(ROOT + "\\Uninstall.exe", "--api", "/S")
    window = dialog_window(run.alive)
    check(window is not None, "--api /S: the dialog is shown")
    check(log_lines() == [l.decode() for l in before["updates/rust-updater.log"].splitlines()]
          + [start_line(False, ROOT)], f"--api /S: start line quiet=false ({log_lines()})")
    if window:
        wid, x, y = window
        xdesk.click_at(*xdesk.button_centre(x, y, CANCEL_Y))
    code = run.finish()
    check(code == 0, f"--api /S: cancel exits 0 (saw {code})")
    after = snapshot(ROOT)
    after.pop("updates/rust-updater.log", None)
    before.pop("updates/rust-updater.log", None)
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    check(not changed, f"--api /S: nothing removed ({changed[:6]})")


# ---------------------------------------------------------------------------------------------
# Interactive runs


SECONDARY_FILL = (28, 34, 48)
NOTICE_BUTTON_FILL = (232, 200, 120)


def dialog_window(alive):
    """The removal-choice dialog once centred and painted (a click before that may be lost)."""
    return xdesk.wait_for_painted_window(CHOICE, (40, CANCEL_Y + 20), SECONDARY_FILL, alive)


def notice_window(alive):
    return xdesk.wait_for_painted_window(NOTICE, (40, NOTICE_BUTTON_Y + 20), NOTICE_BUTTON_FILL,
                                         alive)


CARD_FILL = (16, 20, 30)


def progress_window(alive):
    """The progress window once painted: the dialog's caption, 300 pixels high, its card reaching
    down past where the notice's button would be."""
    return xdesk.wait_for_painted_window(CHOICE, (465, 250), CARD_FILL, alive, height=300)


def count_region(x, y):
    """The pixels of the progress window's count line (\"Удалено файлов: N\")."""
    return xdesk.Screen().region(x + 46, y + 210, x + 454, y + 238)


def notice_body(x, y):
    return xdesk.Screen().region(x + 28, y + 78, x + 472, y + 210)


def reference_notice(text):
    """The notice for text as the window code draws it, captured from the test program once two
    screenshots in a row agree (painting is asynchronous); None for a test of another part."""
    if not in_this_part():
        return None
    # A message with a path comes as (before, path, after, root): the window shortens the path to fit.
    probe = wine(UI_PROBE, *(["notice-path", *text] if isinstance(text, tuple) else ["notice", text]), wait=False)
    window = notice_window(lambda: probe.poll() is None)
    image = None
    if window:
        _, x, y = window
        previous = None
        deadline = time.time() + 30
        while time.time() < deadline and (image is None or image != previous):
            previous, image = image, notice_body(x, y)
            time.sleep(0.1)
        xdesk.click_at(*xdesk.button_centre(x, y, NOTICE_BUTTON_Y))
    try:
        probe.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        probe.kill()  # our own child, by its handle: the window must not outlive this test
        probe.communicate()
        image = None
    return image


def notice_matches(window, reference):
    _, x, y = window
    return xdesk.wait_until(lambda: notice_body(x, y) == reference, 30)


def test_dialog_closed_without_a_choice(how):
    reset_area()
    lay_root()
    shutil.copyfile(RECORDER, unix(ROOT + "\\taskkill.exe"))  # found before the system's
    launcher = start_launcher_processes()
    before = snapshot(ROOT)
    run = Uninstall(ROOT + "\\Uninstall.exe", env={"KORAVANE_RECORD_FILE": "K:\\taskkill.txt"})
    window = dialog_window(run.alive)
    check(window is not None, f"{how}: the dialog is shown")
    if window:
        wid, x, y = window
        if how == "cancel":
            xdesk.click_at(*xdesk.button_centre(x, y, CANCEL_Y))
        elif how == "close glyph":
            xdesk.click_at(x + xdesk.CLOSE_CENTRE[0], y + xdesk.CLOSE_CENTRE[1])
        else:
            wine(UI_PROBE, "post-close", "KoraVaneUninstallUI")
    code = run.finish()
    check(code == 0, f"{how}: exit code 0 (saw {code})")
    after = snapshot(ROOT)
    check(after.pop("updates/rust-updater.log").decode().splitlines()[-1]
          == start_line(False, ROOT), f"{how}: the start line is the run's only line")
    before.pop("updates/rust-updater.log")
    check(after == before, f"{how}: nothing removed")
    check(not exists("K:\\taskkill.txt"), f"{how}: no task-kill child started")
    check(running(launcher), f"{how}: launcher processes still running")
    check(key_exists() and exists(SETTINGS) and exists(DESKTOP + "\\KoraVane.lnk"),
          f"{how}: key, settings and shortcuts kept")
    check(not xdesk.visible_windows(NOTICE), f"{how}: no notice")


def choose(what, button_y, notice_picture):
    """An interactive run with the launcher running: the button at button_y is clicked and the
    notice awaited. Returns (launcher processes, run, notice window), run None without a dialog."""
    launcher = start_launcher_processes()
    run = Uninstall(ROOT + "\\Uninstall.exe")
    window = dialog_window(run.alive)
    check(window is not None, f"{what}: the dialog is shown")
    if not window:
        run.finish(5)
        return launcher, None, None
    _, x, y = window
    xdesk.move(x + 600, y + 100)  # off the window: no hover look in the picture
    save_window(window, 500, "removal-choice.png")
    xdesk.click_at(*xdesk.button_centre(x, y, button_y))
    check(progress_window(run.alive) is not None, f"{what}: the progress window follows the dialog")
    notice = notice_window(run.alive)
    check(notice is not None, f"{what}: the notice is on screen after the removal")
    if notice:
        xdesk.move(notice[1] + 600, notice[2])
        save_window(notice, 300, notice_picture)
    return launcher, run, notice


def test_launcher_only(reference):
    reset_area()
    lay_root()
    wine("attrib", "+r", ROOT + "\\version.json")
    wine("attrib", "+r", ROOT + "\\app-1.5.84\\resources.pak")
    launcher, run, notice = choose("launcher-only", PRIMARY_Y, "notice-launcher-only.png")
    if not run:
        return
    gone = [name for name in LAUNCHER_ENTRIES if not exists(ROOT + "\\" + name)]
    check(gone == LAUNCHER_ENTRIES, f"launcher-only: launcher entries removed ({gone})")
    kept = {name: read(ROOT + "\\" + name) for name in GAME_FILES}
    check(kept == GAME_FILES, "launcher-only: every game file kept byte for byte")
    lines = log_lines() or []
    check(bool(lines) and all(l.startswith("removed ") for l in lines) and "removed updates" in lines,
          f"launcher-only: log lines while the notice is open, nothing scheduled yet {lines}")
    check(ended(launcher), "launcher-only: launcher processes ended")
    check(exists(SETTINGS) and not exists(PROGRAMS + "\\KoraVane.lnk")
          and not exists(DESKTOP + "\\KoraVane.lnk") and not key_exists(),
          "launcher-only: shortcuts and key removed, settings kept")
    if notice:
        check(notice_matches(notice, reference), "launcher-only: the notice shows " + LAUNCHER_ONLY_TEXT)
        # A user reading the notice: nothing may end it meanwhile.
        time.sleep(6)
        check(run.running() and bool(xdesk.visible_windows(NOTICE)),
              "launcher-only: the notice is still open after six seconds")
        check(exists(ROOT + "\\Uninstall.exe") and exists(ROOT + "\\Update.exe"),
              "launcher-only: the deferred files wait for the notice to close")
        _, nx, ny = notice
        xdesk.click_at(*xdesk.button_centre(nx, ny, NOTICE_BUTTON_Y))
    code = run.finish()
    check(code == 0, f"launcher-only: exit code 0 once the notice is closed (saw {code})")
    lines = log_lines() or []
    check(bool(lines) and lines[-1].startswith("scheduled delete via "),
          f"launcher-only: scheduled as the run's last line {lines[-2:]}")
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe") and not exists(ROOT + "\\Update.exe")),
          "launcher-only: the script removed Uninstall.exe and Update.exe a few seconds later")
    check({name: read(ROOT + "\\" + name) for name in GAME_FILES} == GAME_FILES,
          "launcher-only: game files still there after the script")


def test_full_interactive(reference):
    reset_area()
    lay_root()
    launcher, run, notice = choose("full", ALTERNATE_Y, "notice-full.png")
    if not run:
        return
    lines = log_lines()
    check(lines is not None and lines[-3:] == [start_line(False, ROOT), "settings removed: " + SETTINGS, recycled_line()],
          f"full: log lines in order, nothing scheduled while the notice is open {lines}")
    # Everything beside the running uninstaller went in the run; the run log stays for the script.
    left = sorted(os.listdir(unix(ROOT)))
    check(left == ["Uninstall.exe", "updates"] and os.listdir(unix(ROOT + "\\updates")) == ["rust-updater.log"],
          f"full: only the uninstaller and its run log left while the notice is open ({left})")
    if notice:
        check(notice_matches(notice, reference), "full: the notice shows " + FULL_TEXT)
        _, nx, ny = notice
        xdesk.click_at(*xdesk.button_centre(nx, ny, NOTICE_BUTTON_Y))
    code = run.finish()
    check(code == 0, f"full: exit code 0 (saw {code})")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "full: nothing left of the root once the script ran")
    check(settings_and_shortcuts_gone() and not key_exists(), "full: settings, shortcuts, key removed")
    check(ended(launcher), "full: launcher processes ended")


# ---------------------------------------------------------------------------------------------
# Install-root safety


def refused_run(place, exe_folder, reason, quiet=True, cwd=None, markers=False, reference=None,
                files=None):
    reset_area()
    lay_root()  # a genuine install elsewhere, which must not be touched either
    for name, data in (files or {}).items():
        write(exe_folder + "\\" + name, data)
    shutil.copyfile(UNINSTALL_EXE, unix(exe_folder + "\\Uninstall.exe"))
    if markers:
        write(exe_folder + "\\current.json", b"{}")
    launcher = start_launcher_processes()
    before = snapshot("K:\\")
    log_before = temp_log()
    folders = run_folders()
    args = ["/S"] if quiet else []
    run = Uninstall(exe_folder + "\\Uninstall.exe", *args, cwd=cwd or exe_folder)
    what = f"{place} ({'quiet' if quiet else 'interactive'})"
    if not quiet:
        notice = notice_window(run.alive)
        check(notice is not None and not xdesk.visible_windows(CHOICE),
              f"{what}: refusal notice instead of the dialog")
        if notice:
            if reference is not None:
                check(notice_matches(notice, reference), f"{what}: refusal notice text")
            _, nx, ny = notice
            xdesk.click_at(*xdesk.button_centre(nx, ny, NOTICE_BUTTON_Y))
    code = run.finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    if quiet:
        check(not run.saw_window, f"{what}: no window")
    check(snapshot("K:\\") == before, f"{what}: everything stays, no updates folder made")
    check(run_folders() == folders, f"{what}: the run's working folder gone, with no script ({run_folders()})")
    check(key_exists(), f"{what}: uninstall key kept")
    check(running(launcher), f"{what}: nothing stopped")
    added = temp_log()[len(log_before):].splitlines()
    root_seen = exe_folder if markers else (cwd or exe_folder)
    root_seen = "K:\\" if root_seen == "K:" else root_seen
    check(added == [start_line(quiet, root_seen), f"refused root={root_seen}: {reason}"],
          f"{what}: refusal logged in the temporary folder ({added})")


def test_genuine_root_under_a_cyrillic_profile_is_removed():
    reset_area()
    lay_root()
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0 and xdesk.wait_until(lambda: not exists(ROOT)),
          "genuine root in the local application data of Иван: removed")


# ---------------------------------------------------------------------------------------------
# Faults


def test_game_file_held_open():
    reset_area()
    lay_root()
    held = SAVE
    game = start_game_holding(held)
    # The script's wait lasts until the hold goes: what the run left is read first, then the
    # game lets go, then the script may start removing, however slow the machine.
    hold = "K:\\script-hold"
    write(hold, b"")
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": hold}).finish()
    # Held through the whole run, the retries on it included.
    left = sorted(os.listdir(unix(ROOT)))
    held_stays = exists(held)
    lines = log_lines() or []
    check(release_game(game), "held game file: the game let go")
    os.remove(unix(hold))
    check(code == 0, "held game file: exit code 0")
    check(held_stays, "held game file: the save stays")
    check(left == ["Uninstall.exe", "minecraft", "updates"],
          f"held game file: the other entries went in the run ({left})")
    check(lines[1:4] == [start_line(True, ROOT), "settings removed: " + SETTINGS, recycled_line()]
          and held_line(lines[4], held) and lines[5] == kept_line()
          and lines[6].startswith("scheduled delete via ") and len(lines) == 7,
          f"held game file: start line first, then the settings, the save that stayed, the way back, "
          f"the scheduling ({lines})")
    # The script may try the save's folder again, never the uninstaller or the root.
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\minecraft")),
          "held game file: the script took the save's folder after release")
    check(sorted(os.listdir(unix(ROOT))) == ["Uninstall.exe", "updates"] and key_exists(),
          "held game file: the uninstaller, its run log and the registration stay for a second run")


DEEP_FOLDER = "k" * 40


def lay_large_tree(root, files=3000):
    """Game files in folders up to six levels deep, one file in ten read-only, and a branch whose
    paths pass 260 characters. Seeded, so every run lays the same tree."""
    rng = random.Random(20240717)
    folders = ["minecraft"]
    depth = {"minecraft": 1}
    for i in range(files // 10):
        parent = rng.choice([f for f in folders if depth[f] < 6])
        folder = parent + "\\" + f"d{i}-" + "d" * rng.randint(0, 8)
        folders.append(folder)
        depth[folder] = depth[parent] + 1
    for i in range(files):
        path = root + "\\" + folders[i % len(folders)] + "\\" + f"f{i}-" + "f" * rng.randint(0, 12)
        write(path, b"x" * rng.randint(0, 64))
        if i % 10 == 3:
            os.chmod(unix(path), 0o444)
    deep = root + "\\deep"
    for level in range(8):
        deep += "\\" + DEEP_FOLDER
        write(deep + f"\\level{level}.dat", b"deep")
    os.chmod(unix(deep + "\\level7.dat"), 0o444)
    assert len(deep) > 300


def in_prefix(path):
    """The Unix path of a C: path of the prefix."""
    assert path.startswith("C:")
    return os.path.join(PREFIX, "drive_c", *[p for p in path[2:].split("\\") if p])


def test_quiet_from_inside_removes_a_large_tree():
    reset_area()
    lay_root()
    lay_large_tree(ROOT)
    started = time.monotonic()
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0, f"large tree: exit code 0 ({code} after {time.monotonic() - started:.1f} s)")
    gone = xdesk.wait_until(lambda: not exists(ROOT))
    left = "" if gone else f" ({sorted(os.listdir(unix(ROOT)))}, {log_lines()})"
    check(gone, "large tree with read-only files and paths past 260 characters: nothing left" + left)


def test_quiet_from_inside_leaves_only_what_it_cannot_remove():
    """A recording cmd.exe in the root stands in for the interpreter, so the script never runs.
    The program search looks in the uninstaller's own folder first; the recorder stays there
    because a running program holds it open, as a game holds its files."""
    reset_area()
    lay_root()
    lay_large_tree(ROOT, 2000)
    shutil.copyfile(RECORDER, unix(ROOT + "\\cmd.exe"))
    game = start_game_holding(ROOT + "\\cmd.exe")
    run = Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_RECORD_FILE": "K:\\cmd.txt"})
    code = run.finish()
    check(code == 0, "recorded script: exit code 0")
    check(xdesk.wait_until(lambda: exists("K:\\cmd.txt")), "recorded script: the interpreter started")
    left = snapshot(ROOT)
    release_game(game)
    log = left.pop("updates/rust-updater.log", b"").decode().splitlines()
    check(sorted(left) == ["Uninstall.exe", "cmd.exe"],
          f"recorded script: only the uninstaller, the log and the held file left ({sorted(left)[:8]})")
    check(log[:4] == ["an earlier run", start_line(True, ROOT), "settings removed: " + SETTINGS, recycled_line()]
          and len(log) == 7 and held_line(log[4], ROOT + "\\cmd.exe") and log[5] == kept_line()
          and log[6].startswith("scheduled delete via "),
          f"recorded script: the run log kept, what stayed said, scheduling line last ({log})")
    record = (read("K:\\cmd.txt") or b"").decode("utf-8", "replace").splitlines()
    scheduled = [l for l in log if l.startswith("scheduled delete via ")]
    script_path = scheduled[-1][len("scheduled delete via "):] if scheduled else None
    script_name = script_path.rsplit("\\", 1)[-1] if script_path else None
    # How the interpreter is started is the self-deletion tests' matter; here: once, on this script.
    check(len(record) == 3 and script_name is not None and record[0].endswith(" .\\" + script_name),
          f"recorded script: the interpreter was started once, on the logged script ({record[:1]})")
    if script_path:
        with open(in_prefix(script_path), "rb") as f:
            data = f.read()
        text = data.decode("cp866")  # the OEM code page of the prefix
        paths = [l for l in text.split("\r\n") if l.startswith("if exist ")]
        held = ROOT + "\\cmd.exe"
        check(paths == [f'if exist "{held}\\*" (rd /s /q "{held}") else if exist "{held}" '
                        f'(del /f /q "{held}" & rd /s /q "{held}" 2>nul)'],
              f"recorded script: what stayed is its one path, not the root ({paths})")
        os.remove(in_prefix(script_path))  # never run here


MARKERS = ["current.json", "app-current", "app-1.5.84"]
# What a running game holds open: no part of a world, which a full removal sends to the bin whole.
SAVE = ROOT + "\\minecraft\\logs\\latest.log"


def interrupt_a_full_removal():
    """A full removal ended by force while its result notice is open. The run waits there for
    the user with everything beside it cleared and its script not yet started (the script is the
    run's last act), so the kill cannot come too late. A running game holds a save meanwhile, so
    game files stay too. Returns whether the run was ended by force with its notice open."""
    reset_area()
    lay_root()
    game = start_game_holding(SAVE)
    run = Uninstall(ROOT + "\\Uninstall.exe")
    window = dialog_window(run.alive)
    notice = None
    if window:
        _, x, y = window
        xdesk.click_at(*xdesk.button_centre(x, y, ALTERNATE_Y))
        notice = notice_window(run.alive)
    # Ended while it runs, by id. (Its exit code says little here: a Windows process that Wine
    # ends from outside may leave the Unix side killed by a signal.)
    ended_by_force = notice is not None and run.running() and end([run.wrapper])
    run.finish(30)
    release_game(game)
    return ended_by_force


def test_interrupted_removal_is_finished(how):
    check(interrupt_a_full_removal(),
          f"interrupted ({how}): the first run was ended by force with its notice open")
    check(exists(ROOT + "\\Uninstall.exe") and not any(exists(ROOT + "\\" + m) for m in MARKERS)
          and exists(SAVE),
          f"interrupted ({how}): markers gone, a game file and the uninstaller left")
    lines = log_lines() or []
    check(lines[-5:-2] == [start_line(False, ROOT), "settings removed: " + SETTINGS, recycled_line()]
          and held_line(lines[-2], SAVE) and lines[-1] == kept_line(),
          f"interrupted ({how}): the run log names the root and what stayed, nothing scheduled ({lines[-4:]})")
    if how == "from the root":
        run = Uninstall(ROOT + "\\Uninstall.exe", "/S", cwd=ROOT)
    elif how == "through its executable from elsewhere":
        run = Uninstall(ROOT + "\\Uninstall.exe", "/S", cwd="K:\\")
    else:  # another copy, started in the root: a run log speaks only for its own uninstaller's folder
        os.makedirs(unix("K:\\Downloads"), exist_ok=True)
        shutil.copyfile(UNINSTALL_EXE, unix("K:\\Downloads\\Uninstall.exe"))
        log_before = temp_log()
        code = Uninstall("K:\\Downloads\\Uninstall.exe", "/S", cwd=ROOT).finish()
        added = temp_log()[len(log_before):].splitlines()
        check(code == 0 and added[-1:] == [f"refused root={ROOT}: no launcher files"] and exists(SAVE),
              f"interrupted ({how}): refused, nothing taken ({added})")
        return
    code = run.finish()
    check(code == 0, f"interrupted ({how}): the second run exits 0 (saw {code})")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"interrupted ({how}): the second run finished the removal")


# ---------------------------------------------------------------------------------------------
# Programs running from what a removal takes


def start_program(what, path, *args):
    """A copy of the stand-in started from path (inside the root, say), once it said it runs."""
    write(path, open(IDLE, "rb").read())
    return started_and_ready((what, path, *args))[0]


def closed_record():
    """Where a windowed stand-in notes that it was asked to close (outside K:, which tests
    compare whole), fresh for each test."""
    path = os.path.join(READY, "closed.txt")
    if os.path.exists(path):
        os.remove(path)
    return path, "Z:" + path.replace("/", "\\")


def read_text(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


def test_programs_running_from_the_root_are_closed_or_ended():
    """A game left running from the root's own runtime after the launcher has gone: asked to
    close through its window, or, without one, ended; the root then goes whole."""
    reset_area()
    lay_root()
    record, windows_record = closed_record()
    windowed = ROOT + "\\runtime\\bin\\javaw.exe"
    windowless = ROOT + "\\runtime\\bin\\java.exe"
    write(ROOT + "\\logs\\latest.log", b"log")
    write(ROOT + "\\logs\\debug.log", b"log")
    game = start_program("the game's window", windowed, "--hold", ROOT + "\\logs\\latest.log",
                         "--window", "Minecraft", "--closed", windows_record)
    helper = start_program("the game's helper", windowless, "--hold", ROOT + "\\logs\\debug.log")
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0, f"running from the root: exit code 0 (saw {code})")
    check(read_text(record).startswith("closed "), "running from the root: the game was asked to close")
    check(ended([game, helper]), "running from the root: both programs gone")
    lines = log_lines() or []
    check(f"closed {windowed}" in lines and f"ended {windowless}" in lines
          and not any(line.startswith("fail ") for line in lines),
          f"running from the root: one line each, nothing failed ({lines})")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "running from the root: the root is gone after the script")


def test_a_program_elsewhere_holding_a_file_in_the_root_keeps_running(reference):
    """A game running from outside the root that holds a save: none of the uninstaller's
    business to end, so the save stays, the log says so and the notice says what stayed."""
    reset_area()
    lay_root()
    game = start_game_holding(SAVE)
    launcher, run, notice = choose("held from outside", ALTERNATE_Y, None)
    if not run:
        return
    lines = log_lines() or []
    check(len(lines) >= 2 and held_line(lines[-2], SAVE) and lines[-1] == kept_line(),
          f"held from outside: the save that stayed and the way back are the run's last lines so far "
          f"({lines[-2:]})")
    check(running([game]) and exists(SAVE), "held from outside: the game runs on, its save stays")
    if notice:
        check(notice_matches(notice, reference), "held from outside: the notice names the save and says how to finish")
        check(release_game(game), "held from outside: the game let go")
        _, nx, ny = notice
        xdesk.click_at(*xdesk.button_centre(nx, ny, NOTICE_BUTTON_Y))
    check(run.finish() == 0, "held from outside: exit code 0")
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\minecraft")),
          "held from outside: the script tried the save's folder again once let go")
    check(exists(ROOT + "\\Uninstall.exe") and key_exists(),
          "held from outside: the uninstaller and the registration stay for a second run")


def test_launcher_only_stops_only_what_it_removes(reference):
    """Launcher-only removal ends a program running from an "app-" folder; one running from the
    game's folder keeps running, and the game files stay."""
    reset_area()
    lay_root()
    in_app = ROOT + "\\app-1.5.84\\squirrel.exe"
    in_game = ROOT + "\\minecraft\\runtime\\javaw.exe"
    launcher_program = start_program("a program of the launcher", in_app,
                                     "--hold", ROOT + "\\app-1.5.84\\resources.pak")
    game = start_program("the game", in_game, "--hold", ROOT + "\\minecraft\\saves\\Мир 1\\level.dat")
    launcher, run, notice = choose("launcher-only with programs", PRIMARY_Y, None)
    if not run:
        return
    check(ended([launcher_program]) and not exists(ROOT + "\\app-1.5.84"),
          "launcher-only with programs: the app- folder's program ended, the folder went")
    check(running([game]), "launcher-only with programs: the game runs on")
    check({name: read(ROOT + "\\" + name) for name in GAME_FILES} == GAME_FILES,
          "launcher-only with programs: every game file kept")
    # Lines written before "updates" went (the "ended" line among them) went with it.
    lines = log_lines() or []
    check(not any(in_game in line for line in lines),
          f"launcher-only with programs: the game is not named in the log ({lines})")
    if notice:
        check(notice_matches(notice, reference),
              "launcher-only with programs: the notice shows " + LAUNCHER_ONLY_TEXT)
        _, nx, ny = notice
        xdesk.click_at(*xdesk.button_centre(nx, ny, NOTICE_BUTTON_Y))
    check(run.finish() == 0, "launcher-only with programs: exit code 0")


# ---------------------------------------------------------------------------------------------
# Progress while removing


def test_progress_during_a_large_removal(reference):
    """A full removal of a large root: the progress window stands where the dialog stood, cannot
    be closed, counts the files as they go, and gives way to the notice at its own place."""
    reset_area()
    lay_root()
    lay_large_tree(ROOT, 30000)
    run = Uninstall(ROOT + "\\Uninstall.exe")
    window = dialog_window(run.alive)
    check(window is not None, "progress: the dialog is shown")
    if not window:
        return
    _, x, y = window
    xdesk.move(x + 600, y + 100)
    xdesk.click_at(*xdesk.button_centre(x, y, ALTERNATE_Y))
    progress = progress_window(run.alive)
    check(progress is not None, "progress: the progress window follows the dialog")
    if not progress:
        return
    wid, px, py = progress
    check((px + 250, py + 150) == (x + 250, y + 250), f"progress: at the dialog's centre ({px}, {py})")
    xdesk.run("xdotool", "windowfocus", "--sync", wid)
    xdesk.run("xdotool", "key", "--window", wid, "alt+F4")
    counts, saved_at = [], 0
    while xdesk.visible_windows(NOTICE) == [] and run.alive():
        counts.append(count_region(px, py))
        seen = len(set(map(tuple, counts)))
        if seen in (3, 15) and seen != saved_at:  # for the README: the later one, where there is one
            save_window(progress, 300, "progress.png")
            saved_at = seen
    distinct = len(set(map(tuple, counts)))
    check(distinct >= 3, f"progress: the count changed on screen while the files went ({distinct} counts)")
    notice = notice_window(run.alive)
    check(notice is not None and notice[1:] == (px, py),
          f"progress: Alt+F4 did not close it; the notice took its place ({notice and notice[1:]})")
    if notice:
        check(notice_matches(notice, reference), "progress: then the notice shows " + FULL_TEXT)
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], NOTICE_BUTTON_Y))
    check(run.finish() == 0, "progress: exit code 0")
    check(xdesk.wait_until(lambda: not exists(ROOT), 120), "progress: nothing left of the root")


def test_updates_is_a_plain_file():
    reset_area()
    lay_root()
    shutil.rmtree(unix(ROOT + "\\updates"))
    write(ROOT + "\\updates", b"not a folder")
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0, "updates as a file: exit code 0")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "updates as a file: run completes, root removed")


def test_missing_appdata():
    reset_area()
    lay_root()
    code = Uninstall(ROOT + "\\Uninstall.exe", "/S", unset=("APPDATA",)).finish()
    check(code == 0, "no APPDATA: exit code 0")
    check(exists(SETTINGS) and exists(PROGRAMS + "\\KoraVane.lnk"),
          "no APPDATA: settings and the Start-menu shortcuts built from it untouched")
    check(not exists(DESKTOP + "\\KoraVane.lnk") and exists(DESKTOP + "\\keep.txt"),
          "no APPDATA: the desktop shortcut still removed")
    check(not key_exists(), "no APPDATA: uninstall key still removed")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "no APPDATA: root removed")


# A script registered in parts (koravane_whole_program_test's PARTS) runs in part "I/N" every N-th
# of the tests its main() gives run_test, from the I-th on, so that the parts run side by side.
PART, PARTS = (int(n) for n in os.environ.get("KORAVANE_PART", "1/1").split("/"))
given = 0  # how many tests main() has given run_test so far
running_one = False


def in_this_part():
    """Whether the test running, or else the next one given to run_test, is this part's. Work for
    a test (its reference notice, say) is done only in the part that runs it."""
    return running_one or given % PARTS == PART - 1


def run_test(test, *args, **options):
    """Runs one test of this part; whatever it started and left running is ended afterwards, by id."""
    global given, running_one
    ours = in_this_part()
    given += 1
    if not ours:
        return
    running_one = True
    try:
        test(*args, **options)
    except NotReady as error:
        check(False, f"{test.__name__}: {error}")
    finally:
        running_one = False
        end_started()


def main():
    os.makedirs(READY, exist_ok=True)
    run_test(test_quiet, "/S")
    run_test(test_quiet, "--quiet")
    run_test(test_api_takes_the_quiet_option_as_its_value)
    run_test(test_genuine_root_under_a_cyrillic_profile_is_removed)
    for how in ("cancel", "close glyph", "outside WM_CLOSE"):
        run_test(test_dialog_closed_without_a_choice, how)
    run_test(test_launcher_only, reference_notice(LAUNCHER_ONLY_TEXT))
    run_test(test_full_interactive, reference_notice(FULL_TEXT))
    refusal = lambda root: reference_notice(
        f"Папка «{root}» не похожа на папку установки KoraVane. Ничего не удалено.")
    run_test(refused_run, "profile", PROFILE, "no launcher files")
    run_test(refused_run, "profile with a marker", PROFILE, "protected folder", markers=True)
    run_test(refused_run, "profile", PROFILE, "no launcher files", quiet=False,
             reference=refusal(PROFILE))
    run_test(refused_run, "Desktop with a marker", DESKTOP, "protected folder", markers=True)
    # A protected folder is not called unlike an install: it holds the person's other files.
    run_test(refused_run, "Desktop with a marker", DESKTOP, "protected folder", quiet=False,
             markers=True, reference=reference_notice(("Папку «", DESKTOP, "» нельзя удалить целиком: в ней лежат и "
                                                       "другие ваши файлы. Ничего не удалено. Храните лаунчер в "
                                                       "отдельной папке.")))
    run_test(refused_run, "drive root with a marker", "K:", "protected folder", markers=True)
    run_test(refused_run, "ordinary folder", "K:\\Files", "no launcher files",
             files={"report.docx": b"doc", "photos\\cat.jpg": b"jpg"})
    run_test(refused_run, "ordinary folder with another root's run log", "K:\\Files",
             "no launcher files", files={
                 "report.docx": b"doc",
                 "updates\\rust-updater.log": (start_line(True, ROOT) + "\n").encode()})
    run_test(refused_run, "profile with its own run log", PROFILE, "protected folder",
             files={"updates\\rust-updater.log": (start_line(True, PROFILE) + "\n").encode()})
    run_test(test_game_file_held_open)
    run_test(test_quiet_from_inside_removes_a_large_tree)
    run_test(test_quiet_from_inside_leaves_only_what_it_cannot_remove)
    for how in ("from the root", "through its executable from elsewhere", "by another copy in the root"):
        run_test(test_interrupted_removal_is_finished, how)
    run_test(test_programs_running_from_the_root_are_closed_or_ended)
    run_test(test_a_program_elsewhere_holding_a_file_in_the_root_keeps_running,
             reference_notice(way_back_full(SAVE)))
    run_test(test_launcher_only_stops_only_what_it_removes, reference_notice(LAUNCHER_ONLY_TEXT))
    run_test(test_progress_during_a_large_removal, reference_notice(FULL_TEXT))
    run_test(test_updates_is_a_plain_file)
    run_test(test_missing_appdata)
    print(f"{len(failures)} failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
