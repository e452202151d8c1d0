#!/usr/bin/python3
"""The whole program under Wine, for what of the user's points into what a removal takes:
autostart values, link handlers and shortcuts, each removed or kept by where it points.

Usage: references_test.py SOURCE_DIR BUILD_DIR PREFIX   (as whole_program_test.py; needs DISPLAY)
Every value and key seeded into the prefix's HKCU, which other suites share, is removed again
whatever the outcome.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whole_program_test as whole  # noqa: E402  (reads the same three arguments)
from whole_program_test import (APPDATA, DESKTOP, LOCALAPPDATA, PROGRAMS, ROOT, check, exists,  # noqa: E402
                                read, unix, write, xdesk)

MAKE_LINK = os.path.join(whole.SUPPORT, "make_link", "make_link.exe")
SCRATCH = os.path.join(whole.WORK, "references-scratch")  # outside K:, which tests compare whole
CURRENT = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
RUN, RUN_ONCE = CURRENT + "\\Run", CURRENT + "\\RunOnce"
APPROVED_PARENT = CURRENT + "\\Explorer\\StartupApproved"
APPROVED_RUN, APPROVED_FOLDER = APPROVED_PARENT + "\\Run", APPROVED_PARENT + "\\StartupFolder"
CLASSES = "HKEY_CURRENT_USER\\Software\\Classes"
QUICK_LAUNCH = APPDATA + "\\Microsoft\\Internet Explorer\\Quick Launch"
SIBLING = LOCALAPPDATA + "\\KoraVane2"  # a look-alike of the root
OTHER = "K:\\Program Files\\OtherApp\\other.exe"
SAVES = ROOT + "\\minecraft\\saves\\Мир 1"
HELD = DESKTOP + "\\KoraVane (3).lnk"  # held open by another program in the launcher-only run
APPROVED = "hex:02,00,00,00,00,00,00,00,00,00,00,00"


def sz(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def expand_sz(text):
    return "hex(2):" + ",".join(f"{b:02x}" for b in (text + "\0").encode("utf-16-le"))


# (key, value name, data as .reg text, goes in full removal, goes in launcher-only removal)
VALUES = [
    (RUN, "KVT-Update", sz(f'"{ROOT}\\Update.exe" --processStart "KoraVane.exe"'), True, True),
    (APPROVED_RUN, "KVT-Update", APPROVED, True, True),
    (RUN, "KVT-Expand", expand_sz("%LOCALAPPDATA%\\KoraVane\\app-1.5.84\\KoraVane.exe --autostart"), True, True),
    (RUN, "KVT-Game", sz(f'"{ROOT}\\KoraVane.exe"'), True, False),  # a game-side copy
    (RUN_ONCE, "KVT-Once", sz(f"{ROOT}\\Update.exe --processStart KoraVane.exe"), True, True),
    (RUN, "KVT-Sibling", sz(f'"{SIBLING}\\Update.exe" --processStart "KoraVane.exe"'), False, False),
    (APPROVED_RUN, "KVT-Sibling", APPROVED, False, False),
    (RUN, "KVT-Cmd", sz(f'cmd.exe /c "{ROOT}\\Update.exe"'), False, False),
    (APPROVED_FOLDER, "KoraVane.lnk", APPROVED, True, True),  # the Startup shortcut's twin
    (APPROVED_FOLDER, "Other.lnk", APPROVED, False, False),
]
# (scheme, open command, goes in full removal, goes in launcher-only removal)
SCHEMES = [
    ("kvt-koravane", f'"{ROOT}\\app-1.5.84\\KoraVane.exe" --url -- "%1"', True, True),
    ("kvt-other", f'"{OTHER}" "%1"', False, False),
]
# (shortcut, target, arguments, goes in full removal, goes in launcher-only removal); arguments
# None: a link in its environment form, which Wine's shell does not write, laid as bytes here.
LINKS = [
    (DESKTOP + "\\KoraVane (env).lnk", "%LOCALAPPDATA%\\KoraVane\\app-1.5.84\\KoraVane.exe", None, True, True),
    (QUICK_LAUNCH + "\\User Pinned\\TaskBar\\KoraVane.lnk", ROOT + "\\app-1.5.84\\KoraVane.exe", "", True, True),
    (PROGRAMS + "\\Startup\\KoraVane.lnk", ROOT + "\\Update.exe", "--processStart KoraVane.exe", True, True),
    (PROGRAMS + "\\KoraVane\\KoraVane.lnk", ROOT + "\\Update.exe", "--processStart KoraVane.exe", True, True),
    (DESKTOP + "\\KoraVane (2).lnk", ROOT + "\\app-1.5.84\\KoraVane.exe", "", True, True),
    (DESKTOP + "\\Удалить KoraVane.lnk", ROOT + "\\Uninstall.exe", "", True, True),
    (DESKTOP + "\\Мир 1.lnk", SAVES, "", True, False),
    (DESKTOP + "\\KoraVane2.lnk", SIBLING + "\\Update.exe", "", False, False),
    (PROGRAMS + "\\Startup\\Other.lnk", "C:\\windows\\system32\\cmd.exe", f'/c "{ROOT}\\Update.exe"', False, False),
    (PROGRAMS + "\\Tools\\cut.lnk", ROOT + "\\Update.exe", "", False, False),  # cut short below
    (HELD, ROOT + "\\app-1.5.84\\KoraVane.exe", "", True, True),
]
MALFORMED = {DESKTOP + "\\not a link.lnk": b"lnk", DESKTOP + "\\empty.lnk": b""}


def windows(path):
    return "Z:" + path.replace("/", "\\")


def import_reg(text):
    os.makedirs(SCRATCH, exist_ok=True)
    path = os.path.join(SCRATCH, "seed.reg")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + ("Windows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16-le"))
    for _ in range(3):  # a Wine start that went wrong is tried again
        if whole.wine("reg", "import", windows(path)).returncode == 0:
            return
    raise RuntimeError("reg import failed")


def seed_registry():
    keys = {}
    for key, name, data, _, _ in VALUES:
        keys.setdefault(key, []).append(f"{sz(name)}={data}")
    for scheme, command, _, _ in SCHEMES:
        keys[f"{CLASSES}\\{scheme}"] = ['"URL Protocol"=""', f'@={sz("URL:" + scheme)}']
        keys[f"{CLASSES}\\{scheme}\\shell\\open\\command"] = [f"@={sz(command)}"]
    import_reg("".join(f"[{key}]\r\n" + "".join(line + "\r\n" for line in lines) + "\r\n"
                       for key, lines in keys.items()))


def unseed_registry(existing):
    """Removes every seeded value, and every key the seeding made."""
    keys = {}
    for key, name, _, _, _ in VALUES:
        keys.setdefault(key, []).append(f"{sz(name)}=-")
    made = [key for key in keys if key not in existing] + [f"{CLASSES}\\{scheme}" for scheme, *_ in SCHEMES]
    if APPROVED_PARENT not in existing:
        made.append(APPROVED_PARENT)  # after its subkeys
    import_reg("".join(f"[{key}]\r\n" + "".join(line + "\r\n" for line in lines) + "\r\n"
                       for key, lines in keys.items() if key in existing) +
               "".join(f"[-{key}]\r\n\r\n" for key in made))


def registry():
    """{key: {value line's name part: the whole line}} of the keys the test seeds, as reg.exe
    exports them: what stays must stay byte for byte."""
    found = {}
    os.makedirs(SCRATCH, exist_ok=True)
    for top in (CURRENT, CLASSES):
        path = os.path.join(SCRATCH, "export.reg")
        if os.path.exists(path):
            os.remove(path)
        for _ in range(3):  # a Wine start that went wrong is tried again
            whole.wine("reg", "export", top, windows(path), "/y")
            if os.path.exists(path):
                break
        else:
            continue  # no such key (a new prefix has no HKCU\Software\Classes): nothing in it
        with open(path, "rb") as f:
            text = f.read().decode("utf-16").replace("\\\r\n  ", "")
        key = None
        for line in text.split("\r\n"):
            if line.startswith("["):
                key = line[1:-1]
                found[key] = {}
            elif key and "=" in line:
                found[key][line.split("=", 1)[0]] = line
    return found


def environment_link(target):
    """A shell link that holds nothing but its target in the environment form."""
    link_class = bytes.fromhex("0114020000000000c000000000000046")
    header = struct.pack("<I16sI", 0x4C, link_class, 0x280).ljust(0x4C, b"\0")
    block = struct.pack("<II", 0x314, 0xA0000001) + target.encode("ascii").ljust(260, b"\0")
    return header + block + (target + "\0").encode("utf-16-le").ljust(520, b"\0") + bytes(4)


def lay_profile():
    """The root, a look-alike sibling, another program, and every shortcut of the table."""
    whole.reset_area()
    whole.lay_root()
    for program in (SIBLING + "\\Update.exe", OTHER):
        write(program, b"program")
    for link, *_ in LINKS:
        os.makedirs(os.path.dirname(unix(link)), exist_ok=True)
    triples = [part for link, target, arguments, _, _ in LINKS if arguments is not None
               for part in (link, target, arguments)]
    made = whole.wine(MAKE_LINK, *triples).returncode == 0
    if made:
        cut = unix(PROGRAMS + "\\Tools\\cut.lnk")
        os.truncate(cut, os.path.getsize(cut) // 2)
    for link, target, arguments, _, _ in LINKS:
        if arguments is None:
            write(link, environment_link(target))
    for path, data in MALFORMED.items():
        write(path, data)
    return made


def files():
    return {link: read(link) for link in [entry[0] for entry in LINKS] + list(MALFORMED)}


def check_what_stayed(mode, files_before, registry_before, held=None):
    """Each item gone or kept as its table says (a held shortcut kept); what stays, byte for byte."""
    goes = (lambda row: row[-2]) if mode == "full" else (lambda row: row[-1])
    files_after, registry_after = files(), registry()
    wrong = [link for link, *row in LINKS
             if files_after[link] != (None if goes(row) and link != held else files_before[link])]
    wrong += [path for path in MALFORMED if files_after[path] != MALFORMED[path]]
    check(not wrong, f"{mode}: every shortcut went or stayed by where it points ({wrong})")
    wrong = [f"{key}\\{name}" for key, name, *row in VALUES
             if registry_after.get(key, {}).get(sz(name)) != (None if goes(row) else registry_before[key][sz(name)])]
    for scheme, *row in SCHEMES:
        key = f"{CLASSES}\\{scheme}"
        under = lambda found: {k: v for k, v in found.items() if k == key or k.startswith(key + "\\")}
        if under(registry_after) != ({} if goes(row) else under(registry_before)):
            wrong.append(key)
    check(not wrong, f"{mode}: every value and key went or stayed by where it points ({wrong})")
    check(not exists(PROGRAMS + "\\KoraVane") and exists(PROGRAMS + "\\Startup") and exists(PROGRAMS + "\\Tools"),
          f"{mode}: the emptied Start-menu folder went, Startup and one that still holds a file stayed")


def expected_lines():
    """The full removal's lines for what it removed, in any order."""
    item = lambda key, name=None: "HKCU\\" + key.split("\\", 1)[1] + (f"\\{name}" if name else "")
    lines = [f"removed {item(key, name)}" for key, name, _, goes, _ in VALUES if goes]
    lines += [f"removed {item(CLASSES, scheme)}" for scheme, _, goes, _ in SCHEMES if goes]
    lines += [f"removed {link}" for link, _, _, goes, _ in LINKS if goes]
    return sorted(lines + [f"removed {PROGRAMS}\\KoraVane"])


def test_full_removal():
    if not lay_profile():
        check(False, "full: the shortcuts were made")
        return
    seed_registry()
    files_before, registry_before = files(), registry()
    # The script waits while the hold is there, so the run log can be read before it goes.
    hold = "K:\\script-hold"
    write(hold, b"")
    code = whole.Uninstall(ROOT + "\\Uninstall.exe", "/S", env={"KORAVANE_TIMEOUT_HOLD": hold}).finish()
    lines = whole.log_lines() or []
    os.remove(unix(hold))
    check(code == 0, f"full: exit code 0 (saw {code})")
    settings = "settings removed: " + whole.SETTINGS
    mine = sorted(lines[2:lines.index(settings)]) if settings in lines else None
    check(lines[1:2] == [whole.start_line(True, ROOT)] and mine == expected_lines(),
          f"full: one line for each item removed, before the files go ({lines})")
    check_what_stayed("full", files_before, registry_before)
    check(xdesk.wait_until(lambda: not exists(ROOT)), "full: the root is gone after the script")


def test_launcher_only_removal(reference):
    if not lay_profile():
        check(False, "launcher-only: the shortcuts were made")
        return
    seed_registry()
    files_before, registry_before = files(), registry()
    game = whole.start_game_holding(HELD)
    _, run, notice = whole.choose("launcher-only references", whole.PRIMARY_Y, None)
    if not run:
        return
    check_what_stayed("launcher-only", files_before, registry_before, held=HELD)
    if notice:
        check(whole.notice_matches(notice, reference),
              "launcher-only: a shortcut that stayed makes the notice " + whole.PARTIAL_LAUNCHER_ONLY_TEXT)
        _, nx, ny = notice
        xdesk.click_at(*xdesk.button_centre(nx, ny, whole.NOTICE_BUTTON_Y))
    check(whole.release_game(game), "launcher-only: the program holding a shortcut let go")
    check(run.finish() == 0, "launcher-only: exit code 0")
    # The script takes the uninstaller and the updater a moment later; the next test's root must
    # not meet it.
    check(xdesk.wait_until(lambda: not exists(ROOT + "\\Uninstall.exe") and not exists(ROOT + "\\Update.exe")),
          "launcher-only: the script removed Uninstall.exe and Update.exe")


def run_seeded(test, *args):
    existing = registry()
    try:
        whole.run_test(test, *args)
    finally:
        unseed_registry(existing)


def main():
    os.makedirs(whole.READY, exist_ok=True)
    run_seeded(test_full_removal)
    run_seeded(test_launcher_only_removal, whole.reference_notice(whole.PARTIAL_LAUNCHER_ONLY_TEXT))
    print(f"{len(whole.failures)} failed" if whole.failures else "all checks passed")
    return 1 if whole.failures else 0


if __name__ == "__main__":
    sys.exit(main())
