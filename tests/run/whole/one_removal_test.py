#!/usr/bin/env python3
"""One removal per install at a time, and notices that say only what is so: while a run shows its
dialog, a second run on the same root (interactive, quiet, or by another drive's spelling) touches
nothing, says so and exits 0; the first then removes as chosen. Launcher-only removal of a root
without game files does not claim that any were kept.

Usage: one_removal_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
"""
import os
import shutil
import sys

import whole_program_test as w
from whole_program_test import ALTERNATE_Y, ROOT, check, exists, start_line, xdesk

UNDER_WAY_NOTICE = "Удаление KoraVane из этой папки уже идёт. Дождитесь, пока оно закончится."
UNDER_WAY_LINE = "another removal of this install is under way: nothing was stopped or removed"


def tree(class_name):
    return xdesk.window_tree(w.PREFIX, w.UI_PROBE, class_name)[1]


def second_run_touches_nothing(what, exe, quiet):
    """A second run while the first shows its dialog: nothing on K: changes, the registration
    stays, its lines go to the temporary folder, and it exits 0 (after its notice, when shown)."""
    before = w.snapshot("K:\\")
    log_before = w.temp_log()
    run = w.Uninstall(exe, *(["/S"] if quiet else []))
    if not quiet:
        notice = w.notice_window(run.alive)
        seen = tree("KoraVaneUpdaterUI") if notice else []
        check(xdesk.tree_holds(seen, xdesk.notice_tree(UNDER_WAY_NOTICE), "Закрыть"),
              f"{what}: the notice says a removal is under way ({seen})")
        if notice:
            xdesk.give_keys(w.PREFIX, w.UI_PROBE, "KoraVaneUpdaterUI", notice[0], "Return")
    code = run.finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(w.snapshot("K:\\") == before and w.key_exists(), f"{what}: nothing changed, the run log included")
    added = w.temp_log()[len(log_before):].splitlines()
    root_seen = exe[:exe.rindex("\\")]
    opening = [start_line(quiet, root_seen)] + ([] if root_seen == ROOT else [f"root is {ROOT}"])
    check(added == opening + [UNDER_WAY_LINE], f"{what}: its lines in the temporary folder ({added})")


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
    second_run_touches_nothing("a second dialog run", ROOT + "\\Uninstall.exe", quiet=False)
    second_run_touches_nothing("a quiet second run", ROOT + "\\Uninstall.exe", quiet=True)
    second_run_touches_nothing("a quiet run by another drive", "L:" + ROOT[2:] + "\\Uninstall.exe", quiet=True)
    check(w.dialog_window(first.alive) is not None, "the first run's dialog is still there")
    xdesk.click_at(*xdesk.button_centre(dialog[1], dialog[2], ALTERNATE_Y))
    notice = w.notice_window(first.alive)
    if notice:
        check(xdesk.tree_holds(tree("KoraVaneUpdaterUI"), xdesk.notice_tree(w.FULL_TEXT), "Закрыть"),
              "the first run removes everything and says so")
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(first.finish() == 0, "the first run exits 0")
    check(xdesk.wait_until(lambda: not exists(ROOT)), "the first run's removal went all the way")


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
    w.run_test(test_launcher_only_without_game_files)
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
