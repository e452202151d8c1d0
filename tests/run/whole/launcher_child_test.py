#!/usr/bin/env python3
"""The whole program started by a running launcher, as its "uninstall" menu starts it: as the
launcher's plain child or inside a job that ends its processes with the launcher, beside a game
the launcher also started. The run must survive the end of the launcher's tree, ask the game to
close before anything is ended (full removal) or leave it alone (launcher-only removal).

Usage: launcher_child_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import sys

import whole_program_test as w
from whole_program_test import ROOT, check, exists, log_lines, start_line, unix, write, xdesk

LAUNCHER = os.path.join(w.SUPPORT, "launcher", "launcher.exe")
LAUNCHER_EXE = ROOT + "\\app-1.5.84\\KoraVane.exe"
HOLD = "K:\\script-hold"  # the deferred script waits while it exists


def win(path):
    """The Windows form of a path outside K: (the ready folder)."""
    return "Z:" + path.replace("/", "\\")


class ReadyFile:
    """A program the launcher started, known by the ready file it writes once it runs."""

    def __init__(self, what, name):
        self.what = what
        self.path = os.path.join(w.READY, name)
        if os.path.exists(self.path):
            os.remove(self.path)
        self.identity = None

    def wait_ready(self):
        if self.identity is None:
            if not xdesk.wait_until(lambda: os.path.exists(self.path), w.READY_SECONDS, 0.05):
                raise w.NotReady(f"{self.what} never said that it runs")
            with open(self.path) as f:
                self.identity = ":".join(f.read().split())
        return self.identity


def quote(path):
    return f'"{path}"'


def start_launcher(job, uninstall_args, game_path, in_job=()):
    """The launcher stand-in, run from the root's app- folder under the test profile, once it has
    started the uninstaller and a windowed game that records being asked to close. in_job names
    which of "uninstaller" and "game" it starts inside its job. Returns (game, exits record, game's
    closed record)."""
    with open(LAUNCHER, "rb") as f:
        write(LAUNCHER_EXE, f.read())
    with open(w.IDLE, "rb") as f:
        write(game_path, f.read())
    write(HOLD, b"")
    record, windows_record = w.closed_record()
    exits = os.path.join(w.READY, "exits.txt")
    if os.path.exists(exits):
        os.remove(exits)
    game = ReadyFile("the game the launcher started", "game.txt")
    launcher_ready = ReadyFile("the launcher", "launcher.txt")
    uninstall = " ".join([quote(ROOT + "\\Uninstall.exe"), *uninstall_args])
    game_line = (f"{quote(game_path)} --ready {quote(win(game.path))} --window Minecraft "
                 f"--closed {quote(windows_record)}")
    args = ["--ready", win(launcher_ready.path), "--exits", win(exits)]
    if job:
        args += ["--job", job]
    # The game runs before the uninstaller is chosen from the launcher's menu.
    args += ["--job-child" if "game" in in_job else "--child", game_line, "--wait", win(game.path)]
    args += ["--job-child" if "uninstaller" in in_job else "--child", uninstall]
    settings = {"USERPROFILE": w.PROFILE, "APPDATA": w.APPDATA, "LOCALAPPDATA": w.LOCALAPPDATA,
                "KORAVANE_TIMEOUT_HOLD": HOLD}
    w.Started("with_env for the launcher", w.WITH_ENV, *[f"{k}={v}" for k, v in settings.items()],
              "--", LAUNCHER_EXE, *args)
    launcher_ready.wait_ready()
    game.wait_ready()
    return game, exits, record


def first_copy_exited(exits):
    """Whether the copy the launcher started (its second child) exited with code 0."""
    return "2 exited 0" in w.read_text(exits).splitlines()


def scheduled():
    lines = log_lines() or []
    return bool(lines) and lines[-1].startswith("scheduled delete via ")


def finish_script():
    os.remove(unix(HOLD))
    return xdesk.wait_until(lambda: not exists(ROOT))


def test_quiet(what, job, in_job, game_path):
    """A quiet run: it goes on in a new copy, asks the game to close, then ends the launcher."""
    w.reset_area()
    w.lay_root()
    game, exits, record = start_launcher(job, ["/S"], game_path, in_job)
    finished = xdesk.wait_until(scheduled)
    check(finished, f"{what}: the run went on to its end ({log_lines()})")
    check(first_copy_exited(exits), f"{what}: the first copy exited 0 ({w.read_text(exits)!r})")
    check(w.read_text(record).startswith("closed "), f"{what}: the game was asked to close")
    lines = log_lines() or []
    check(lines[:4] == ["an earlier run", start_line(True, ROOT), f"closed {game_path}",
                        "settings removed: " + w.SETTINGS] and len(lines) == 5,
          f"{what}: one start line, the game closed, nothing failed ({lines})")
    check(w.ended([game]), f"{what}: the game is gone")
    check(finish_script(), f"{what}: the root is gone after the script")


def through_the_notice(what, button_y):
    """Clicks button_y in the dialog; returns whether the progress window and the notice came."""
    window = w.dialog_window(lambda: True)
    check(window is not None, f"{what}: the dialog is shown")
    if not window:
        return False
    xdesk.click_at(*xdesk.button_centre(window[1], window[2], button_y))
    notice = w.notice_window(lambda: True)
    check(notice is not None, f"{what}: the notice is on screen after the removal")
    if not notice:
        return False
    xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    return xdesk.wait_until(scheduled)


def test_interactive_full(what, job, in_job):
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\runtime\\bin\\javaw.exe"
    game, exits, record = start_launcher(job, [], game_path, in_job)
    check(xdesk.wait_until(lambda: first_copy_exited(exits)), f"{what}: the first copy exited 0")
    check(through_the_notice(what, w.ALTERNATE_Y), f"{what}: the run went on to its end")
    check(w.read_text(record).startswith("closed "), f"{what}: the game was asked to close")
    lines = log_lines() or []
    check(lines[:4] == ["an earlier run", start_line(False, ROOT), f"closed {game_path}",
                        "settings removed: " + w.SETTINGS] and len(lines) == 5,
          f"{what}: one start line, the game closed, nothing failed ({lines})")
    check(finish_script(), f"{what}: the root is gone after the script")


def test_interactive_launcher_only(what, job, in_job):
    """The game in the game's folder is kept: it runs on, never asked; the launcher goes."""
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\minecraft\\runtime\\javaw.exe"
    game, exits, record = start_launcher(job, [], game_path, in_job)
    check(through_the_notice(what, w.PRIMARY_Y), f"{what}: the run went on to its end")
    check(first_copy_exited(exits), f"{what}: the first copy exited 0")
    check(w.read_text(record) == "" and w.running([game]), f"{what}: the game runs on, unasked")
    check(not exists(LAUNCHER_EXE) and not exists(ROOT + "\\app-1.5.84"),
          f"{what}: the launcher was ended and its folder went")
    check({name: w.read(ROOT + "\\" + name) for name in w.GAME_FILES} == w.GAME_FILES,
          f"{what}: every game file kept")
    w.end([game])
    os.remove(unix(HOLD))
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe") and not exists(ROOT + "\\Update.exe")),
          f"{what}: the script removed Uninstall.exe and Update.exe")


def main():
    os.makedirs(w.READY, exist_ok=True)
    in_root = ROOT + "\\runtime\\bin\\javaw.exe"
    elsewhere = "K:\\Tools\\javaw.exe"
    w.run_test(test_quiet, "quiet, plain child", None, (), in_root)
    w.run_test(test_quiet, "quiet, in a job with its game", "breakaway", ("uninstaller", "game"), elsewhere)
    w.run_test(test_interactive_full, "full, in a job", "silent", ("uninstaller",))
    w.run_test(test_interactive_launcher_only, "launcher-only, in a job", "breakaway", ("uninstaller",))
    w.run_test(test_interactive_launcher_only, "launcher-only, plain child", None, ())
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
