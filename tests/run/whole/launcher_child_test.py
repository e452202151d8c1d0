#!/usr/bin/python3
"""The whole program started by a running launcher, as its "uninstall" menu starts it: as the
launcher's plain child or inside a job that ends its processes with the launcher, beside a game
the launcher also started. The run must survive the end of the launcher's tree, ask the game to
close before anything is ended (full removal) or leave it alone (launcher-only removal), while the
copy the launcher started waits for it. A job that will not let the run go stops it before
anything is done; a tool that waits for the run in a job sees it done; another install of the
launcher is left alone.

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


class Identity:
    """A process known by its "ID:CREATED" name, as process_watch takes it."""

    def __init__(self, name):
        self.name = name

    def wait_ready(self):
        return self.name


def place(path, program):
    with open(program, "rb") as f:
        write(path, f.read())


def fresh_record(name):
    path = os.path.join(w.READY, name)
    if os.path.exists(path):
        os.remove(path)
    return path


def start_stand_in(what, exe, ready, *args, env=None, works_in=None):
    """The launcher stand-in placed at exe and started under the test profile (the deferred script
    held), working in works_in when given, once it has started its children; ready is its
    ReadyFile."""
    place(exe, LAUNCHER)
    write(HOLD, b"")
    settings = {"USERPROFILE": w.PROFILE, "APPDATA": w.APPDATA, "LOCALAPPDATA": w.LOCALAPPDATA,
                "KORAVANE_TIMEOUT_HOLD": HOLD, **(env or {})}
    folder = ["--cwd", works_in] if works_in else []
    w.Started(f"with_env for {what}", w.WITH_ENV, *[f"{k}={v}" for k, v in settings.items()], *folder,
              "--", exe, "--ready", win(ready.path), *args)
    return Identity(ready.wait_ready())


def game_line(game_path, game, windows_record):
    return (f"{quote(game_path)} --ready {quote(win(game.path))} --window Minecraft "
            f"--closed {quote(windows_record)}")


def start_launcher(job, uninstall_args, game_path, in_job=(), env=None, works_in=None, game_in=None):
    """The launcher stand-in, run from the root's app- folder under the test profile, once it has
    started the uninstaller and a windowed game that records being asked to close. in_job names
    which of "uninstaller" and "game" it starts inside its job. The launcher works in works_in
    and starts the game in game_in, when given; the uninstaller starts where the launcher works.
    Returns (launcher, game, exits record, game's closed record)."""
    place(game_path, w.IDLE)
    record, windows_record = w.closed_record()
    exits = fresh_record("exits.txt")
    game = ReadyFile("the game the launcher started", "game.txt")
    uninstall = " ".join([quote(ROOT + "\\Uninstall.exe"), *uninstall_args])
    args = ["--exits", win(exits)]
    if job:
        args += ["--job", job]
    # The game runs before the uninstaller is chosen from the launcher's menu.
    args += ["--in", game_in] if game_in else []
    args += ["--job-child" if "game" in in_job else "--child", game_line(game_path, game, windows_record),
             "--wait", win(game.path)]
    args += ["--in", works_in] if game_in and works_in else []
    args += ["--job-child" if "uninstaller" in in_job else "--child", uninstall]
    launcher = start_stand_in("the launcher", LAUNCHER_EXE, ReadyFile("the launcher", "launcher.txt"),
                              *args, env=env, works_in=works_in)
    game.wait_ready()
    return launcher, game, exits, record


def first_copy(exits):
    """The copy the launcher started (its second child)."""
    for line in w.read_text(exits).splitlines():
        if line.startswith("2 started "):
            return Identity(line.split()[2])
    raise w.NotReady("the launcher never said that it started the uninstaller")


def first_copy_exited(exits):
    """Whether the copy the launcher started exited with code 0."""
    return "2 exited 0" in w.read_text(exits).splitlines()


def scheduled():
    lines = log_lines() or []
    return bool(lines) and lines[-1].startswith("scheduled delete via ")


def finish_script():
    os.remove(unix(HOLD))
    return xdesk.wait_until(lambda: not exists(ROOT))


def test_quiet(what, job, in_job, game_path, env=None):
    """A quiet run: it goes on in a new copy, asks the game to close, then ends the launcher, whose
    tree takes the first copy, which waited for the run."""
    w.reset_area()
    w.lay_root()
    folders = w.run_folders()
    launcher, game, exits, record = start_launcher(job, ["/S"], game_path, in_job, env)
    finished = xdesk.wait_until(scheduled)
    check(finished, f"{what}: the run went on to its end ({log_lines()})")
    check(w.ended([launcher, first_copy(exits)]), f"{what}: the launcher and the first copy have gone")
    check(w.read_text(record).startswith("closed "), f"{what}: the game was asked to close")
    lines = log_lines() or []
    check(lines[:5] == ["an earlier run", start_line(True, ROOT), f"closed {game_path}",
                        "settings removed: " + w.SETTINGS, w.recycled_line()] and len(lines) == 6,
          f"{what}: one start line, the game closed, nothing failed ({lines})")
    check(w.ended([game]), f"{what}: the game is gone")
    check(finish_script(), f"{what}: the root is gone after the script")
    check(w.run_folders() == folders, f"{what}: the working folders of the copies, the relay's too, gone ({w.run_folders()})")


def through_the_notice(what, button_y, exits):
    """Clicks button_y in the dialog; returns whether the progress window and the notice came.
    The first copy still runs while the dialog is shown: it waits for the run."""
    window = w.dialog_window(lambda: True)
    check(window is not None, f"{what}: the dialog is shown")
    if not window:
        return False
    check(w.running([first_copy(exits)]), f"{what}: the first copy waits while the dialog is shown")
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
    launcher, game, exits, record = start_launcher(job, [], game_path, in_job)
    check(through_the_notice(what, w.ALTERNATE_Y, exits), f"{what}: the run went on to its end")
    check(w.read_text(record).startswith("closed "), f"{what}: the game was asked to close")
    lines = log_lines() or []
    check(lines[:5] == ["an earlier run", start_line(False, ROOT), f"closed {game_path}",
                        "settings removed: " + w.SETTINGS, w.recycled_line()] and len(lines) == 6,
          f"{what}: one start line, the game closed, nothing failed ({lines})")
    check(finish_script(), f"{what}: the root is gone after the script")


def test_interactive_launcher_only(what, job, in_job):
    """The game in the game's folder is kept: it runs on, never asked; the launcher goes."""
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\minecraft\\runtime\\javaw.exe"
    launcher, game, exits, record = start_launcher(job, [], game_path, in_job)
    check(through_the_notice(what, w.PRIMARY_Y, exits), f"{what}: the run went on to its end")
    check(w.ended([first_copy(exits)]), f"{what}: the first copy ended with the run")
    check(w.read_text(record) == "" and w.running([game]), f"{what}: the game runs on, unasked")
    check(not exists(LAUNCHER_EXE) and not exists(ROOT + "\\app-1.5.84"),
          f"{what}: the launcher was ended and its folder went")
    check({name: w.read(ROOT + "\\" + name) for name in w.GAME_FILES} == w.GAME_FILES,
          f"{what}: every game file kept")
    w.end([game])
    os.remove(unix(HOLD))
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe") and not exists(ROOT + "\\Update.exe")),
          f"{what}: the script removed Uninstall.exe and Update.exe")


def test_waited_for_in_a_job_without_limits():
    """A deployment agent starts the quiet removal inside a job without limits, as agents, scripts
    and installers track what they start, and waits for it: when its wait returns, the removal is
    done, and only the uninstaller and its run log are left, for the deferred script."""
    what = "waited for in a job"
    w.reset_area()
    w.lay_root()
    exits = fresh_record("exits.txt")
    uninstall = quote(ROOT + "\\Uninstall.exe") + " /S"
    start_stand_in("the agent", "K:\\Tools\\agent.exe", ReadyFile("the agent", "agent.txt"), "--exits", win(exits),
                   "--left", ROOT, "--job", "none", "--job-child", uninstall)
    check(xdesk.wait_until(lambda: "1 exited 0" in w.read_text(exits).splitlines()),
          f"{what}: the run exited 0 ({w.read_text(exits)!r})")
    lines = w.read_text(exits).splitlines()
    left = sorted(line.split(" left ", 1)[1] for line in lines if line.startswith("1 left "))
    check(left == ["Uninstall.exe", "updates\\rust-updater.log"],
          f"{what}: when the agent's wait returned, only the uninstaller and its run log were left ({left[:6]})")
    check(scheduled(), f"{what}: the run had ended with its scheduling line ({(log_lines() or [])[-1:]})")
    check(finish_script(), f"{what}: the root is gone after the script")


STUCK_LINE = "close KoraVane first: nothing was stopped or removed"
STUCK_TEXT = ("Удаление не может продолжиться, пока открыт KoraVane. Закройте KoraVane и запустите "
              "удаление снова. Ничего не удалено.")


def test_job_that_will_not_let_go(what, quiet, reference=None):
    """The launcher starts the run inside a job that ends its processes when it closes and lets
    none leave: the run cannot leave what the stop step would end, so it stops nothing and removes
    nothing, says so in the log and, when interactive, in a notice instead of the dialog."""
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\runtime\\bin\\javaw.exe"
    place(LAUNCHER_EXE, LAUNCHER)
    place(game_path, w.IDLE)
    before = w.snapshot(ROOT)
    launcher, game, exits, record = start_launcher("kill", ["/S"] if quiet else [], game_path, ("uninstaller",))
    if not quiet:
        notice = w.notice_window(lambda: not first_copy_exited(exits))
        check(notice is not None and not xdesk.visible_windows(w.CHOICE), f"{what}: a notice instead of the dialog")
        if notice:
            check(w.notice_matches(notice, reference), f"{what}: the notice shows " + STUCK_TEXT)
            xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(xdesk.wait_until(lambda: first_copy_exited(exits)), f"{what}: the run exited 0 ({w.read_text(exits)!r})")
    lines = log_lines() or []
    check(lines[:2] == ["an earlier run", start_line(quiet, ROOT)] and len(lines) == 4
          and lines[2].startswith("fail detach: ") and lines[2].endswith(" (os error 5)") and lines[3] == STUCK_LINE,
          f"{what}: the start line, the refusal, the launcher to close first ({lines})")
    after = w.snapshot(ROOT)
    after.pop("updates/rust-updater.log", None)
    before.pop("updates/rust-updater.log", None)
    check(after == before, f"{what}: nothing removed")
    check(w.running([launcher, game]) and w.read_text(record) == "", f"{what}: nothing asked or stopped")
    check(w.key_exists() and exists(w.SETTINGS) and exists(w.DESKTOP + "\\KoraVane.lnk"),
          f"{what}: registration, settings and shortcuts kept")


OTHER_INSTALL = "K:\\Games\\KoraVane"


def test_another_install_is_left_alone():
    """A second install of the launcher runs from another folder with the game it started: a quiet
    removal of the install in the profile ends its own launcher and takes its root, and neither
    it nor its deferred script asks or ends the other launcher or its game."""
    what = "another install"
    w.reset_area()
    w.lay_root()
    own = w.start_launcher_processes()
    game_path = OTHER_INSTALL + "\\runtime\\bin\\javaw.exe"
    place(game_path, w.IDLE)
    record, windows_record = w.closed_record()
    game = ReadyFile("the other install's game", "game.txt")
    other = start_stand_in("the other install's launcher", OTHER_INSTALL + "\\app-1.5.84\\KoraVane.exe",
                           ReadyFile("the other launcher", "other.txt"),
                           "--child", game_line(game_path, game, windows_record))
    game.wait_ready()
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": HOLD}).finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(w.ended(own), f"{what}: this install's launcher and updater ended")
    check(w.running([other, game]) and w.read_text(record) == "",
          f"{what}: the other launcher and its game neither asked nor ended")
    lines = log_lines() or []
    check(scheduled() and not any(line.startswith("fail ") or OTHER_INSTALL in line for line in lines),
          f"{what}: nothing failed, nothing of the other install named ({lines})")
    check(finish_script(), f"{what}: this install's root is gone after the script")
    # The script ends the launcher by image name before it removes anything: with the root gone,
    # it has had its chance at the other install too.
    check(w.running([other, game]) and w.read_text(record) == "",
          f"{what}: the other launcher and its game still run after the script")


def main():
    os.makedirs(w.READY, exist_ok=True)
    in_root = ROOT + "\\runtime\\bin\\javaw.exe"
    elsewhere = "K:\\Tools\\javaw.exe"
    w.run_test(test_quiet, "quiet, plain child", None, (), in_root)
    w.run_test(test_quiet, "quiet, in a job with its game", "breakaway", ("uninstaller", "game"), elsewhere)
    w.run_test(test_interactive_full, "full, in a job", "silent", ("uninstaller",))
    w.run_test(test_interactive_launcher_only, "launcher-only, in a job", "breakaway", ("uninstaller",))
    w.run_test(test_interactive_launcher_only, "launcher-only, plain child", None, ())
    w.run_test(test_quiet, "quiet, a stray continued-run word", None, (), in_root,
               {"KORAVANE_UNINSTALL_CONTINUES_RUN": "12:34"})
    w.run_test(test_waited_for_in_a_job_without_limits)
    w.run_test(test_job_that_will_not_let_go, "a job that will not let go, quiet", True)
    w.run_test(test_job_that_will_not_let_go, "a job that will not let go, interactive", False,
               w.reference_notice(STUCK_TEXT))
    w.run_test(test_another_install_is_left_alone)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
