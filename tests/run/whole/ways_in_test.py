#!/usr/bin/env python3
"""Every way a person starts the uninstaller finishes in one run, and the way back never breaks.

From the launcher's menu (the launcher working in its version folder, quiet, with and without its
job; keep-game chosen there), from a shortcut whose "Start in" lies deep in the root, from the list
of installed programs (the system folder) and from Explorer (the root itself): the root and the
registration go, and no fail line is written. A run whose log a viewer holds and whose save (or a
world's) a game holds names the log among what stayed and keeps the way back in the registration;
so does a run whose log is a folder and whose install left no registration, which then makes it;
either way the uninstaller started again from the system folder finishes; so does a second run by
another spelling of the root, and a run whose output a command prompt redirects into the root.

Usage: ways_in_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import subprocess
import sys

import launcher_child_test as lc
import whole_program_test as w
from whole_program_test import ROOT, check, exists, log_lines, start_line, unix, write, xdesk

VERSION_FOLDER = ROOT + "\\app-1.5.84"
SYSTEM_FOLDER = "C:\\windows\\system32"


def clean(lines):
    """Neither a fail line nor the way back among lines."""
    return not any(line.startswith("fail ") or line.startswith("kept the uninstall registration")
                   for line in lines)


def test_from_the_launchers_menu(what, job, in_job):
    """The launcher works in its version folder, so the uninstaller it starts begins there."""
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\runtime\\bin\\javaw.exe"
    launcher, game, exits, record = lc.start_launcher(job, ["/S"], game_path, in_job,
                                                      works_in=VERSION_FOLDER, game_in=ROOT + "\\minecraft")
    check(xdesk.wait_until(lc.scheduled), f"{what}: the run went on to its end ({log_lines()})")
    lines = log_lines() or []
    check(lines[:5] == ["an earlier run", start_line(True, ROOT), f"closed {game_path}",
                        "settings removed: " + w.SETTINGS, w.recycled_line()] and len(lines) == 6,
          f"{what}: the game closed, nothing failed, no way back kept ({lines})")
    check(not w.key_exists(), f"{what}: the registration went")
    check(lc.finish_script(), f"{what}: the root is gone after the script")


def test_keep_game_from_the_launchers_menu():
    what = "keep-game from the launcher's menu"
    w.reset_area()
    w.lay_root()
    game_path = ROOT + "\\minecraft\\runtime\\javaw.exe"
    launcher, game, exits, record = lc.start_launcher(None, [], game_path, (), works_in=VERSION_FOLDER,
                                                      game_in=ROOT + "\\minecraft")
    check(lc.through_the_notice(what, w.PRIMARY_Y, exits), f"{what}: the run went on to its end")
    lines = log_lines() or []
    check(clean(lines), f"{what}: nothing failed, no way back kept ({lines})")
    check(not exists(VERSION_FOLDER) and not w.key_exists(), f"{what}: the version folder and the registration went")
    check(w.running([game]), f"{what}: the game runs on")
    w.end([game])
    os.remove(unix(lc.HOLD))
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe") and not exists(ROOT + "\\Update.exe")),
          f"{what}: the script removed Uninstall.exe and Update.exe")
    check({name: w.read(ROOT + "\\" + name) for name in w.GAME_FILES} == w.GAME_FILES,
          f"{what}: every game file kept")


def test_started_in(what, folder):
    """Started the way a shortcut, the list of installed programs or Explorer starts it: in folder,
    which only the uninstaller works in."""
    w.reset_area()
    w.lay_root()
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", start_in=folder).finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    lines = log_lines() or []
    check(clean(lines) and len(lines) == 5 and lines[3] == w.recycled_line() and lines[-1].startswith("scheduled delete via "),
          f"{what}: nothing failed, no way back kept ({lines})")
    check(not w.key_exists(), f"{what}: the registration went")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the root is gone after the script")


def registered_location(value="InstallLocation"):
    """The registration's InstallLocation (or another value), or None."""
    for _ in range(3):
        query = subprocess.run([w.WINE_EXEC, w.PREFIX, "reg", "query", w.KEY, "/v", value],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        text = query.stdout.decode("cp866", "replace")  # reg writes in the console's OEM code page
        if query.returncode == 0 and value in text:
            return text.split("REG_SZ", 1)[1].strip()
        if query.returncode == 1:
            return None
    raise RuntimeError(f"reg query gave no answer: {query.returncode} {query.stdout[-200:]!r}")


LOG = ROOT + "\\updates\\rust-updater.log"


def run_held_then_again(what, save, log_is_a_folder):
    """A first quiet run while a game holds a save and a viewer the run log (or, with no registration
    before, the run log is a folder); once both let go and the script has tried again, the
    uninstaller is started again as the list of installed programs starts it. Returns the first
    run's lines as the temporary folder's log received them, and its run log after it."""
    w.reset_area()
    w.lay_root()
    held = [w.start_game_holding(save)]
    if log_is_a_folder:
        os.remove(unix(LOG))
        write(LOG + "\\old.txt", b"not a log")
        w.wine("reg", "delete", w.KEY, "/f")
        check(not w.key_exists(), f"{what}: no registration before")
    else:
        held.append(w.start_program("a log viewer", "K:\\Tools\\viewer.exe", "--view", LOG))
    temp_before = w.temp_log()
    write(lc.HOLD, b"")
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": lc.HOLD}).finish()
    check(code == 0, f"{what}: the first run exits 0 (saw {code})")
    temp_lines = w.temp_log()[len(temp_before):].splitlines()
    first_log = log_lines() or []
    check(exists(ROOT + "\\Uninstall.exe") and w.key_exists() and not any(exists(ROOT + "\\" + m) for m in w.MARKERS),
          f"{what}: the markers went, the uninstaller and the registration stayed")
    check(registered_location() == ROOT, f"{what}: the registration names the root ({registered_location()})")
    command = registered_location("UninstallString")
    check(command == f'"{ROOT}\\Uninstall.exe"', f"{what}: the registration starts the kept uninstaller ({command})")
    check(w.release_game(held[0]) and (len(held) == 1 or w.end(held[1:])), f"{what}: the game and the viewer let go")
    os.remove(unix(lc.HOLD))
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\minecraft")), f"{what}: the script tried the save again")
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", start_in=SYSTEM_FOLDER).finish()
    check(code == 0, f"{what}: the second run exits 0 (saw {code})")
    check(xdesk.wait_until(lambda: not exists(ROOT)) and not w.key_exists(),
          f"{what}: the second run finished: the root and the registration are gone")
    return temp_lines, first_log


def test_held_then_again(what, save, log_is_a_folder=False):
    """A log the run could not write is not its own: held, it stays, named, with the way back even
    where nothing else stays (under Wine a world held open goes to the Recycle Bin all the same); a
    folder goes with the rest, and the lines after it make a run log of the run's own."""
    temp, log = run_held_then_again(what, save, log_is_a_folder)
    after = log if log_is_a_folder else temp
    check(temp[:1] == [start_line(True, ROOT)] and w.kept_line() in after
          and (log_is_a_folder or any(w.held_line(line, LOG) for line in after))
          and (save != w.SAVE or any(w.held_line(line, save) for line in after)),
          f"{what}: the start line went to the temporary folder's log, then what stayed and the way back "
          f"({temp}, {log})")


def test_second_run_by_another_spelling():
    """The second run reaches the root through another drive mapping of the same folder; the run
    log names it by the first spelling, and the registration no longer names it at all."""
    what = "a second run by another spelling"
    other = os.path.join(w.PREFIX, "dosdevices", "l:")
    if os.path.lexists(other):
        os.remove(other)
    os.symlink(w.AREA, other)
    w.reset_area()
    w.lay_root()
    game = w.start_game_holding(w.SAVE)
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0 and w.kept_line() in (log_lines() or []) and registered_location() == ROOT,
          f"{what}: the first run kept the way back ({log_lines()})")
    check(w.release_game(game), f"{what}: the game let go")
    w.wine("reg", "delete", w.KEY, "/v", "InstallLocation", "/f")
    check(registered_location() is None, f"{what}: the registration names no folder")
    code = w.Uninstall("L:" + ROOT[2:] + "\\Uninstall.exe", "/S", start_in=SYSTEM_FOLDER).finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(xdesk.wait_until(lambda: not exists(ROOT)) and not w.key_exists(),
          f"{what}: the root and the registration are gone")
    os.remove(other)


def test_output_redirected_by_a_command_prompt():
    """cmd runs the uninstaller with its output redirected into a folder of the root: the file the
    run and cmd share is deleted once both let go, so the root goes to the script whole."""
    what = "a command prompt's redirection"
    w.reset_area()
    w.lay_root()
    write(ROOT + "\\logs\\latest.log", b"log")
    batch = f'@"{ROOT}\\Uninstall.exe" /S > "{ROOT}\\logs\\out.txt" 2>&1\r\n'
    write("K:\\Tools\\go.cmd", batch.encode("cp866"))
    run = w.Uninstall("cmd", "/c", "K:\\Tools\\go.cmd", start_in="K:\\Tools")
    code = run.finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    lines = log_lines() or []
    check(w.kept_line() not in lines and lines[-1:] and lines[-1].startswith("scheduled delete via "),
          f"{what}: no way back kept, the root went to the script ({lines})")
    check(not w.key_exists(), f"{what}: the registration went")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the root is gone after the script")


def main():
    os.makedirs(w.READY, exist_ok=True)
    w.run_test(test_from_the_launchers_menu, "the launcher's menu, plain child", None, ())
    w.run_test(test_from_the_launchers_menu, "the launcher's menu, in its job", "breakaway", ("uninstaller", "game"))
    w.run_test(test_keep_game_from_the_launchers_menu)
    w.run_test(test_started_in, "a shortcut starting it deep in the root", ROOT + "\\minecraft\\saves\\Мир 1")
    w.run_test(test_started_in, "the list of installed programs", SYSTEM_FOLDER)
    w.run_test(test_started_in, "Explorer in the root", ROOT)
    w.run_test(test_held_then_again, "a held run log and save", w.SAVE)
    w.run_test(test_held_then_again, "a held run log and a world's save", ROOT + "\\minecraft\\saves\\Мир 1\\level.dat")
    w.run_test(test_held_then_again, "a run log that is a folder, no registration", w.SAVE, True)
    w.run_test(test_second_run_by_another_spelling)
    w.run_test(test_output_redirected_by_a_command_prompt)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
