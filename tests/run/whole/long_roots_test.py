#!/usr/bin/env python3
"""Install roots whose paths come near or pass the system's plain limit of 260 characters: a quiet
removal from inside the root, where the deferred script takes the root once the run has gone, and
from elsewhere, where the run takes it all itself. Each ends with the root gone, the uninstall
registration gone and no fail line.

Usage: long_roots_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import shutil
import subprocess
import sys

import whole_program_test as w

HOLD = "K:\\script-hold"  # the deferred script waits while it exists
TOOLS = "K:\\Tools"
FOLDER = "Сохранённые-игры-KoraVane-"  # named in pieces of at most 50 characters


def long_root(length):
    """A root below the profile's local application data whose path has length characters."""
    path = w.LOCALAPPDATA + "\\Игры"
    while length - len(path) > 51:
        path += "\\" + (FOLDER * 2)[:50]
    path += "\\" + ("KoraVane" * 7)[:length - len(path) - 1]
    assert len(path) == length, (len(path), length)
    return path


def lay_root_without_a_world(root, **options):
    """The usual root, its save no world: under Wine the shell's older call stands in for the file
    operation, and it is handed no world with a path past 259 characters (such a world stays,
    named; see worlds_test.py)."""
    w.lay_root(root, **options)
    os.remove(w.unix(root + "\\minecraft\\saves\\Мир 1\\level.dat"))


def run_from_inside(root):
    """The root's own uninstaller, quiet, by its full path; its exit code. Wine starts no program
    whose path passes the plain limit through CreateProcess, in any spelling (an 8.3 one takes its
    long name first), so with_env cannot start it: it is Wine's first process, which has the
    prefix's own profile. Nothing of the launcher lies there, and the root is on K:."""
    env = dict(os.environ, KORAVANE_TIMEOUT_HOLD=HOLD)
    done = subprocess.run([w.WINE_EXEC, w.PREFIX, w.unix(root + "\\Uninstall.exe"), "/S"], env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    return done.returncode


def test_from_inside(length):
    """Everything but the uninstaller and its run log goes during the run; the script takes the
    root, named in a form cmd can remove at that length."""
    what = f"a root of {length} characters, from inside"
    root = long_root(length)
    w.reset_area()
    lay_root_without_a_world(root)
    w.write(HOLD, b"")
    code = run_from_inside(root)
    w.check(code == 0, f"{what}: exit code 0 (saw {code})")
    lines = w.log_lines(root) or []
    w.check(lines[:2] == ["an earlier run", w.start_line(True, root)] and len(lines) == 4
            and lines[2].startswith("settings removed: ") and lines[3].startswith("scheduled delete via "),
            f"{what}: no fail line, the script scheduled ({lines})")
    w.check(not w.key_exists(), f"{what}: the registration is gone")
    os.remove(w.unix(HOLD))
    w.check(w.xdesk.wait_until(lambda: not w.exists(root)), f"{what}: the root is gone after the script")


def test_from_elsewhere(length):
    """An uninstaller outside the root, given a file of it: the run takes the whole root itself."""
    what = f"a root of {length} characters, from elsewhere"
    root = long_root(length)
    w.reset_area()
    lay_root_without_a_world(root, with_uninstaller=False)
    os.makedirs(w.unix(TOOLS), exist_ok=True)
    shutil.copyfile(w.UNINSTALL_EXE, w.unix(TOOLS + "\\Uninstall.exe"))
    code = w.Uninstall(TOOLS + "\\Uninstall.exe", "/S", "--target", root + "\\KoraVane.exe").finish()
    w.check(code == 0, f"{what}: exit code 0 (saw {code})")
    # The run log goes with the root only when nothing failed: a fail line keeps it, and the root.
    w.check(w.xdesk.wait_until(lambda: not w.exists(root)),
            f"{what}: the root is gone, with its run log ({w.log_lines(root)})")
    w.check(not w.key_exists() and not w.exists(w.SETTINGS), f"{what}: the registration and settings are gone")


def main():
    os.makedirs(w.READY, exist_ok=True)
    for length in (250, 300):
        w.run_test(test_from_inside, length)
        w.run_test(test_from_elsewhere, length)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
