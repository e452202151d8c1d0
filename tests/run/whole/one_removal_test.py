#!/usr/bin/env python3
"""One removal per install at a time, and notices that say only what is so: while a run shows its
dialog, a second run on the same root (interactive, quiet, or by another drive's spelling) touches
nothing and exits 0, an interactive one bringing that dialog to the front, a quiet one saying a
removal is under way; the first then removes as chosen. While the first removes, a second
interactive run says so beside its window. Launcher-only removal of a root without game files does
not claim that any were kept.

Usage: one_removal_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import shutil
import sys

import whole_program_test as w
from whole_program_test import ALTERNATE_Y, ROOT, check, exists, start_line, xdesk

UNDER_WAY_NOTICE = "Удаление KoraVane из этой папки уже идёт. Дождитесь, пока оно закончится."
UNDER_WAY_LINE = "another removal of this install is under way: nothing was stopped or removed"
ASKING_LINE = "another run of this install is asking: its dialog was brought to the front"


def tree(class_name):
    return xdesk.window_tree(w.PREFIX, w.UI_PROBE, class_name)[1]


def in_front():
    return xdesk.window_tree(w.PREFIX, w.UI_PROBE, "KoraVaneUninstallUI")[0]


def second_run_touches_nothing(what, exe, quiet, dialog, behind=None):
    """A second run while the first shows its dialog: nothing on K: changes, the registration
    stays, its lines go to the temporary folder, and it exits 0. An interactive one shows nothing
    of its own and brings the dialog to the front, from behind another program's window, say."""
    if behind == "window":
        other = w.start_program("another program's window", "K:\\Tools\\viewer.exe", "--window", "Просмотр")
        check(xdesk.wait_until(lambda: not in_front(), 60), f"{what}: the dialog is behind another window first")
    elif behind == "minimised":
        check(w.wine(w.UI_PROBE, "minimise", "KoraVaneUninstallUI").returncode == 0,
              f"{what}: the dialog is minimised first")
    before = w.snapshot("K:\\")
    log_before = w.temp_log()
    run = w.Uninstall(exe, *(["/S"] if quiet else []))
    # A notice would keep it running until closed.
    xdesk.wait_until(lambda: not run.alive() or xdesk.visible_windows(w.NOTICE), 300)
    check(not xdesk.visible_windows(w.NOTICE), f"{what}: no notice of its own")
    code = run.finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(w.snapshot("K:\\") == before and w.key_exists(), f"{what}: nothing changed, the run log included")
    added = w.temp_log()[len(log_before):].splitlines()
    root_seen = exe[:exe.rindex("\\")]
    opening = [start_line(quiet, root_seen)] + ([] if root_seen == ROOT else [f"root is {ROOT}"])
    check(added == opening + [UNDER_WAY_LINE if quiet else ASKING_LINE],
          f"{what}: its lines in the temporary folder ({added})")
    if not quiet:
        shown = w.dialog_window(lambda: True)
        restored = lambda: w.wine(w.UI_PROBE, "iconic", "KoraVaneUninstallUI").returncode == 1
        check(xdesk.wait_until(in_front, 60) and shown is not None and shown[1:] == dialog[1:]
              and xdesk.wait_until(restored, 60), f"{what}: the dialog is in front, where it stood, restored")
    if behind == "window":
        w.end([other])


def test_second_runs_while_the_first_asks():
    w.reset_area()
    w.lay_root()
    other = os.path.join(w.PREFIX, "dosdevices", "l:")  # the same root by another drive
    if os.path.lexists(other):
        os.remove(other)
    os.symlink(w.AREA, other)
    first = w.Uninstall(ROOT + "\\Uninstall.exe")
    dialog = w.dialog_window(first.alive)
    check(dialog is not None, "the first run shows its dialog")
    if not dialog:
        return
    by_l = "L:" + ROOT[2:] + "\\Uninstall.exe"
    for what, exe, quiet, behind in [("a second dialog run", ROOT + "\\Uninstall.exe", False, None),
                                     ("a second dialog run, the dialog behind another window", by_l, False, "window"),
                                     ("a second dialog run, the dialog minimised", ROOT + "\\Uninstall.exe", False,
                                      "minimised"),
                                     ("a quiet second run", ROOT + "\\Uninstall.exe", True, None),
                                     ("a quiet run by another drive", by_l, True, None)]:
        second_run_touches_nothing(what, exe, quiet, dialog, behind)
    check(w.dialog_window(first.alive) is not None, "the first run's dialog is still there")
    xdesk.click_at(*xdesk.button_centre(dialog[1], dialog[2], ALTERNATE_Y))
    notice = w.notice_window(first.alive)
    if notice:
        check(xdesk.tree_holds(tree("KoraVaneUpdaterUI"), xdesk.notice_tree(w.FULL_TEXT), "Закрыть"),
              "the first run removes everything and says so")
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(first.finish() == 0, "the first run exits 0")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "the first run's removal went all the way")


def overlap(a, b):
    (ax, ay, aw, ah), (bx, by, bw, bh) = a, b
    return max(0, min(ax + aw, bx + bw) - max(ax, bx)) * max(0, min(ay + ah, by + bh) - max(ay, by))


def test_second_run_while_the_first_removes():
    """While the first run removes (its launcher, refusing to close, holds the stop step for
    seconds; the lock then stays held until its notice is closed), a second interactive run says a
    removal is under way, in a notice beside the first run's window, not over it."""
    w.reset_area()
    w.lay_root()
    reference = w.reference_notice(UNDER_WAY_NOTICE)
    w.start_program("the launcher", ROOT + "\\app-1.5.84\\KoraVane.exe", "--window", "Лаунчер", "--ignore-close")
    first = w.Uninstall(ROOT + "\\Uninstall.exe")
    dialog = w.dialog_window(first.alive)
    check(dialog is not None, "removing: the first run shows its dialog")
    if not dialog:
        return
    xdesk.click_at(*xdesk.button_centre(dialog[1], dialog[2], ALTERNATE_Y))
    progress = w.progress_window(first.alive)
    check(progress is not None, "removing: the first run's progress window")
    if not progress:
        return
    first_box = xdesk.window_geometry(progress[0])
    log_before = w.temp_log()
    second = w.Uninstall(ROOT + "\\Uninstall.exe")
    beside = lambda: [g for g in map(xdesk.window_geometry, xdesk.visible_windows(w.NOTICE)) if g[:2] != first_box[:2]]
    check(xdesk.wait_until(lambda: beside() or not second.alive()) and bool(beside()),
          "removing: the second run's notice")
    if beside():
        box = beside()[0]
        check(overlap(box, first_box) == 0,
              f"removing: the notice {box} leaves the first run's window {first_box} whole")
        check(w.notice_matches((None, *box[:2]), reference), "removing: the notice says a removal is under way")
        xdesk.click_at(*xdesk.button_centre(*box[:2], w.NOTICE_BUTTON_Y))
    check(second.finish() == 0, "removing: the second run exits 0")
    added = w.temp_log()[len(log_before):].splitlines()
    check(added == [start_line(False, ROOT), UNDER_WAY_LINE], f"removing: the second run's lines ({added})")
    notice = w.notice_window(first.alive)
    if notice:
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(first.finish() == 0, "removing: the first run exits 0")


def test_launcher_only_without_game_files():
    w.reset_area()
    w.lay_root()
    for top in {name.split("\\")[0] for name in w.GAME_FILES}:  # only the launcher's entries are left
        place = w.unix(ROOT + "\\" + top)
        shutil.rmtree(place) if os.path.isdir(place) else os.remove(place)
    run = w.Uninstall(ROOT + "\\Uninstall.exe")
    dialog = w.dialog_window(run.alive)
    if dialog:
        xdesk.click_at(*xdesk.button_centre(dialog[1], dialog[2], w.PRIMARY_Y))
    notice = w.notice_window(run.alive)
    seen = tree("KoraVaneUpdaterUI") if notice else []
    check(xdesk.tree_holds(seen, xdesk.notice_tree("Лаунчер удалён."), "Закрыть"),
          f"launcher-only without game files: no claim that any were kept ({seen})")
    if notice:
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(run.finish() == 0, "launcher-only without game files: exit code 0")


def main():
    os.makedirs(w.READY, exist_ok=True)
    w.run_test(test_second_runs_while_the_first_asks)
    w.run_test(test_second_run_while_the_first_removes)
    w.run_test(test_launcher_only_without_game_files)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
