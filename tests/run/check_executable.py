#!/usr/bin/python3
"""Checks what Uninstall.exe carries: resources, imported DLLs, a reproducible header, its size
budget and no default terminate handler, read straight from the PE file.

Usage: check_executable.py Uninstall.exe
"""
import struct
import sys

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
FORBIDDEN_DLL_PARTS = ("libstdc++", "libgcc", "libwinpthread")
# Size budget of the download, in bytes; the build is deterministic, so is its size. The search
# for the player's worlds and their trip to the Recycle Bin, the input rules of the windows,
# notices that fit and one removal at a time took it past 220,000; the fallbacks that fail closed
# (the bin's, the root's evidence, the script's spellings, the way back made), links by their tag,
# notices by reason and a second run that meets the first past 256,000: all of it the program's own code.
MAX_SIZE = 288_000
# Written by libstdc++'s default terminate handler, which links its demangler and a printf; ours
# ends the process without a word.
DEFAULT_TERMINATE_TEXT = b"terminate called after throwing"
EXPECTED_STRINGS = {
    "FileVersion": "0.3.0",
    "ProductVersion": "0.3.0",
    "InternalName": "Uninstall",
    "OriginalFilename": "Uninstall.exe",
}
NAMED_STRINGS = ("CompanyName", "FileDescription", "ProductName")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        sections = struct.unpack_from("<H", data, pe + 6)[0]
        self.time_stamp = struct.unpack_from("<I", data, pe + 8)[0]
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise ValueError("not a PE32+ image")
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + 112
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, virtual_size, rva, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((rva, max(virtual_size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("RVA %#x lies in no section" % rva)

    def c_string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imported_dlls(self):
        rva, _ = self.directories[1]
        names = []
        while True:
            entry = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if entry[3] == 0:
                return names
            names.append(self.c_string(entry[3]))
            rva += 20

    def resources(self):
        """{type: {name: data}} of the first language of each resource."""
        base_rva, _ = self.directories[2]
        if base_rva == 0:
            return {}
        base = self.offset(base_rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield key, target

        out = {}
        for type_id, type_dir in entries(base):
            for name_id, name_dir in entries(base + (type_dir & 0x7FFFFFFF)):
                _, leaf = next(entries(base + (name_dir & 0x7FFFFFFF)))
                data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                at = self.offset(data_rva)
                out.setdefault(type_id, {})[name_id] = self.data[at:at + size]
        return out


def version_nodes(data, at=0):
    """Walks a VS_VERSIONINFO tree: yields (path, key, value bytes, value type)."""
    def walk(at, path):
        length, value_length, value_type = struct.unpack_from("<HHH", data, at)
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if value_type == 1 else value_length
        yield path, key, data[value_at:value_at + value_bytes], value_type
        child = (value_at + value_bytes + 3) & ~3
        while child < at + length:
            child_length = struct.unpack_from("<H", data, child)[0]
            if child_length == 0:
                break
            yield from walk(child, path + (key,))
            child = (child + child_length + 3) & ~3
    yield from walk(at, ())


def check_icons(resources):
    groups = resources.get(RT_GROUP_ICON, {})
    check(list(groups) == [1], "icon groups %s, expected only group 1" % sorted(groups))
    if 1 not in groups:
        return
    group = groups[1]
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    check(kind == 1 and count == 4, "icon group holds %d images (type %d), expected 4" % (count, kind))
    sizes = []
    for i in range(count):
        width, height, _, _, _, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        sizes.append(width)
        image = resources.get(RT_ICON, {}).get(icon_id, b"")
        check(width == height, "icon %d is not square" % icon_id)
        check(bits == 32, "icon %d has %d bits per pixel" % (icon_id, bits))
        check(len(image) == size, "icon %d: %d bytes stored, group says %d" % (icon_id, len(image), size))
        check(image.startswith(PNG_SIGNATURE), "icon %d is not PNG data" % icon_id)
        if image.startswith(PNG_SIGNATURE):
            png_width, png_height, depth, colour = struct.unpack_from(">IIBB", image, 16)
            check((png_width, png_height) == (width, width), "icon %d: PNG is %dx%d" % (icon_id, png_width, png_height))
            check((depth, colour) == (8, 6), "icon %d: PNG is not 8-bit RGBA" % icon_id)
    check(sizes == [16, 32, 48, 64], "icon sizes %s" % sizes)


def check_version(resources):
    versions = resources.get(RT_VERSION, {})
    check(list(versions) == [1], "version resources %s" % sorted(versions))
    if 1 not in versions:
        return
    strings = {}
    translation = None
    fixed = None
    for path, key, value, _ in version_nodes(versions[1]):
        if path == ():
            fixed = value
        elif path == ("VS_VERSION_INFO", "StringFileInfo", "040904b0"):
            strings[key] = value.decode("utf-16-le").rstrip("\0")
        elif key == "Translation":
            translation = value
    check(fixed is not None and struct.unpack_from("<I", fixed, 0)[0] == 0xFEEF04BD, "no fixed file info")
    if fixed:
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
        check((file_ms, file_ls) == (3, 0), "file version %#x.%#x" % (file_ms, file_ls))
        check((product_ms, product_ls) == (3, 0), "product version %#x.%#x" % (product_ms, product_ls))
    check(translation == struct.pack("<HH", 0x409, 1200), "translation %r" % translation)
    for key, expected in EXPECTED_STRINGS.items():
        check(strings.get(key) == expected, "%s is %r" % (key, strings.get(key)))
    for key in NAMED_STRINGS:
        check("KoraVane" in strings.get(key, ""), "%s is %r" % (key, strings.get(key)))


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    pe = PeFile(data)
    print("size: %d bytes (budget %d)" % (len(data), MAX_SIZE))
    check(len(data) <= MAX_SIZE, "%d bytes, over the budget of %d" % (len(data), MAX_SIZE))
    check(DEFAULT_TERMINATE_TEXT not in data, "carries libstdc++'s default terminate handler")
    check(pe.subsystem == 2, "subsystem %d, expected a windowed program (2)" % pe.subsystem)
    # A link time in the header would make every build differ from the last.
    check(pe.time_stamp == 0, "PE header time stamp %#x, expected 0" % pe.time_stamp)
    dlls = pe.imported_dlls()
    print("imports:", ", ".join(dlls))
    for dll in dlls:
        check(not any(part in dll.lower() for part in FORBIDDEN_DLL_PARTS), "imports %s" % dll)
    resources = pe.resources()
    check(RT_MANIFEST not in resources, "carries a manifest resource")
    check_icons(resources)
    check_version(resources)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
