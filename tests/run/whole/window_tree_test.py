#!/usr/bin/python3
"""The real program's windows as assistive technology reads them, and its keys: the dialog's
texts and buttons with the first choice focused, and Escape as Cancel; the progress window's stage
and count while a full removal runs; the notices after it, with everything removed and with a file
left behind, and the refusal notice, each closed by a key.

Usage: window_tree_test.py SOURCE_DIR BUILD_DIR PREFIX, as whole_program_test.py, whose helpers it
uses. Needs DISPLAY (tools/with-xvfb).
"""
import os
import re
import shutil
import sys

import whole_program_test as whole
from whole_program_test import ALTERNATE_Y, FULL_TEXT, NOTICE, PROFILE, ROOT, SAVE, check

xdesk = whole.xdesk


def tree(class_name):
    return xdesk.window_tree(whole.PREFIX, whole.UI_PROBE, class_name)[1]


def press(class_name, window, key):
    xdesk.give_keys(whole.PREFIX, whole.UI_PROBE, class_name, window[0], key)


def read_and_close_notice(run, message, key, what):
    """The notice's message and button in its window tree; the key closes it and the run ends. A
    message with a path, (before, path, after, root), may show the path shortened in its middle."""
    notice = whole.notice_window(run.alive)
    check(notice is not None, f"{what}: the notice is shown")
    if notice:
        seen = tree("KoraVaneUpdaterUI")
        expected = xdesk.notice_tree(message if isinstance(message, str) else "".join(message[:3]))
        if not isinstance(message, str):
            before, path, after = message[:3]
            shown_path = "[^«»]*" + re.escape(path[path.rindex("\\"):])  # its end always shows
            expected[2] = ("static", re.escape(before) + shown_path + re.escape(after))
        check(xdesk.tree_holds(seen, expected, "Закрыть"),
              f"{what}: the message and Закрыть, focused, in the window tree ({seen})")
        press("KoraVaneUpdaterUI", notice, key)
    code = run.finish()
    check(code == 0, f"{what}: {key} closes the notice and the run exits 0 (saw {code})")


def choose_full_removal(run):
    window = whole.dialog_window(run.alive)
    check(window is not None, "the dialog is shown")
    if window:
        xdesk.click_at(*xdesk.button_centre(window[1], window[2], ALTERNATE_Y))
    return window is not None


def test_dialog_read_and_cancelled_by_escape():
    whole.reset_area()
    whole.lay_root()
    before = whole.snapshot(ROOT)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe")
    window = whole.dialog_window(run.alive)
    check(window is not None, "Escape: the dialog is shown")
    if window:
        # The root's one world is named once the search beside the dialog has found it.
        expected = list(xdesk.CHOICE_TREE)
        expected[2] = ("static", expected[2][1] + re.escape(" 1\u00a0мир (1\u00a0КБ) будет перемещён в корзину."))
        seen = []

        def holds():
            seen[:] = tree("KoraVaneUninstallUI")
            return xdesk.tree_holds(seen, expected, "Только лаунчер")
        check(xdesk.wait_until(holds, 60),
              f"dialog: heading, body and buttons in the window tree, the first choice focused ({seen})")
        press("KoraVaneUninstallUI", window, "Escape")
    code = run.finish()
    after = whole.snapshot(ROOT)
    lines = after.pop("updates/rust-updater.log").decode().splitlines()
    before.pop("updates/rust-updater.log")
    check(code == 0 and after == before and lines[-1] == whole.start_line(False, ROOT),
          f"Escape: the run ends after its start line with nothing removed and no notice (exit {code})")


def test_progress_then_notice_read():
    whole.reset_area()
    whole.lay_root()
    whole.lay_large_tree(ROOT, 20000)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe")
    if not choose_full_removal(run) or not whole.progress_window(run.alive):
        check(False, "progress: the progress window follows the dialog")
        return
    first = tree("KoraVaneUninstallUI")
    check(xdesk.tree_holds(first, xdesk.PROGRESS_TREE),
          f"progress: heading, stage and count in the window tree ({first})")
    counts = set()
    while run.alive() and not xdesk.visible_windows(NOTICE):
        seen = tree("KoraVaneUninstallUI")  # the window may go while it is read: then it holds less
        if xdesk.tree_holds(seen, xdesk.PROGRESS_TREE):
            counts.add(seen[-1][-1])
    check(len(counts) >= 2, f"progress: the count text changes while the files go ({sorted(counts)})")
    read_and_close_notice(run, FULL_TEXT, "Escape", "full removal")


def test_partial_notice_read():
    whole.reset_area()
    whole.lay_root()
    game = whole.start_game_holding(whole.SAVE)
    run = whole.Uninstall(ROOT + "\\Uninstall.exe")
    if choose_full_removal(run):
        whole.notice_window(run.alive)  # the removal has ended with the save held
        check(whole.release_game(game), "partial: the game let go")
        read_and_close_notice(run, whole.way_back_full(SAVE), "Return", "partial removal")


def test_refusal_notice_read():
    whole.reset_area()
    shutil.copyfile(whole.UNINSTALL_EXE, whole.unix(PROFILE + "\\Uninstall.exe"))
    run = whole.Uninstall(PROFILE + "\\Uninstall.exe", cwd=PROFILE)
    read_and_close_notice(run, f"Папка «{PROFILE}» не похожа на папку установки KoraVane. Ничего не удалено.",
                          "Return", "refusal")


def main():
    os.makedirs(whole.READY, exist_ok=True)
    whole.run_test(test_dialog_read_and_cancelled_by_escape)
    whole.run_test(test_progress_then_notice_read)
    whole.run_test(test_partial_notice_read)
    whole.run_test(test_refusal_notice_read)
    print(f"{len(whole.failures)} failed" if whole.failures else "all checks passed")
    return 1 if whole.failures else 0


if __name__ == "__main__":
    sys.exit(main())
