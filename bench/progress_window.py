#!/usr/bin/python3
"""The progress window of a real interactive full removal, watched from the X server, against a
quiet run of an identical tree. Started by bench/progress-window (which sets up the prefix and the
Xvfb server); not a test.

Usage: progress_window.py SOURCE_DIR BUILD_DIR PREFIX FILES ROUNDS POLL_MS
The environment is the prefix's (tools/wine-env) and DISPLAY names a server without a window
manager.

After the click on "Удалить всё" the screen is sampled every POLL_MS (0: back to back) through
Xlib itself: the windows of the program found by name and size, a marker pixel of each to know it
is painted, and the stage line and the count of the progress window. One sample takes about a
millisecond this way; xdotool and import together take over 100 ms, coarser than the figures.
"""
import glob
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

SOURCE, BUILD, PREFIX = sys.argv[1:4]
FILES, ROUNDS, POLL_MS = int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6])
TRACE = bool(os.environ.get("KORAVANE_TRACE"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
import xdesk  # noqa: E402

UNINSTALL_EXE = os.path.join(BUILD, "Uninstall.exe")
PEER_EXE = os.environ.get("KORAVANE_PEER_EXE")  # another build, run interactively in every round too
WITH_ENV = os.path.join(BUILD, "tests", "support", "with_env", "with_env.exe")
WORK = os.path.join(PREFIX, "drive_c", "koravane-bench-progress")
WIN_WORK = "C:\\koravane-bench-progress"

CHOICE = "KoraVane — удаление"  # the dialog's caption, kept by the progress window
NOTICE = "KoraVane"
# Client coordinates of what is looked at: (x, y) of a marker pixel and the colour it has once the
# window is painted, as the GUI tests check them.
DIALOG_MARK, DIALOG_FILL = (40, 372), (28, 34, 48)  # the cancel button
PROGRESS_MARK, PROGRESS_FILL = (465, 250), (16, 20, 30)  # the card
NOTICE_MARK, NOTICE_FILL = (40, 230), (232, 200, 120)  # the notice's button
STAGE_BOX, COUNT_BOX = (46, 142, 454, 166), (46, 210, 454, 238)
FULL_BUTTON = (242, 320)  # "Удалить всё", in the dialog
NOTICE_BUTTON = (242, 230)


Display = xdesk.Display  # Xlib through ctypes: the few calls a sample needs


class WindowManagerStandIn:
    """Wine 8 waits up to 2 s, before it hides a window it counts as managed (ours are), for a
    window manager to have said the window is mapped (the WM_STATE property); Xvfb has none, so
    every window of the program that goes would add 2 s that no desktop has. This says it for each
    mapped top-level window, as a window manager would, unless KORAVANE_NO_WM is set."""

    def __init__(self, xs):
        self.xs = xs
        self.enabled = not os.environ.get("KORAVANE_NO_WM")
        self.mapped = set()

    def update(self, windows):
        if not self.enabled:
            return
        now = {w[0] for w in windows}
        for window in now - self.mapped:
            self.xs.set_wm_state(window, 1)
        for window in self.mapped - now:
            self.xs.set_wm_state(window, 0)  # gone already, mostly: the error is ignored
        self.mapped = now


# ---------------------------------------------------------------------------------------------
# One sample of the screen after the click.

class Sample:
    def __init__(self, t, kinds, painted, stage, count):
        self.t = t
        self.kinds = kinds  # the program's mapped windows: "dialog", "progress", "notice"
        self.painted = painted  # those of them whose marker pixel shows
        self.stage, self.count = stage, count  # the progress window's pixels, when painted


def kind_of(name, width, height):
    if name == CHOICE and (width, height) == (500, 500):
        return "dialog"
    if name == CHOICE and (width, height) == (500, 300):
        return "progress"
    if name == NOTICE and (width, height) == (500, 300):
        return "notice"
    return None


MARKS = {"dialog": (DIALOG_MARK, DIALOG_FILL), "progress": (PROGRESS_MARK, PROGRESS_FILL),
         "notice": (NOTICE_MARK, NOTICE_FILL)}


def take_sample(xs, manager):
    t0 = time.monotonic()
    kinds, painted, stage, count = [], [], None, None
    windows = xs.viewable_windows()
    manager.update(windows)
    for _, name, x, y, width, height in windows:
        kind = kind_of(name, width, height)
        if kind is None:
            continue
        kinds.append(kind)
        (mx, my), fill = MARKS[kind]
        if xs.colour(x + mx, y + my) != fill:
            continue
        painted.append(kind)
        if kind == "progress":
            # One grab from the stage line down to the count: both are read at the same moment.
            left, top, right, bottom = STAGE_BOX[0], STAGE_BOX[1], STAGE_BOX[2], COUNT_BOX[3]
            grabbed = xs.grab(x + left, y + top, right - left, bottom - top)
            if grabbed:
                data, stride = grabbed
                stage = data[:stride * (STAGE_BOX[3] - top)]
                count = data[stride * (COUNT_BOX[1] - top):]
    return Sample((t0 + time.monotonic()) / 2, kinds, painted, stage, count)


# ---------------------------------------------------------------------------------------------
# Trees and runs.

def lay_template(top, files):
    """The launcher's entries, the run log and a game tree in folders up to six levels deep (one
    file in ten read-only), FILES files in all with the Uninstall.exe laid beside. Seeded."""
    rng = random.Random(20240717)

    def write(rel, data):
        path = os.path.join(top, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    launcher = ["app-1.5.84/KoraVane.exe", "app-1.5.84/resources.pak", "app-current/app.asar",
                "packages/KoraVane-1.5.84-full.nupkg", "current.json", "version.json", "icon.ico",
                "bootstrap-config.json", "KoraVane Updater.exe", "Update.exe", "KoraVane.exe"]
    for rel in launcher:
        write(rel, rel.encode())
    write("updates/rust-updater.log", b"an earlier run\n")
    game = max(files - len(launcher) - 2, 1)
    dirs = [("minecraft", 0)]
    for i in range(max(game // 10, 1)):
        parent, depth = rng.choice([d for d in dirs if d[1] < 6])
        dirs.append((os.path.join(parent, "d%d-%s" % (i, "d" * rng.randint(0, 6))), depth + 1))
    for i in range(game):
        rel = os.path.join(dirs[i % len(dirs)][0], "file-%d-%s.dat" % (i, "f" * rng.randint(0, 12)))
        write(rel, b"x" * rng.randint(0, 64))
        if i % 10 == 3:
            os.chmod(os.path.join(top, rel), 0o444)


def make_writable(path):
    subprocess.run(["chmod", "-R", "u+w", path], check=False, stderr=subprocess.DEVNULL)


def lay(name, exe=UNINSTALL_EXE):
    """A fresh copy of the template with the real Uninstall.exe (or exe), and a settings folder."""
    case = os.path.join(WORK, name)
    if os.path.exists(case):
        make_writable(case)
        shutil.rmtree(case)
    settings = os.path.join(case, "profile", "AppData", "Roaming", "koravane-launcher")
    os.makedirs(settings)
    os.makedirs(os.path.join(case, "profile", "AppData", "Local"))
    with open(os.path.join(settings, "login.json"), "w") as f:
        f.write('{"token": 1}\n')
    subprocess.run(["cp", "-a", os.path.join(WORK, "template"), os.path.join(case, "KoraVane")],
                   check=True)
    shutil.copyfile(exe, os.path.join(case, "KoraVane", "Uninstall.exe"))


def start(name, *args):
    """The case's own Uninstall.exe through with_env (the profile inside the case's folder). No
    pipes: a deferred script would inherit them."""
    profile = f"{WIN_WORK}\\{name}\\profile"
    return subprocess.Popen(
        ["wine", WITH_ENV, f"USERPROFILE={profile}", f"APPDATA={profile}\\AppData\\Roaming",
         f"LOCALAPPDATA={profile}\\AppData\\Local", "--",
         f"{WIN_WORK}\\{name}\\KoraVane\\Uninstall.exe", *args],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def scripts_pending():
    return bool(glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "Temp",
                                       "koravane-uninstall-*.cmd")))


def settle(name):
    """Waits (bounded) for the root to go and the deferred script to finish, so that the next run
    meets neither. Returns the number of entries left of the root."""
    root = os.path.join(WORK, name, "KoraVane")
    xdesk.wait_until(lambda: not os.path.exists(root), 60, interval=0.05)
    xdesk.wait_until(lambda: not scripts_pending(), 60, interval=0.05)
    return sum(1 + len(files) for _, _, files in os.walk(root)) if os.path.exists(root) else 0


def refused_run():
    """Seconds from start to exit of a quiet run in a folder without launcher files, which is
    refused at once: about what starting the program costs."""
    t0 = time.monotonic()
    subprocess.run(["wine", WITH_ENV, "--cwd", f"{WIN_WORK}\\runner", "--",
                    f"{WIN_WORK}\\runner\\Uninstall.exe", "/S"], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return time.monotonic() - t0


def quiet_run():
    """Seconds from start to exit of a quiet run, and the entries it left in the end."""
    t0 = time.monotonic()
    process = start("case-q", "/S")
    process.wait(timeout=600)
    seconds = time.monotonic() - t0
    return seconds, settle("case-q")


class Watched:
    """The figures of one interactive run, from its samples."""

    def __init__(self, click, samples):
        self.samples = samples
        self.click = click

        def first(test):
            return next((s.t - click for s in samples if test(s)), None)
        self.progress_mapped = first(lambda s: "progress" in s.kinds)
        self.progress_painted = first(lambda s: "progress" in s.painted)
        self.notice_mapped = first(lambda s: "notice" in s.kinds)
        self.notice_painted = first(lambda s: "notice" in s.painted)
        self.gap = self.longest_gap(lambda s: bool(s.kinds))
        self.painted_gap = self.longest_gap(lambda s: bool(s.painted))
        self.count_figures()

    def longest_gap(self, shown):
        """The longest time between two samples that show a window, with none shown between (an
        upper bound: each end is off by at most one sample's spacing)."""
        longest, last = 0.0, self.click
        for s in self.samples:
            if shown(s):
                longest = max(longest, s.t - last)
                last = s.t
        return longest

    def count_figures(self):
        """Intervals between changes of the count while the stage line is the files stage, the
        last one the progress window shows; the tail from the last change to the window's end."""
        progress = [s for s in self.samples if s.stage is not None]
        self.stages = len({s.stage for s in progress})
        self.intervals, self.tail, self.changes = [], None, 0
        if not progress:
            return
        files_stage = progress[-1].stage
        in_stage = [s for s in progress if s.stage == files_stage]
        since, shown = in_stage[0].t, in_stage[0].count
        for s in in_stage[1:]:
            if s.count != shown:
                self.intervals.append(s.t - since)
                since, shown = s.t, s.count
        self.changes = len(self.intervals)
        gone = next((s.t for s in self.samples if s.t > in_stage[-1].t and "progress" not in s.kinds),
                    in_stage[-1].t)
        self.tail = gone - since


def trace(click, samples):
    """Prints each change of what the screen shows, for a look at one round's course."""
    stages, shown = [], None
    for s in samples:
        if s.stage is not None and s.stage not in stages:
            stages.append(s.stage)
        now = (s.kinds, s.painted, stages.index(s.stage) + 1 if s.stage is not None else "-")
        if now != shown:
            print(f"  {(s.t - click) * 1000:8.1f} ms  mapped {','.join(now[0]) or '-'}"
                  f"  painted {','.join(now[1]) or '-'}  stage line {now[2]}", flush=True)
        shown = now


def interactive_run(xs, manager, name="case-i"):
    """Clicks "Удалить всё" in the painted dialog and samples the screen until the notice is
    painted; closes the notice. Returns the figures (None when no dialog came) and the entries
    left of the root in the end."""
    process = start(name)
    found = xdesk.wait_for_painted_window(f"^{CHOICE}$", DIALOG_MARK, DIALOG_FILL,
                                          lambda: process.poll() is None)
    if found is None:
        process.kill()
        return None, settle(name)
    _, x, y = found
    manager.update(xs.viewable_windows())
    xs.click(x + FULL_BUTTON[0], y + FULL_BUTTON[1])
    click = time.monotonic()
    samples = []
    cpu = time.process_time()
    deadline = click + 600
    while time.monotonic() < deadline and process.poll() is None:
        samples.append(take_sample(xs, manager))
        if "notice" in samples[-1].painted:
            break
        if POLL_MS > 0:
            time.sleep(POLL_MS / 1000)
    watched = Watched(click, samples)
    watched.cpu = time.process_time() - cpu  # the sampling's own share of the machine
    if TRACE:
        trace(click, samples)
    notice = [(x, y) for _, name, x, y, width, height in xs.viewable_windows()
              if kind_of(name, width, height) == "notice"]
    if notice:
        nx, ny = notice[-1]
        xs.click(nx + NOTICE_BUTTON[0], ny + NOTICE_BUTTON[1])
    xdesk.wait_until(lambda: manager.update(xs.viewable_windows()) or process.poll() is not None,
                     60, interval=0.05)
    if process.poll() is None:
        print("  the run did not end after its notice was closed", flush=True)
        process.kill()
        process.wait()
    return watched, settle(name)


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else float("nan")


def ms(seconds):
    return "   -   " if seconds is None else f"{seconds * 1000:7.0f}"


def main():
    os.makedirs(WORK, exist_ok=True)
    for name in os.listdir(WORK):
        make_writable(os.path.join(WORK, name))
        shutil.rmtree(os.path.join(WORK, name))
    lay_template(os.path.join(WORK, "template"), FILES)
    files = sum(len(f) for _, _, f in os.walk(os.path.join(WORK, "template"))) + 1
    xs = Display()
    manager = WindowManagerStandIn(xs)
    # Refused runs, the first untimed: the first program of a prefix starts its services. The
    # runner's folder holds no launcher files.
    os.makedirs(os.path.join(WORK, "runner"))
    shutil.copyfile(UNINSTALL_EXE, os.path.join(WORK, "runner", "Uninstall.exe"))
    refused = [refused_run() for _ in range(4)][1:]
    print(f"root: {files} files with Uninstall.exe; rounds: {ROUNDS}; sampling every {POLL_MS:g} ms"
          f"; window manager's WM_STATE {'said by the benchmark' if manager.enabled else 'never said'}"
          f"; load {os.getloadavg()[0]:.2f}", flush=True)
    print("times in ms after the click; quiet run from start to exit", flush=True)
    rounds, incomplete, peers = [], False, []
    for round_ in range(1, ROUNDS + 1):
        lay("case-i")
        lay("case-q")
        if PEER_EXE:
            lay("case-p", PEER_EXE)
        subprocess.run(["sync"], check=True)
        # The order turns, so that no run always follows another's deferred script.
        peer, left_p = interactive_run(xs, manager, "case-p") if PEER_EXE and not round_ % 2 else (None, 0)
        if round_ % 2:
            watched, left_i = interactive_run(xs, manager)
            quiet, left_q = quiet_run()
        else:
            quiet, left_q = quiet_run()
            watched, left_i = interactive_run(xs, manager)
        if PEER_EXE and round_ % 2:
            peer, left_p = interactive_run(xs, manager, "case-p")
        left_i += left_p
        if PEER_EXE:
            both = peer and watched and peer.notice_painted and watched.notice_painted
            peers.append(watched.notice_painted / peer.notice_painted if both else None)
            print(f"round {round_}: peer: notice {ms(peer and peer.notice_painted)}  count: max"
                  f" {ms(max(peer.intervals, default=None) if peer else None).strip()} median"
                  f" {ms(median(peer.intervals) if peer else None).strip()}", flush=True)
        incomplete |= bool(left_i or left_q) or watched is None
        if watched is None:
            print(f"round {round_}: no dialog came; skipped", flush=True)
            continue
        rounds.append((watched, quiet))
        w = watched
        notice = w.notice_painted
        print(f"round {round_}: progress {ms(w.progress_painted)} (mapped {ms(w.progress_mapped).strip()})"
              f"  notice {ms(notice)} (mapped {ms(w.notice_mapped).strip()})"
              f"  gap {ms(w.gap).strip()} (unpainted {ms(w.painted_gap).strip()})"
              f"  count: {w.changes} changes, max {ms(max(w.intervals, default=None)).strip()}"
              f" median {ms(median(w.intervals) if w.intervals else None).strip()}"
              f" tail {ms(w.tail).strip()}, {w.stages} stage lines"
              f"  quiet {quiet * 1000:.0f}  ratio {notice / quiet if notice else float('nan'):.2f}"
              f"  ({len(w.samples)} samples, {w.cpu:.1f} s of CPU; left {left_i}/{left_q})", flush=True)
    if not rounds:
        print("no round completed")
        return 1
    pick = lambda f: median([f(w, q) for w, q in rounds])
    print(f"\nmedian of {len(rounds)} rounds, {files} files (load now {os.getloadavg()[0]:.2f}):")
    print(f"  click -> progress window painted   {ms(pick(lambda w, q: w.progress_painted))} ms"
          f"   (limit 300; mapped {ms(pick(lambda w, q: w.progress_mapped)).strip()})")
    print(f"  click -> notice painted            {ms(pick(lambda w, q: w.notice_painted))} ms"
          f"   (mapped {ms(pick(lambda w, q: w.notice_mapped)).strip()})")
    print(f"  longest time without a window      {ms(pick(lambda w, q: w.gap))} ms"
          f"   (limit 500; without a painted one {ms(pick(lambda w, q: w.painted_gap)).strip()};"
          f" worst round {ms(max(w.gap for w, _ in rounds)).strip()})")
    print(f"  count change interval, max         {ms(pick(lambda w, q: max(w.intervals, default=None)))} ms"
          f"   (limit 500; worst round {ms(max((max(w.intervals, default=0) for w, _ in rounds))).strip()})")
    print(f"  count change interval, median      {ms(pick(lambda w, q: median(w.intervals) if w.intervals else None))} ms")
    print(f"  last count change -> window gone   {ms(pick(lambda w, q: w.tail))} ms")
    print(f"  quiet run, start to exit           {ms(pick(lambda w, q: q))} ms"
          f"   (a refused run, start-up alone: {ms(median(refused)).strip()})")
    ratios = [w.notice_painted / q for w, q in rounds if w.notice_painted]
    print(f"  (click -> notice) / quiet          {median(ratios):7.2f}x   (limit 1.10x; per-round"
          f" ratios {' '.join(f'{r:.2f}' for r in ratios)})")
    if PEER_EXE:
        print(f"  (click -> notice) ours / peer's    {median(peers):7.2f}x"
              f"   (per round {' '.join(f'{r:.2f}' for r in peers if r)}; peer {PEER_EXE})")
    if incomplete:
        print("  WARNING: a run left entries behind or showed no dialog in some round")
    for name in os.listdir(WORK):
        make_writable(os.path.join(WORK, name))
        shutil.rmtree(os.path.join(WORK, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
