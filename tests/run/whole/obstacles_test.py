#!/usr/bin/python3
"""What resists a removal costs only itself: a file held open deep in a large tree, a program
running from the root that may not be ended. Everything else goes in the run, what stays is named,
and the uninstaller with its registration stays, so that a second run, once the obstacle is gone,
finishes the removal.

Usage: obstacles_test.py SOURCE_DIR BUILD_DIR PREFIX   (the arguments of whole_program_test.py)
Needs DISPLAY (tools/with-xvfb).
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whole_program_test as w  # noqa: E402  (reads the same three arguments)
from whole_program_test import ROOT, check, exists, kept_line, log_lines, unix, xdesk  # noqa: E402

HOLD = "K:\\script-hold"  # the deferred script waits while it exists


def files_left():
    """Every file left below the root, as paths relative to it."""
    return sorted(w.snapshot(ROOT)) if exists(ROOT) else []


def fail_lines(lines):
    return [line for line in lines if line.startswith("fail ")]


def second_run(what):
    """The kept uninstaller started again, as Windows' list of programs starts it (from another
    folder); the root and the registration are gone once its script has run."""
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", cwd="K:\\").finish()
    check(code == 0, f"{what}: the second run exits 0 (saw {code})")
    check(xdesk.wait_until(lambda: not exists(ROOT)), f"{what}: the second run finished the removal")
    check(not w.key_exists(), f"{what}: then the registration went")


def test_busy_file_deep_in_a_large_tree():
    w.reset_area()
    w.lay_root()
    w.lay_large_tree(ROOT, 3000)
    busy = ROOT + "\\deep" + ("\\" + w.DEEP_FOLDER) * 4 + "\\level3.dat"
    game = w.start_game_holding(busy)
    w.write(HOLD, b"")
    code = w.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": HOLD}).finish()
    what = "busy file in a large tree"
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    relative = busy[len(ROOT) + 1:].replace("\\", "/")
    left = files_left()
    check(left == sorted(["Uninstall.exe", "updates/rust-updater.log", relative]),
          f"{what}: only the busy file, the uninstaller and its run log are left ({left[:6]}, {len(left)} in all)")
    lines = log_lines() or []
    check(len(fail_lines(lines)) == 1 and w.held_line(fail_lines(lines)[0], busy),
          f"{what}: one line names the busy file ({fail_lines(lines)})")
    check(kept_line() in lines and w.key_exists(), f"{what}: the registration stays, and the log says so")
    check(w.release_game(game), f"{what}: the game let go")
    os.remove(unix(HOLD))
    # The script may try the busy file's top folder again; the uninstaller is never its to take.
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\deep")), f"{what}: the script tried again what stayed")
    check(files_left() == ["Uninstall.exe", "updates/rust-updater.log"], f"{what}: the way back is left")
    second_run(what)


def test_program_that_may_not_be_ended(reference):
    """A program running from the root whose own rights deny ending it, as one started with
    higher rights: it is named, and so is its executable, which cannot go while it runs (access
    denied, as on Windows); the notice says that programs hold what stayed."""
    w.reset_area()
    w.lay_root()
    program = ROOT + "\\runtime\\bin\\java.exe"
    release = "K:\\release.flag"
    stubborn = w.start_program("a program that may not be ended", program, "--deny-terminate",
                               "--until", release)
    what = "a program that may not be ended"
    run = w.Uninstall(ROOT + "\\Uninstall.exe")
    window = w.dialog_window(run.alive)
    check(window is not None, f"{what}: the dialog is shown")
    if window:
        xdesk.click_at(*xdesk.button_centre(window[1], window[2], w.ALTERNATE_Y))
        notice = w.notice_window(run.alive)
        if notice:
            check(w.notice_matches(notice, reference), f"{what}: the notice says programs hold what stayed")
            xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    code = run.finish()
    check(code == 0, f"{what}: exit code 0 (saw {code})")
    check(w.running([stubborn]), f"{what}: it runs on")
    lines = log_lines() or []
    failed = fail_lines(lines)
    check(len(failed) == 2 and failed[0].startswith(f"fail {program}: ") and failed[0].endswith("(os error 5)")
          and failed[1].startswith(f"fail {program}: "),
          f"{what}: named as a program that could not be ended, then as a file that stayed ({failed})")
    left = files_left()
    check(left == ["Uninstall.exe", "runtime/bin/java.exe", "updates/rust-updater.log"],
          f"{what}: everything else went ({left[:6]})")
    check(kept_line() in lines and w.key_exists(), f"{what}: the registration stays")
    w.write(release, b"")
    check(w.ended([stubborn]), f"{what}: it exits by itself")
    os.remove(unix(release))
    second_run(what)


def click_through(what, button_y):
    """An interactive run of the root's uninstaller: button_y clicked in the dialog, the notice
    closed; returns its exit code, None without a dialog."""
    run = w.Uninstall(ROOT + "\\Uninstall.exe")
    window = w.dialog_window(run.alive)
    check(window is not None, f"{what}: the dialog is shown")
    if not window:
        run.finish(5)
        return None
    xdesk.click_at(*xdesk.button_centre(window[1], window[2], button_y))
    notice = w.notice_window(run.alive)
    if notice:
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    return run.finish()


def test_launcher_only_with_a_busy_package(reference):
    """Launcher-only removal while another program holds a package: every other launcher entry
    goes, the game stays, the notice says how to finish. No marker of the root is left, so the
    second run finds the root by its run log."""
    w.reset_area()
    w.lay_root()
    shutil.rmtree(unix(ROOT + "\\app-data"))  # a game folder whose name would mark the root
    game_files = {name: data for name, data in w.GAME_FILES.items() if not name.startswith("app-")}
    busy = ROOT + "\\packages\\KoraVane-1.5.84-full.nupkg"
    game = w.start_game_holding(busy)
    what = "launcher-only, busy package"
    launcher, run, notice = w.choose(what, w.PRIMARY_Y, None)
    if not run:
        return
    lines = log_lines() or []
    failed = fail_lines(lines)
    check(len(failed) == 1 and w.held_line(failed[0], "packages\\KoraVane-1.5.84-full.nupkg")
          and lines[-1] == kept_line(),
          f"{what}: the busy package named below the root, then the way back ({lines[-3:]})")
    gone = [name for name in w.LAUNCHER_ENTRIES if name != "packages" and exists(ROOT + "\\" + name)]
    check(not gone and w.key_exists(), f"{what}: the other launcher entries went, the registration stays ({gone})")
    if notice:
        check(w.notice_matches(notice, reference), f"{what}: the notice names the package and says how to finish")
        xdesk.click_at(*xdesk.button_centre(notice[1], notice[2], w.NOTICE_BUTTON_Y))
    check(run.finish() == 0, f"{what}: exit code 0")
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Update.exe")), f"{what}: the script took the updater")
    check(exists(ROOT + "\\Uninstall.exe") and exists(busy), f"{what}: the uninstaller stays with the package")
    check(w.release_game(game), f"{what}: the program let go")
    # The second run: launcher-only again, as the person chose the first time.
    check(click_through(what + ", second run", w.PRIMARY_Y) == 0, f"{what}: the second run exits 0")
    check(not w.key_exists() and not exists(ROOT + "\\packages"), f"{what}: the package and the registration went")
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe")), f"{what}: then the script took the uninstaller")
    check({name: w.read(ROOT + "\\" + name) for name in game_files} == game_files, f"{what}: every game file kept")


def main():
    os.makedirs(w.READY, exist_ok=True)
    w.run_test(test_busy_file_deep_in_a_large_tree)
    w.run_test(test_program_that_may_not_be_ended, w.reference_notice(w.way_back_full(ROOT + "\\runtime\\bin\\java.exe")))
    w.run_test(test_launcher_only_with_a_busy_package,
               w.reference_notice(w.way_back_launcher_only(ROOT + "\\packages\\KoraVane-1.5.84-full.nupkg")))
    print(f"{len(w.failures)} failed" if w.failures else "all checks passed")
    return 1 if w.failures else 0


if __name__ == "__main__":
    sys.exit(main())
