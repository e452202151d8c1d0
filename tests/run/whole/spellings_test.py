#!/usr/bin/python3
"""The whole program under Wine, started through other spellings of the same folders: 8.3 names,
links (Unix links, which Wine follows as Windows follows junctions) and device paths. A run decides
by what a folder is: a protected folder is refused however it is spelled, and a launcher's root is
removed, with what runs from it, however it is spelled.

Usage: spellings_test.py SOURCE_DIR BUILD_DIR PREFIX (as whole_program_test.py, whose scratch
drive, profile and helpers it shares). Wine gives a program started by an 8.3 path its long name,
so the 8.3 spellings reach a run through its current directory and its target.
"""
import os
import shutil
import subprocess
import sys

import whole_program_test as w

TREE_HELPER = os.path.join(w.SUPPORT, "tree_helper", "tree_helper.exe")
TEMP = w.LOCALAPPDATA + "\\Temp"
TOOLS = "K:\\Tools"  # an uninstaller outside every root: the root comes from the target or folder
LINKS = "K:\\Ссылки"
ENV = {"TEMP": TEMP, "TMP": TEMP}
REFUSAL_LOG = TEMP + "\\koravane-uninstall.log"

PROTECTED = [
    ("the profile", w.PROFILE),
    ("roaming application data", w.APPDATA),
    ("Documents", w.PROFILE + "\\Documents"),
    ("Downloads", w.PROFILE + "\\Downloads"),
    ("the temporary folder", TEMP),
]


def short(path):
    """The 8.3 spelling Wine gives path."""
    for _ in range(3):  # a Wine start that went wrong is tried again
        done = subprocess.run([w.WINE_EXEC, w.PREFIX, TREE_HELPER, "short", path],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        if done.returncode == 0 and done.stdout:
            return done.stdout.decode("utf-8")
    raise RuntimeError(f"no 8.3 spelling of {path}")


def link(name, target):
    """K:\\Ссылки\\name, a link to the K: folder target."""
    os.makedirs(w.unix(LINKS), exist_ok=True)
    os.symlink(w.unix(target), w.unix(LINKS + "\\" + name))
    return LINKS + "\\" + name


def tools_uninstaller():
    os.makedirs(w.unix(TOOLS), exist_ok=True)
    shutil.copyfile(w.UNINSTALL_EXE, w.unix(TOOLS + "\\Uninstall.exe"))
    return TOOLS + "\\Uninstall.exe"


def snapshot_k():
    """Every file on K: with its bytes; a link whose folder went is listed as gone."""
    files = {}
    for folder, _, names in os.walk(w.unix("K:\\")):
        for name in names:
            full = os.path.join(folder, name)
            try:
                with open(full, "rb") as f:
                    files[os.path.relpath(full, w.unix("K:\\"))] = f.read()
            except OSError:
                files[os.path.relpath(full, w.unix("K:\\"))] = None
    return files


def refusal_lines():
    data = w.read(REFUSAL_LOG)
    return data.decode("utf-8").splitlines() if data else []


def expect_refused(what, folder, spelled_root, run):
    """A refused run: exit 0, nothing on K: changed beside the refusal log, its lines logged."""
    before = snapshot_k()
    code = run().finish()
    w.check(code == 0, f"{what}: exit code 0 (saw {code})")
    after = snapshot_k()
    log_key = os.path.relpath(w.unix(REFUSAL_LOG), w.unix("K:\\"))
    after.pop(log_key, None)
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    w.check(not changed, f"{what}: nothing removed ({changed[:6]})")
    w.check(w.key_exists(), f"{what}: uninstall key kept")
    lines = refusal_lines()
    opening = [w.start_line(True, spelled_root)]
    if spelled_root.lower() != folder.lower() and not spelled_root.startswith("\\\\.\\"):
        opening.append("root is " + folder)
    w.check(lines == opening + [f"refused root={spelled_root}: protected folder"],
            f"{what}: refusal logged ({lines})")


def reset():
    w.reset_area()
    os.makedirs(w.unix(TEMP), exist_ok=True)


def test_protected_folder_through_another_spelling(kind, folder, how):
    """A protected folder holding an uninstaller beside launcher files."""
    reset()
    w.lay_root()  # a genuine install elsewhere, which must not be touched either
    w.write(folder + "\\current.json", b"{}")
    w.write(folder + "\\keep.txt", b"the person's own")
    what = f"{kind} through {how}"
    if how == "its 8.3 name":
        spelled = short(folder)
        exe = tools_uninstaller()
        expect_refused(what, folder, spelled,
                       lambda: w.Uninstall(exe, "/S", cwd=spelled, env=ENV))
    else:
        spelled = link("folder", folder)
        shutil.copyfile(w.UNINSTALL_EXE, w.unix(folder + "\\Uninstall.exe"))
        expect_refused(what, folder, spelled,
                       lambda: w.Uninstall(spelled + "\\Uninstall.exe", "/S", env=ENV))


def test_target_spelling_of_a_protected_folder(how):
    reset()
    w.lay_root()
    downloads = w.PROFILE + "\\Downloads"
    w.write(downloads + "\\current.json", b"{}")
    spelled = {"an 8.3 name": lambda: short(downloads), "a link": lambda: link("Загрузки", downloads),
               "a device path": lambda: "\\\\.\\" + downloads}[how]()
    exe = tools_uninstaller()
    expect_refused(f"--target through {how}", downloads, spelled,
                   lambda: w.Uninstall(exe, "/S", "--target", spelled + "\\KoraVane.exe", env=ENV))


def test_root_through_its_short_name():
    """A real root named by its 8.3 spelling: the program running from it by its long name is
    ended, the root goes and its look-alike sibling stays."""
    reset()
    w.lay_root(with_uninstaller=False)
    sibling = w.LOCALAPPDATA + "\\KoraVane2"
    w.write(sibling + "\\app-1.5.84\\KoraVane.exe", b"another install")
    w.write(sibling + "\\saves\\world.dat", b"kept")
    java = w.ROOT + "\\runtime\\bin\\java.exe"
    w.write(w.ROOT + "\\logs\\debug.log", b"log")
    helper = w.start_program("the game's helper", java, "--hold", w.ROOT + "\\logs\\debug.log")
    # A game outside the root holds a save, so that the root and its log stay for a second run
    # and can be read; the script waits in turn until the test has read it.
    game = w.start_game_holding(w.SAVE)
    hold = "K:\\script-hold"
    w.write(hold, b"")
    spelled = short(w.ROOT)
    exe = tools_uninstaller()
    code = w.Uninstall(exe, "/S", cwd=spelled, env=dict(ENV, KORAVANE_TIMEOUT_HOLD=hold)).finish()
    lines = w.log_lines() or []
    w.check(code == 0, f"8.3 root: exit code 0 (saw {code})")
    w.check(lines[1:6] == [w.start_line(True, spelled), "root is " + w.ROOT, "ended " + java,
                           "settings removed: " + w.SETTINGS, w.recycled_line(spelled)]
            and w.held_line(lines[6], spelled + w.SAVE[len(w.ROOT):]) and lines[7] == w.kept_line(spelled, w.ROOT)
            and lines[8].startswith("scheduled delete via "),
            f"8.3 root: the root's final path said, the program ended ({lines})")
    w.check(w.ended([helper]), "8.3 root: the program running from the root by its long name ended")
    w.check(w.release_game(game), "8.3 root: the game let go")
    os.remove(w.unix(hold))
    w.check(w.xdesk.wait_until(lambda: not w.exists(w.ROOT + "\\minecraft")), "8.3 root: the script took the save")
    # The way back: the root's own uninstaller, started through the same spelling, finds its root
    # by its run log and finishes (a copy elsewhere would not be led by the log).
    shutil.copyfile(w.UNINSTALL_EXE, w.unix(w.ROOT + "\\Uninstall.exe"))
    code = w.Uninstall(spelled + "\\Uninstall.exe", "/S", cwd="K:\\", env=ENV).finish()
    w.check(code == 0 and w.xdesk.wait_until(lambda: not w.exists(w.ROOT)),
            f"8.3 root: a second run removed the rest (exit {code})")
    w.check(w.read(sibling + "\\saves\\world.dat") == b"kept"
            and w.exists(sibling + "\\app-1.5.84\\KoraVane.exe"), "8.3 root: the look-alike sibling stays")


def test_root_that_is_a_link(how):
    """A root reached through a link to it (a game folder moved to another drive, say): a full
    removal takes the folder the link names, contents and all, whether the run starts from the
    root or from elsewhere. Wine follows a Unix link everywhere and cannot see one whose folder
    went, so the link itself stays there, dangling; on Windows the link goes last."""
    reset()
    w.lay_root()
    w.write(w.LOCALAPPDATA + "\\KoraVane2\\saves\\world.dat", b"kept")
    spelled = link("KoraVane", w.ROOT)
    if how == "from the root":
        run = w.Uninstall(spelled + "\\Uninstall.exe", "/S", cwd="K:\\", env=ENV)
    else:
        run = w.Uninstall(tools_uninstaller(), "/S", "--target", spelled + "\\KoraVane.exe", cwd="K:\\", env=ENV)
    code = run.finish()
    w.check(code == 0, f"link root ({how}): exit code 0 (saw {code})")
    w.check(w.xdesk.wait_until(lambda: not w.exists(w.ROOT)), f"link root ({how}): the folder it names is gone")
    w.check(w.read(w.LOCALAPPDATA + "\\KoraVane2\\saves\\world.dat") == b"kept", f"link root ({how}): its sibling stays")


def test_root_outside_the_scripts_code_page(name):
    """A root whose name holds characters outside the code page cmd reads the script in (866 here),
    run from inside: the script names it by its 8.3 form, and it goes. (A root without one stays,
    named, with the way back: Wine gives every long name one, so that shows natively only.)"""
    what = f"a root named {name}"
    reset()
    root = w.LOCALAPPDATA + "\\" + name
    w.lay_root(root)
    hold = "K:\\script-hold"
    w.write(hold, b"")
    code = w.Uninstall(root + "\\Uninstall.exe", "/S", env=dict(ENV, KORAVANE_TIMEOUT_HOLD=hold)).finish()
    lines = w.log_lines(root) or []
    w.check(code == 0 and lines[-1:] != [] and lines[-1].startswith("scheduled delete via ")
            and not any(line.startswith("fail ") for line in lines), f"{what}: no fail line, the script scheduled ({lines})")
    w.check(not w.key_exists(), f"{what}: the registration is gone")
    os.remove(w.unix(hold))
    w.check(w.xdesk.wait_until(lambda: not w.exists(root)), f"{what}: the root is gone after the script")


def main():
    os.makedirs(w.READY, exist_ok=True)
    for kind, folder in PROTECTED:
        for how in ("its 8.3 name", "a link"):
            w.run_test(test_protected_folder_through_another_spelling, kind, folder, how)
    for how in ("an 8.3 name", "a link", "a device path"):
        w.run_test(test_target_spelling_of_a_protected_folder, how)
    w.run_test(test_root_through_its_short_name)
    for how in ("from the root", "from elsewhere"):
        w.run_test(test_root_that_is_a_link, how)
    for name in ("Kora✓", "Koraé€", "Kora🎮"):
        w.run_test(test_root_outside_the_scripts_code_page, name)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
