#!/usr/bin/python3
"""The removal-choice dialog of a root that holds worlds, watched from the X server: from the
program's start to the dialog's first paint, and to the moment its explanation shows the worlds'
count (its pixels differ from the explanation without them, which the peer build shows). Started
by bench/dialog-worlds (which sets up the prefix and the Xvfb server); not a test.

Usage: dialog_worlds.py SOURCE_DIR BUILD_DIR PREFIX FILES ROUNDS POLL_MS
The environment is the prefix's (tools/wine-env); KORAVANE_PEER_EXE names the build without worlds.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import progress_window as pw  # noqa: E402

WORLDS, WORLD_FILES = 3, 2000
BODY = (46, 136, 458, 216)
CANCEL_BUTTON = (242, 372)


def lay_template(files):
    """The progress bench's tree of FILES files, of which WORLDS worlds of WORLD_FILES files each."""
    top = os.path.join(pw.WORK, "template")
    pw.make_writable(pw.WORK)
    pw.shutil.rmtree(pw.WORK, ignore_errors=True)
    pw.lay_template(top, files - WORLDS * WORLD_FILES)
    for w in range(WORLDS):
        world = os.path.join(top, "minecraft", "saves", f"World {w}")
        for i in range(WORLD_FILES):
            name = "level.dat" if i == 0 else os.path.join("region", f"part-{i // 100}", f"r.{i}.mca")
            os.makedirs(os.path.dirname(os.path.join(world, name)), exist_ok=True)
            with open(os.path.join(world, name), "wb") as f:
                f.write(b"r" * (i % 64))
    os.makedirs(os.path.join(pw.WORK, "runner"), exist_ok=True)


def body(xs, x, y):
    grabbed = xs.grab(x + BODY[0], y + BODY[1], BODY[2] - BODY[0], BODY[3] - BODY[1])
    return grabbed[0] if grabbed else None


def watch(xs, manager, exe, without_worlds):
    """(seconds to the first paint, seconds to the worlds' count or None, the body first painted)."""
    pw.lay("case-d", exe)
    t0 = time.monotonic()
    process = pw.start("case-d")
    painted, shown, first, x, y = None, None, None, 0, 0
    deadline = t0 + 120
    while time.monotonic() < deadline and process.poll() is None:
        windows = xs.viewable_windows()
        manager.update(windows)
        dialog = [(wx, wy) for _, name, wx, wy, w, h in windows if pw.kind_of(name, w, h) == "dialog"]
        if dialog and painted is None and xs.colour(dialog[0][0] + pw.DIALOG_MARK[0],
                                                     dialog[0][1] + pw.DIALOG_MARK[1]) == pw.DIALOG_FILL:
            painted, (x, y) = time.monotonic() - t0, dialog[0]
            first = body(xs, x, y)
        if painted is not None:
            now = body(xs, x, y)
            if without_worlds is None or now != without_worlds:
                shown = time.monotonic() - t0 if without_worlds is not None else None
                break
    if painted is not None:
        xs.click(x + CANCEL_BUTTON[0], y + CANCEL_BUTTON[1])
    try:
        process.wait(timeout=60)
    except pw.subprocess.TimeoutExpired:
        process.kill()  # our own child, by its handle
        process.wait()
    return painted, shown, first


def main():
    peer = os.environ.get("KORAVANE_PEER_EXE")
    if not peer:
        print("dialog-worlds: KORAVANE_PEER_EXE must name the build without worlds, whose dialog is the reference")
        return 1
    lay_template(pw.FILES)
    xs = pw.Display()
    manager = pw.WindowManagerStandIn(xs)
    ours_paint, peer_paint, counts = [], [], []
    for round_ in range(1, pw.ROUNDS + 1):
        paint_p, _, reference = watch(xs, manager, peer, None)
        paint_o, shown, _ = watch(xs, manager, pw.UNINSTALL_EXE, reference)
        peer_paint.append(paint_p)
        ours_paint.append(paint_o)
        counts.append(shown)
        print(f"round {round_}: first paint ours {pw.ms(paint_o)} ms, peer {pw.ms(paint_p)} ms; "
              f"count shown {pw.ms(shown)} ms after start "
              f"({pw.ms(shown - paint_o if shown and paint_o else None)} ms after the first paint)", flush=True)
    ratios = [o / p for o, p in zip(ours_paint, peer_paint) if o and p]
    print(f"\nmedian of {pw.ROUNDS} rounds, {pw.FILES} files, {WORLDS} worlds of {WORLD_FILES}:")
    print(f"  first paint: ours {pw.ms(pw.median(ours_paint))} ms, peer {pw.ms(pw.median(peer_paint))} ms, "
          f"ratio {pw.median(ratios):.2f}x")
    print(f"  count shown: {pw.ms(pw.median(counts))} ms after start, "
          f"{pw.ms(pw.median([c - p for c, p in zip(counts, ours_paint) if c and p]))} ms after the first paint")
    return 0


if __name__ == "__main__":
    sys.exit(main())
