#!/usr/bin/env python3
"""Checks a built quorbell-setup.exe: PE32 or PE32+ GUI program, the
configuration block whole and findable exactly once in initialized data, the
progress dialog 1010, the single 32 x 32 16-colour icon 1020 and the manifest
asking for administrator rights, and the size goal.

usage: check_installer_image.py EXE (pe32|pe32+) [MAX_BYTES]"""
import struct
import sys

CONFIG_KEY = 0xB3
CONFIG_BYTES = 640
SIGNATURE = b"Quorbell package v1\0"
SIGNATURE_OFFSET = 40
RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_MANIFEST = 3, 5, 14, 24


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            fail("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            fail("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_ptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(), rva, vsize, raw_ptr, raw_size, flags))

    def section_of_offset(self, offset):
        for section in self.sections:
            if section[3] <= offset < section[3] + section[4]:
                return section
        return None

    def offset_of_rva(self, rva):
        for _, start, vsize, raw_ptr, raw_size, _ in self.sections:
            if start <= rva < start + max(vsize, raw_size):
                return raw_ptr + rva - start
        fail("rva %#x outside every section" % rva)

    def resources(self):
        """{(type, id): bytes} for every resource, first language."""
        base = self.offset_of_rva(self.resource_rva)
        found = {}

        def entries(offset):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)

        for type_id, type_dir in entries(0):
            for res_id, res_dir in entries(type_dir & 0x7FFFFFFF):
                _, leaf = next(entries(res_dir & 0x7FFFFFFF))
                rva, size = struct.unpack_from("<II", self.data, base + leaf)[:2]
                start = self.offset_of_rva(rva)
                found[(type_id, res_id)] = self.data[start:start + size]
        return found


def check_block(image):
    scrambled = bytes(b ^ CONFIG_KEY for b in SIGNATURE)
    hits = []
    start = image.data.find(scrambled)
    while start >= 0:
        hits.append(start)
        start = image.data.find(scrambled, start + 1)
    if len(hits) != 1:
        fail("configuration signature found %d times" % len(hits))
    block_start = hits[0] - SIGNATURE_OFFSET
    section = image.section_of_offset(block_start)
    if section is None or section[0] != ".data":
        fail("block not in .data but in %s" % (section and section[0]))
    if block_start + CONFIG_BYTES > section[3] + min(section[2], section[4]):
        fail("block not whole within .data's initialized bytes")
    block = bytes(b ^ CONFIG_KEY for b in image.data[block_start:block_start + CONFIG_BYTES])
    payload_offset, saver_size = struct.unpack_from("<iI", block, 4)
    if payload_offset != 0 or saver_size != 0 or block[64] != 0:
        fail("stub block does not unscramble to an empty package")


def check_dialog(template):
    style, _, controls, x, y, cx, cy = struct.unpack_from("<IIHhhhh", template, 0)
    if style != 0x800000C0 or controls != 3 or (x, y, cx, cy) != (0, 0, 140, 33):
        fail("dialog 1010 header: style %#x, %d controls, %s" % (style, controls, (x, y, cx, cy)))
    offset = 18
    if template[offset:offset + 6] != b"\0\0\0\0\0\0":
        fail("dialog 1010 has a menu, class or caption")
    offset += 6
    points = struct.unpack_from("<H", template, offset)[0]
    font = template[offset + 2:].decode("utf-16-le").split("\0")[0]
    if (points, font) != (8, "MS Sans Serif"):
        fail("dialog font %d %s" % (points, font))
    return True


def check_icon(resources):
    icons = [key for key in resources if key[0] == RT_GROUP_ICON]
    if icons != [(RT_GROUP_ICON, 1020)]:
        fail("icon groups %s, expected only 1020" % icons)
    group = resources[(RT_GROUP_ICON, 1020)]
    count = struct.unpack_from("<H", group, 4)[0]
    width, height, colours, _, _, bits = struct.unpack_from("<BBBBHH", group, 6)
    if count != 1 or (width, height) != (32, 32) or not (colours == 16 or bits == 4):
        fail("icon 1020: %d images, %dx%d, %d colours, %d bits" % (count, width, height, colours, bits))


def main():
    path, kind = sys.argv[1], sys.argv[2]
    limit = int(sys.argv[3]) if len(sys.argv) > 3 else None
    with open(path, "rb") as f:
        image = PeImage(f.read())
    expected_magic = 0x10B if kind == "pe32" else 0x20B
    if image.magic != expected_magic:
        fail("optional header magic %#x" % image.magic)
    if image.subsystem != 2:
        fail("subsystem %d, not Windows GUI" % image.subsystem)
    check_block(image)
    resources = image.resources()
    if (RT_DIALOG, 1010) not in resources:
        fail("no dialog 1010")
    check_dialog(resources[(RT_DIALOG, 1010)])
    check_icon(resources)
    manifest = resources.get((RT_MANIFEST, 1), b"")
    if b'level="requireAdministrator"' not in manifest:
        fail("manifest does not ask for administrator rights")
    size = len(image.data)
    if limit is not None and size > limit:
        fail("%d bytes, over the %d-byte goal" % (size, limit))
    print("%s: %s GUI, %d bytes, block, dialog 1010, icon 1020, manifest ok" % (path, kind, size))


if __name__ == "__main__":
    main()
