#!/usr/bin/python3
"""The player's worlds (folders holding level.dat) in a full removal: the dialog names them with
their count and size, they go to the Recycle Bin byte for byte before the rest of the root, a world
the bin refuses stays where it is and is named, and launcher-only removal leaves them alone. A
folder the run may not open, holding a world, is counted in the dialog and stays, named, with no
access given as the reason.

Wine keeps the bin in $XDG_DATA_HOME/Trash, which tools/wine-env points into the prefix's folder,
never the machine's own. Usage: worlds_test.py SOURCE_DIR BUILD_DIR PREFIX, as
whole_program_test.py, whose helpers it uses. Needs DISPLAY (tools/with-xvfb).
"""
import os
import re
import shutil
import subprocess
import sys

import whole_program_test as whole
from whole_program_test import ALTERNATE_Y, NOTICE_BUTTON_Y, PRIMARY_Y, ROOT, check

xdesk = whole.xdesk
TRASH = os.path.join(whole.PREFIX, "xdg-data", "Trash")
# Each world holds 512 KiB: its level.dat, a region file and, in the first, a backup that is a
# world of its own below it (part of it, never counted apart).
WORLDS = ["minecraft\\saves\\Мир 1", "minecraft\\saves\\Зима", "instances\\Сборка\\saves\\Survival"]
WORLD_FILES = {"level.dat": b"L" * 1024, "region\\r.0.0.mca": bytes(range(256)) * 2044}
NESTED = {"backup\\level.dat": b"B" * 1024}
TODAY = ("Только лаунчер — программа и ярлыки. Файлы игры останутся.\n\n"
         "Удалить всё — папка установки и настройки входа.")
# A no-break space joins each count to its noun and each size to its unit.
BODIES = {0: TODAY, 1: TODAY + " 1\u00a0мир (512\u00a0КБ) будет перемещён в корзину.",
          3: TODAY + " 3\u00a0мира (1,5\u00a0МБ) будут перемещены в корзину."}


def world_files(index):
    files = dict(WORLD_FILES)
    if index == 0:
        files["region\\r.0.0.mca"] = files["region\\r.0.0.mca"][:-1024]
        files.update(NESTED)
    return files


def lay_worlds(count):
    """The usual root, whose one world is replaced by count worlds of 512 KiB each."""
    whole.reset_area()
    whole.lay_root()
    shutil.rmtree(whole.unix(ROOT + "\\minecraft\\saves"))
    for index in range(count):
        for name, data in world_files(index).items():
            whole.write(ROOT + "\\" + WORLDS[index] + "\\" + name, data)
    shutil.rmtree(TRASH, ignore_errors=True)


def in_bin(index):
    """The files of the index-th world as the bin holds them, with its .trashinfo record."""
    name = WORLDS[index].rsplit("\\", 1)[1]
    base = os.path.join(TRASH, "files", name)
    files = {}
    for folder, _, names in os.walk(base):
        for file_name in names:
            with open(os.path.join(folder, file_name), "rb") as f:
                files[os.path.relpath(os.path.join(folder, file_name), base).replace("/", "\\")] = f.read()
    return files if os.path.isfile(os.path.join(TRASH, "info", name + ".trashinfo")) else None


def in_place(index):
    return {name: whole.read(ROOT + "\\" + WORLDS[index] + "\\" + name) for name in world_files(index)}


def dialog_tree(body):
    return xdesk.text_tree("KoraVane", "Что удалить?", body, buttons=("Только лаунчер", "Удалить всё", "Отмена"))


def tree(class_name):
    return xdesk.window_tree(whole.PREFIX, whole.UI_PROBE, class_name)[1]


def test_dialog_names_the_worlds(count):
    lay_worlds(count)
    before = whole.snapshot(ROOT)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe")
    window = whole.dialog_window(run.alive)
    check(window is not None, f"dialog with {count} worlds: shown")
    if window:
        seen = []
        expected = dialog_tree(BODIES[count])

        def holds():
            seen[:] = tree("KoraVaneUninstallUI")
            return xdesk.tree_holds(seen, expected, "Только лаунчер")
        check(xdesk.wait_until(holds, 60), f"dialog with {count} worlds: the window tree reads {BODIES[count]!r} ({seen})")
        xdesk.give_keys(whole.PREFIX, whole.UI_PROBE, "KoraVaneUninstallUI", window[0], "Escape")
    code = run.finish()
    after = whole.snapshot(ROOT)
    after.pop("updates/rust-updater.log")
    before.pop("updates/rust-updater.log")
    check(code == 0 and after == before, f"dialog with {count} worlds: cancelled, nothing removed (exit {code})")


def test_full_removal_sends_the_worlds_to_the_bin(how):
    lay_worlds(3)
    hold = "K:\\script-hold"  # the deferred script waits while this exists: the log is read first
    whole.write(hold, b"")
    quiet = how == "/S"
    run = whole.Uninstall(ROOT + "\\Uninstall.exe", *(["/S"] if quiet else []), env={"KORAVANE_TIMEOUT_HOLD": hold})
    if not quiet:
        window = whole.dialog_window(run.alive)
        check(window is not None, f"{how}: the dialog is shown")
        if window:  # clicked at once: the removal finds the worlds whether the dialog had or not
            xdesk.click_at(*xdesk.button_centre(window[1], window[2], ALTERNATE_Y))
        notice = whole.notice_window(run.alive)
        if notice:
            seen = tree("KoraVaneUpdaterUI")
            message = whole.FULL_TEXT.replace("(1)", "(3)")
            check(xdesk.tree_holds(seen, xdesk.notice_tree(message), "Закрыть"),
                  f"{how}: the notice says where the worlds went ({seen})")
            xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], NOTICE_BUTTON_Y))
    code = run.finish()
    lines = whole.log_lines() or []
    recycled = [f"recycled {ROOT}\\{world}" for world in WORLDS]
    settings = lines.index("settings removed: " + whole.SETTINGS) if "settings removed: " + whole.SETTINGS in lines else -1
    check(code == 0 and settings > 0 and sorted(lines[settings + 1:settings + 4]) == sorted(recycled),
          f"{how}: one recycled line a world, after the settings ({lines})")
    os.remove(whole.unix(hold))
    for index, world in enumerate(WORLDS):
        check(in_bin(index) == world_files(index), f"{how}: {world} is in the bin byte for byte")
    check(xdesk.wait_until(lambda: not whole.exists(ROOT)), f"{how}: the root is gone once the script ran")
    check(whole.settings_and_shortcuts_gone() and not whole.key_exists(), f"{how}: settings, shortcuts and key gone")


def test_a_world_the_bin_refuses_stays(how, xdg):
    lay_worlds(3)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"XDG_DATA_HOME": xdg})
    code = run.finish()
    lines = whole.log_lines() or []
    named = [any(re.fullmatch(re.escape(f"fail {ROOT}\\{world}: ") + r".+ \(os error \d+\)", line) for line in lines)
             for world in WORLDS]
    check(code == 0 and all(named), f"{how}: each world is named ({lines})")
    for index, world in enumerate(WORLDS):
        check(in_place(index) == world_files(index), f"{how}: {world} stays in place byte for byte")
    # Nothing else stayed: the script has nothing to try again.
    check(not any(line.startswith("recycled ") for line in lines) and lines[-1] == whole.kept_line(),
          f"{how}: nothing recycled, the way back kept ({lines[-3:]})")
    check(whole.exists(ROOT + "\\Uninstall.exe") and whole.key_exists(), f"{how}: the uninstaller and key stay")
    check(not whole.exists(ROOT + "\\app-1.5.84") and not whole.exists(ROOT + "\\minecraft\\options.txt"),
          f"{how}: the rest went")


# A world of 223 characters holding folders whose paths pass 259: where the shell's older call
# stands in for the file operation (Wine), its deletion enters the first entry listed and, past
# MAX_PATH, acts on an empty path, the working folder.
LONG_WORLD = ROOT + "\\minecraft\\saves\\" + "W" * (223 - len(ROOT) - 17)
SYSTEM32 = os.path.join(whole.PREFIX, "drive_c", "windows", "system32")


def lay_long_world():
    """The world's files: level.dat and long folders, as many as it takes for the folder listing
    (which Wine gives in the file system's order) to list one of them first."""
    files = {"level.dat": b"L" * 64}
    whole.write(LONG_WORLD + "\\level.dat", files["level.dat"])
    for index in range(32):
        name = f"region{index:02}" + "r" * 40 + "\\r.0.0.mca"
        files[name] = b"R" * 64
        whole.write(LONG_WORLD + "\\" + name, files[name])
        if os.listdir(whole.unix(LONG_WORLD))[0] != "level.dat":
            break
    return files


def test_a_long_world_the_bin_refuses_stays(xdg):
    whole.reset_area()
    whole.lay_root()
    files = lay_long_world()
    system_before = sorted(os.listdir(SYSTEM32))
    code = whole.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"XDG_DATA_HOME": xdg}).finish()
    lines = whole.log_lines() or []
    named = [line for line in lines if line.startswith(f"fail {LONG_WORLD}: ") and line.endswith(" (os error 206)")]
    check(code == 0 and len(named) == 1 and lines[-1] == whole.kept_line(),
          f"a long world: named as too long, the way back kept ({lines[-4:]})")
    check({name: whole.read(LONG_WORLD + "\\" + name) for name in files} == files,
          "a long world: in place byte for byte")
    check(sorted(os.listdir(SYSTEM32)) == system_before, "a long world: the system folder unchanged")


class NoAccess:
    """While it lasts, Wine may not open the folder at path, as on Windows a folder whose rights deny
    this user: its modes deny everyone, and the prefix's server starts again without root's override
    of file modes (the owner-modes mark that tools/wine-exec honours)."""

    def __init__(self, path):
        self.folder, self.mark = whole.unix(path), os.path.join(whole.PREFIX, ".koravane-owner-modes")

    def __enter__(self):
        self.set(0, lambda: open(self.mark, "wb").close())

    def __exit__(self, *_):
        self.set(0o755, lambda: os.remove(self.mark))

    def set(self, mode, mark):
        os.chmod(self.folder, mode)
        mark()
        wine_env = os.path.join(whole.SOURCE, "tools", "wine-env")  # the next program starts the server afresh
        subprocess.run(["bash", "-c", 'source "$1" "$2" && wineserver -k; wineserver -w', "bash", wine_env, whole.PREFIX],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def test_a_folder_that_may_not_be_opened():
    """A folder of the game tree that the run may not open, holding a world: the dialog says it
    could not look into it, the removal takes the rest, and the notice says why the folder stayed."""
    lay_worlds(3)
    denied = ROOT + "\\instances\\Закрытая"
    whole.write(denied + "\\saves\\Тайный\\level.dat", b"H" * 1024)
    what = "a folder that may not be opened"
    with NoAccess(denied):
        run = whole.Uninstall(ROOT + "\\Uninstall.exe")
        window = whole.dialog_window(run.alive)
        check(window is not None, f"{what}: the dialog is shown")
        if window:
            body = BODIES[3][:-1] + "; 1\u00a0папка недоступна."
            seen = []

            def holds():
                seen[:] = tree("KoraVaneUninstallUI")
                return xdesk.tree_holds(seen, dialog_tree(body), "Только лаунчер")
            check(xdesk.wait_until(holds, 60), f"{what}: the dialog counts the worlds and the folder ({seen})")
            xdesk.click_at(*xdesk.button_centre(window[1], window[2], ALTERNATE_Y))
            notice = whole.notice_window(run.alive)
            if notice:
                seen = tree("KoraVaneUpdaterUI")
                expected = xdesk.notice_tree("")
                expected[2] = ("static", re.escape("Удалено не всё. Осталось: «") + "[^«»]*Закрытая" + re.escape(
                    "». К некоторым файлам и папкам нет доступа. Возможно, у вас нет прав на них. Получите доступ и запустите "
                    "удаление снова. Миры\u00a0(3) перемещены в корзину."))
                check(xdesk.tree_holds(seen, expected, "Закрыть"), f"{what}: the notice gives no access as the reason ({seen})")
                xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], NOTICE_BUTTON_Y))
        code = run.finish()
    lines = whole.log_lines() or []
    check(code == 0 and any(re.fullmatch(re.escape(f"fail {denied}: ") + r".+ \(os error 5\)", line) for line in lines)
          and whole.kept_line() in lines, f"{what}: the folder named with access denied, the way back kept ({lines})")
    check(whole.read(denied + "\\saves\\Тайный\\level.dat") == b"H" * 1024, f"{what}: its world stays in place")
    check(all(in_bin(index) == world_files(index) for index in range(3)), f"{what}: the other worlds went to the bin")


def test_launcher_only_leaves_the_worlds():
    lay_worlds(3)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe")
    window = whole.dialog_window(run.alive)
    check(window is not None, "launcher-only: the dialog is shown")
    if window:
        xdesk.click_at(*xdesk.button_centre(window[1], window[2], PRIMARY_Y))
        notice = whole.notice_window(run.alive)
        if notice:
            xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], NOTICE_BUTTON_Y))
    code = run.finish()
    check(code == 0 and not whole.exists(ROOT + "\\app-1.5.84"), "launcher-only: the launcher went")
    bin_files = os.path.join(TRASH, "files")
    check(all(in_place(i) == world_files(i) for i in range(3))
          and (not os.path.isdir(bin_files) or os.listdir(bin_files) == []),
          "launcher-only: every world in place, the bin empty")


def other_volume():
    """A folder on another file system than the scratch drive, when the machine has one."""
    shm = "/dev/shm"
    if os.path.isdir(shm) and os.stat(shm).st_dev != os.stat(whole.WORK).st_dev:
        return os.path.join(shm, f"koravane-worlds-{os.getpid()}")
    return None


def main():
    os.makedirs(whole.READY, exist_ok=True)
    for count in (0, 1, 3):
        whole.run_test(test_dialog_names_the_worlds, count)
    whole.run_test(test_full_removal_sends_the_worlds_to_the_bin, "Удалить всё")
    whole.run_test(test_full_removal_sends_the_worlds_to_the_bin, "/S")
    no_bin = os.path.join(whole.WORK, "no-bin")  # a file: no Trash folder can be made there
    with open(no_bin, "wb"):
        pass
    whole.run_test(test_a_world_the_bin_refuses_stays, "no bin", no_bin)
    whole.run_test(test_a_long_world_the_bin_refuses_stays, no_bin)
    elsewhere = other_volume()
    if elsewhere:
        try:
            whole.run_test(test_a_world_the_bin_refuses_stays, "the bin on another volume", elsewhere)
        finally:
            shutil.rmtree(elsewhere, ignore_errors=True)
    else:
        print("skipped: no second file system for the bin")
    whole.run_test(test_launcher_only_leaves_the_worlds)
    whole.run_test(test_a_folder_that_may_not_be_opened)
    print(f"{len(whole.failures)} failed" if whole.failures else "all checks passed")
    return 1 if whole.failures else 0


if __name__ == "__main__":
    sys.exit(main())
