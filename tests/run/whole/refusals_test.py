#!/usr/bin/env python3
"""What is not a launcher's install is never taken: a copy of the uninstaller beside a folder named
"app-release" in each of the user's known folders (the prefix's own, which the system's
known-folder manager lists, its per-user Programs folder among them, which Wine's manager cannot
resolve; and the per-user Programs folder of the environment's profile) is refused, and so is a
folder reached only by the current directory or the target whose only "app-" entries are
"app-config", "app-notes.txt", "app-2.docx" or "app-2 backup", or that only a stale registration
names. The registration of a genuine install goes whole, subkeys and all.

Usage: refusals_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import shutil
import sys

import whole_program_test as w
from whole_program_test import ROOT, check, exists, start_line, xdesk


def prefix_folder(pattern):
    """The Unix path and the Windows path of a folder of the prefix's C: drive ("*" for the prefix's
    user) or of K:, made again if a failed run took it."""
    if pattern.startswith("K:"):
        os.makedirs(w.unix(pattern), exist_ok=True)
        return w.unix(pattern), pattern
    drive = os.path.join(w.PREFIX, "drive_c")
    users = [name for name in os.listdir(os.path.join(drive, "users")) if name != "Public"
             and os.path.isdir(os.path.join(drive, "users", name, "Temp"))]
    relative = pattern.replace("*", users[0])
    unix = os.path.join(drive, *relative.split("\\"))
    os.makedirs(unix, exist_ok=True)
    return unix, "C:\\" + relative


def unix_snapshot(folder):
    """Every entry below a Unix folder, with the bytes of each file."""
    entries = {}
    for here, folders, names in os.walk(folder):
        for name in folders:
            entries[os.path.relpath(os.path.join(here, name), folder)] = None
        for name in names:
            with open(os.path.join(here, name), "rb") as f:
                entries[os.path.relpath(os.path.join(here, name), folder)] = f.read()
    return entries


def refused(what, exe, reason, root_seen, *args, start_in=None, watched=None):
    """A quiet run of exe that must be refused for reason: nothing in watched (a Unix folder) or on
    K: changes, the registration stays, and the temporary folder's log says why."""
    before_area = w.snapshot("K:\\")
    before = unix_snapshot(watched) if watched else None
    log_before = w.temp_log()
    code = w.Uninstall(exe, "/S", *args, start_in=start_in).finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    if watched:
        check(unix_snapshot(watched) == before, f"{what}: nothing in the folder changed")
    check(w.snapshot("K:\\") == before_area and w.key_exists(), f"{what}: nothing on K: changed, the registration stays")
    added = w.temp_log()[len(log_before):].splitlines()
    check(added == [start_line(True, root_seen), f"refused root={root_seen}: {reason}"],
          f"{what}: the refusal is logged in the temporary folder ({added})")


KNOWN_FOLDERS = ["users\\*\\Pictures", "users\\*\\Music", "users\\*\\Videos", "users\\*\\Saved Games",
                 "users\\Public\\Documents", "ProgramData", "users\\*\\AppData\\Local\\Programs",
                 w.LOCALAPPDATA + "\\Programs"]


def test_known_folder(pattern):
    w.reset_area()
    w.lay_root()
    unix, windows = prefix_folder(pattern)
    what = f"a copy in {windows}"
    placed = [os.path.join(unix, "Uninstall.exe"), os.path.join(unix, "app-release")]
    shutil.copyfile(w.UNINSTALL_EXE, placed[0])
    os.makedirs(os.path.join(placed[1], "bin"), exist_ok=True)
    with open(os.path.join(unix, "keep-me.txt"), "wb") as f:
        f.write(b"the person's own")
    try:
        refused(what, windows + "\\Uninstall.exe", "protected folder", windows, watched=unix)
    finally:  # what a faulty run left of them
        for path in (placed[0], os.path.join(unix, "keep-me.txt")):
            if os.path.exists(path):
                os.remove(path)
        shutil.rmtree(placed[1], ignore_errors=True)


PROJECT = "K:\\Projects\\site"


def test_fallback_without_a_launcher_entry(entry, how):
    """A copy of the uninstaller in a folder without markers, pointed at a project folder whose only
    "app-" entry is entry."""
    what = f"{entry} by {how}"
    w.reset_area()
    w.lay_root()
    if "." in entry:
        w.write(PROJECT + "\\" + entry, b"notes")
    else:
        w.write(PROJECT + "\\" + entry + "\\settings.ini", b"[app]")
    w.write(PROJECT + "\\index.html", b"<html>")
    w.write("K:\\Tools\\Uninstall.exe", open(w.UNINSTALL_EXE, "rb").read())
    if how == "current directory":
        refused(what, "K:\\Tools\\Uninstall.exe", "no launcher files", PROJECT, start_in=PROJECT)
    else:
        refused(what, "K:\\Tools\\Uninstall.exe", "no launcher files", PROJECT, "--target", PROJECT + "\\x.exe")


def test_stale_registration():
    """The registration names a folder whose install was deleted by hand long ago and which now
    holds other games: a copy started there is not led by it."""
    what = "a copy in the folder of a stale registration"
    games = "K:\\Games"
    w.reset_area()
    w.write(games + "\\Other Game\\game.exe", b"another game")
    w.write("K:\\Tools\\Uninstall.exe", open(w.UNINSTALL_EXE, "rb").read())
    check(w.wine("reg", "add", w.KEY, "/v", "InstallLocation", "/d", games, "/f").returncode == 0,
          f"{what}: the registration names {games}")
    refused(what, "K:\\Tools\\Uninstall.exe", "no launcher files", games, start_in=games)


def test_registration_with_subkeys_goes_whole():
    what = "a registration with subkeys"
    w.reset_area()
    w.lay_root()
    w.wine("reg", "add", w.KEY + "\\Components\\Core", "/v", "Version", "/d", "1.5.84", "/f")
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S").finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(not w.key_exists(), f"{what}: the key is gone with its subkeys")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the root is gone after the script")


def main():
    os.makedirs(w.READY, exist_ok=True)
    for pattern in KNOWN_FOLDERS:
        w.run_test(test_known_folder, pattern)
    for entry in ("app-config", "app-notes.txt", "app-2.docx", "app-2 backup"):
        for how in ("current directory", "target"):
            w.run_test(test_fallback_without_a_launcher_entry, entry, how)
    w.run_test(test_stale_registration)
    w.run_test(test_registration_with_subkeys_goes_whole)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
