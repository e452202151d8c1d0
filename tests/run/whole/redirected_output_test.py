#!/usr/bin/python3
"""A quiet run whose standard output and error go into a file inside the install root, as after
"Uninstall.exe /S >uninstall-output.txt 2>&1" in the root: the file is held open through the
run, so the root waits for the deferred script, which must then find nothing of the run still
holding it.

Usage: redirected_output_test.py SOURCE_DIR BUILD_DIR PREFIX (those of whole_program_test.py).
Needs DISPLAY (tools/with-xvfb).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whole_program_test as whole  # noqa: E402  (reads the same three arguments)

OUTPUT = whole.ROOT + "\\uninstall-output.txt"


def test_output_redirected_into_the_root():
    whole.reset_area()
    whole.lay_root()
    # The script's wait lasts until the hold goes: what the run left is read first, and the
    # program that opened the output file (standing in for the shell) has ended by then.
    hold = "K:\\script-hold"
    whole.write(hold, b"")
    run = whole.Uninstall(whole.ROOT + "\\Uninstall.exe", "/S", output=OUTPUT,
                          env={"KORAVANE_TIMEOUT_HOLD": hold})
    code = run.finish()
    left = sorted(os.listdir(whole.unix(whole.ROOT))) if whole.exists(whole.ROOT) else []
    lines = whole.log_lines() or []
    os.remove(whole.unix(hold))
    whole.check(code == 0, f"redirected output: exit code 0 (saw {code})")
    whole.check("uninstall-output.txt" in left and "minecraft" not in left,
                f"redirected output: the held output file waits for the script, the rest went ({left})")
    # Held by the run itself, the output file goes after it, like the running uninstaller: no
    # second run is needed for it.
    whole.check(len(lines) == 6 and lines[3] == whole.recycled_line() and whole.held_line(lines[4], OUTPUT)
                and lines[5].startswith("scheduled delete via "),
                f"redirected output: the output file stayed held and the root went to the script ({lines})")
    gone = whole.xdesk.wait_until(lambda: not whole.exists(whole.ROOT))
    stayed = "" if gone else f" ({sorted(os.listdir(whole.unix(whole.ROOT)))})"
    whole.check(gone, "redirected output: the script removed the root, the output file included" + stayed)


def main():
    os.makedirs(whole.READY, exist_ok=True)
    whole.run_test(test_output_redirected_into_the_root)
    print(f"{len(whole.failures)} failed" if whole.failures else "all checks passed")
    return 1 if whole.failures else 0


if __name__ == "__main__":
    sys.exit(main())
