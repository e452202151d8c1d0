#!/usr/bin/env python3
"""Links in and around an install root, under Wine. A link is removed as itself or stays, named,
with the way back; it is never walked, and nothing it names changes. Wine lists a Unix link to a
folder as a reparse point yet opens it as the folder it names, and lists and opens a Unix link to
a file as that file, naming its handle by the file's path: there such a link stays. A hard link's
other names keep the file as it was, content and mode.

Usage: links_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
Needs DISPLAY (tools/with-xvfb).
"""
import glob
import os
import re
import stat
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whole_program_test as w  # noqa: E402  (reads the same three arguments)
from whole_program_test import ROOT, check, exists, kept_line, log_lines, unix, xdesk  # noqa: E402

HOLD = "K:\\script-hold"  # the deferred script waits while it exists
PROMPT_SECONDS = 60  # far below Uninstall.finish's deadline, which only bounds a hang
# What a link that opened as something else stays with, ERROR_NOT_A_REPARSE_POINT: in the system's
# words, or in the run log's form for a code the system has no text for (Wine has none for it).
NOT_A_LINK = re.compile(r"(\(os error 4390\)|OS Error 4390 \(FormatMessageW\(\) returned error \d+\))$")


def state(path, leave_out=()):
    """Every entry below a K: folder, links never followed: a file's mode and bytes, a folder's
    mode, a link's target."""
    base = unix(path)
    entries = {}
    for folder, folders, files in os.walk(base):
        folders[:] = [name for name in folders if os.path.relpath(os.path.join(folder, name), base) not in leave_out]
        for name in folders + files:
            full = os.path.join(folder, name)
            mode = os.lstat(full).st_mode
            if stat.S_ISLNK(mode):
                entries[os.path.relpath(full, base)] = ("link", os.readlink(full))
            elif stat.S_ISDIR(mode):
                entries[os.path.relpath(full, base)] = ("folder", mode)
            else:
                with open(full, "rb") as f:
                    entries[os.path.relpath(full, base)] = ("file", mode, f.read())
    return entries


def link(path, target):
    """path, a Unix link to the K: path target (or "." for the folder holding it); what it says."""
    os.makedirs(os.path.dirname(unix(path)), exist_ok=True)
    at = target if target == "." else os.path.relpath(unix(target), os.path.dirname(unix(path)))
    os.symlink(at, unix(path))
    return ("link", at)


def scripts_done():
    """Whether every deferred script of the test prefix has run and deleted itself."""
    return not glob.glob(os.path.join(w.PREFIX, "drive_c", "users", "*", "Temp", "koravane-uninstall-*.cmd"))


def timed(what, start_run, on_the_way=lambda run: None):
    """Starts a run, lets on_the_way do its part and waits for the exit, checked to be 0 and to
    come promptly."""
    start = time.monotonic()
    run = start_run()
    on_the_way(run)
    code = run.finish()
    took = time.monotonic() - start
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(took < PROMPT_SECONDS, f"{what}: the run ended promptly ({took:.1f} s)")
    return code


def fail_lines(lines):
    return [line for line in lines if line.startswith("fail ")]


def stays_named(what, lines, subject):
    """One fail line, short, names the link that stayed as opened as something else."""
    failed = fail_lines(lines)
    check(len(failed) == 1 and failed[0].startswith(f"fail {subject}: ") and NOT_A_LINK.search(failed[0])
          and len(failed[0]) < 400, f"{what}: the link is named, once ({[line[:200] for line in failed]})")


LINKS_BELOW_THE_ROOT = [
    # (what, the link below the root, what it names, the folder compared before and after, what of
    # that folder to leave out of the comparison)
    ("a link to the root's parent", "saves\\up", w.LOCALAPPDATA, w.LOCALAPPDATA, ("KoraVane",)),
    ("a link to Documents", "minecraft\\mods\\mine", w.PROFILE + "\\Documents", w.PROFILE + "\\Documents", ()),
    ("a link to the folder holding it", "saves\\self", ".", None, ()),
    ("a top-level link to a folder outside", "Миры", "K:\\Миры", "K:\\Миры", ()),
    ("a link to a read-only file outside", "minecraft\\servers.dat", "K:\\Общие\\servers.dat", "K:\\Общие", ()),
]


def test_link_below_the_root(what, name, target, compared, leave_out):
    """A quiet full removal from the root: everything else goes; the link stays as a link with
    the folders holding it, named, and the uninstaller, its run log and registration stay."""
    w.reset_area()
    w.lay_root()
    w.write(w.LOCALAPPDATA + "\\OtherGame\\data.bin", b"another program's")
    w.write("K:\\Миры\\Мир 2\\level.dat", b"kept elsewhere")
    w.write("K:\\Общие\\servers.dat", b"another program's servers")
    os.chmod(unix("K:\\Общие\\servers.dat"), 0o444)
    w.write(ROOT + "\\saves\\Мир 1\\level.dat", b"a save")
    as_laid = link(ROOT + "\\" + name, target)
    # A link to the folder holding it names what the removal takes; the others name what it must not.
    before = state(compared, leave_out) if compared else None
    timed(what, lambda: w.Uninstall(ROOT + "\\Uninstall.exe", "/S"))
    if compared:
        check(state(compared, leave_out) == before, f"{what}: nothing it names changed")
    holding = [name[:i] for i, c in enumerate(name) if c == "\\"]
    left = state(ROOT)
    expected = {"Uninstall.exe", "updates", "updates/rust-updater.log", name.replace("\\", "/"),
                *[folder.replace("\\", "/") for folder in holding]}
    check(set(left) == expected, f"{what}: only the link, its folders and the way back are left ({sorted(left)})")
    check(left.get(name.replace("\\", "/")) == as_laid, f"{what}: the link is still the link it was")
    lines = log_lines() or []
    stays_named(what, lines, ROOT + "\\" + name)
    check(kept_line() in lines and w.key_exists(), f"{what}: the registration stays, and the log says so")
    check(xdesk.wait_until(scripts_done), f"{what}: the deferred script ended")
    check(os.path.islink(unix(ROOT + "\\" + name)) and exists(ROOT + "\\Uninstall.exe"),
          f"{what}: the script left the link and the uninstaller alone")


def test_link_as_the_settings_folder():
    """The settings folder is a link to a folder the person keeps elsewhere: the link stays,
    named, what it names is untouched; the root goes as usual."""
    what = "settings folder as a link"
    w.reset_area()
    w.lay_root()
    kept = "K:\\Хранилище\\koravane-launcher"
    w.write(kept + "\\login.json", b"{\"token\": 1}")
    w.write(kept + "\\accounts\\main.json", b"{}")
    os.chmod(unix(kept + "\\accounts\\main.json"), 0o444)
    for name in os.listdir(unix(w.SETTINGS)):
        os.remove(os.path.join(unix(w.SETTINGS), name))
    os.rmdir(unix(w.SETTINGS))
    link(w.SETTINGS, kept)
    before = state(kept)
    w.write(HOLD, b"")
    timed(what, lambda: w.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": HOLD}))
    check(state(kept) == before, f"{what}: nothing it names changed")
    check(os.path.islink(unix(w.SETTINGS)), f"{what}: the link is still a link")
    lines = log_lines() or []
    stays_named(what, lines, w.SETTINGS)
    check(not any(line.startswith("settings removed: ") for line in lines), f"{what}: not said to be removed")
    left = sorted(state(ROOT))
    check(left == ["Uninstall.exe", "updates", "updates/rust-updater.log"],
          f"{what}: the rest of the root went, its way back waits for the script ({left})")
    os.remove(unix(HOLD))
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the script took the root")
    check(state(kept) == before and os.path.islink(unix(w.SETTINGS)), f"{what}: and left the link alone")


def test_launcher_entry_as_a_link():
    """Launcher-only removal, "app-current" being a link to a folder elsewhere: the other
    launcher entries go, the link stays, named by its name, with the way back."""
    what = "launcher-only, app-current as a link"
    w.reset_area()
    w.lay_root()
    elsewhere = "K:\\Elsewhere\\app-current"
    w.write(elsewhere + "\\app.asar", b"asar")
    w.write(elsewhere + "\\resources\\en.pak", b"pak")
    for name in os.listdir(unix(ROOT + "\\app-current")):
        os.remove(os.path.join(unix(ROOT + "\\app-current"), name))
    os.rmdir(unix(ROOT + "\\app-current"))
    link(ROOT + "\\app-current", elsewhere)
    before = state(elsewhere)
    lines = []

    def choose_launcher_only(run):
        """Clicks "Только лаунчер", reads the run log while the notice is open, closes it."""
        window = w.dialog_window(run.alive)
        check(window is not None, f"{what}: the dialog is shown")
        if window:
            xdesk.click_at(*xdesk.button_centre(window[1], window[2], w.PRIMARY_Y))
        notice = w.notice_window(run.alive)
        check(notice is not None, f"{what}: the notice is shown")
        lines.extend(log_lines() or [])
        if notice:
            xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))

    timed(what, lambda: w.Uninstall(ROOT + "\\Uninstall.exe"), choose_launcher_only)
    check(state(elsewhere) == before, f"{what}: nothing it names changed")
    stays_named(what, lines, "app-current")
    check(lines[-1:] == [kept_line()] and w.key_exists(), f"{what}: the way back stays ({lines[-2:]})")
    gone = [name for name in w.LAUNCHER_ENTRIES if name != "app-current" and exists(ROOT + "\\" + name)]
    check(not gone, f"{what}: the other launcher entries went ({gone})")
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Update.exe")), f"{what}: the script took the updater")
    check(os.path.islink(unix(ROOT + "\\app-current")) and exists(ROOT + "\\Uninstall.exe"),
          f"{what}: and left the link and the uninstaller")


def test_hard_links_to_files_outside():
    """Hard links in the root to a plain and a read-only file outside it: the root goes, and
    both files keep their content and mode."""
    what = "hard links to files outside"
    w.reset_area()
    w.lay_root()
    outside = "K:\\Общие"
    w.write(outside + "\\plain.txt", b"plain")
    w.write(outside + "\\read-only.txt", b"read-only")
    os.chmod(unix(outside + "\\read-only.txt"), 0o444)
    os.makedirs(unix(ROOT + "\\minecraft\\shared"), exist_ok=True)
    for name in ("plain.txt", "read-only.txt"):
        os.link(unix(outside + "\\" + name), unix(ROOT + "\\minecraft\\shared\\" + name))
    before = state(outside)
    timed(what, lambda: w.Uninstall(ROOT + "\\Uninstall.exe", "/S"))
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the root went")
    check(state(outside) == before, f"{what}: content and mode unchanged ({state(outside)})")
    check(all(os.stat(unix(outside + "\\" + name)).st_nlink == 1 for name in ("plain.txt", "read-only.txt")),
          f"{what}: their names in the root went")
    check(not w.key_exists(), f"{what}: the registration went")


def main():
    os.makedirs(w.READY, exist_ok=True)
    for case in LINKS_BELOW_THE_ROOT:
        w.run_test(test_link_below_the_root, *case)
    w.run_test(test_link_as_the_settings_folder)
    w.run_test(test_launcher_entry_as_a_link)
    w.run_test(test_hard_links_to_files_outside)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
