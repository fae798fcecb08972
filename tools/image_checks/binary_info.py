"""Reads the binary-information entries back from what an image stores in
flash, the way a flashing tool finds them, and compares them with the set the
images must carry: these seven and nothing else."""

import re
import struct

from elf_file import ElfError

FLASH_BASE = 0x10000000
BOOT2_SIZE = 0x100
MARKER_START = 0x7188EBF2
MARKER_END = 0xE71AA390

TYPE_NAMES = {1: "raw data", 2: "sized data", 3: "list", 4: "BSON", 5: "id and int",
              6: "id and string", 7: "block device", 8: "pins with function",
              9: "pins with names", 10: "named group"}
TYPE_ID_AND_INT = 5
TYPE_ID_AND_STRING = 6
TAG_RP = ord("R") | ord("P") << 8

ID_NAMES = {
    0x02031C86: "program name",
    0x11A9BC3A: "program version",
    0x9DA22254: "program build date",
    0x68F465DE: "binary end",
    0x1856239A: "program URL",
    0xB6A07C19: "program description",
    0xA1F4B453: "program feature",
    0x4275F0D3: "build type",
    0x5360B3AB: "SDK version",
    0xB63CFFBB: "board",
    0x7F8882E1: "boot stage 2",
}

# The compiler's __DATE__: "Jul  5 2023".
BUILD_DATE = re.compile(r"^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\d \d{4}$")


class Flash:
    """The flash contents of an image, with the start-up copy table that maps
    run-time RAM addresses back to where their bytes are stored."""

    def __init__(self, elf, mapping_table):
        self.elf = elf
        self.ranges = []
        addr = mapping_table
        while True:
            source = self.u32(addr)
            if source == 0:
                break
            self.ranges.append((source, self.u32(addr + 4), self.u32(addr + 8)))
            addr += 12

    def stored(self, addr):
        for source, start, end in getattr(self, "ranges", []):
            if start <= addr < end:
                return source + addr - start
        return addr

    def u32(self, addr):
        return struct.unpack("<I", self.elf.read_loaded(self.stored(addr), 4))[0]

    def cstring(self, addr, limit=256):
        out = bytearray()
        while len(out) < limit:
            b = self.elf.read_loaded(self.stored(addr + len(out)), 1)[0]
            if b == 0:
                return out.decode("utf-8", "replace")
            out.append(b)
        raise ElfError(f"string at 0x{addr:08x} has no end")


def find_header(elf):
    """The header lies in the first 256 bytes after boot stage 2."""
    area = elf.read_loaded(FLASH_BASE + BOOT2_SIZE, 256)
    for off in range(0, 256 - 20 + 1, 4):
        start, bi_start, bi_end, mapping, end = struct.unpack_from("<IIIII", area, off)
        if start == MARKER_START and end == MARKER_END:
            return bi_start, bi_end, mapping
    return None


def read_entries(elf):
    """[(tag, id, kind, value)] in the order stored; value is a str or int, or
    a description for entry types the images must not carry."""
    header = find_header(elf)
    if header is None:
        raise ElfError("no binary-information header in the first 256 bytes after boot stage 2")
    bi_start, bi_end, mapping = header
    flash = Flash(elf, mapping)
    entries = []
    for slot in range(bi_start, bi_end, 4):
        entry = flash.u32(slot)
        type_, tag = struct.unpack("<HH", elf.read_loaded(flash.stored(entry), 4))
        if type_ == TYPE_ID_AND_STRING:
            id_ = flash.u32(entry + 4)
            entries.append((tag, id_, "string", flash.cstring(flash.u32(entry + 8))))
        elif type_ == TYPE_ID_AND_INT:
            id_ = flash.u32(entry + 4)
            entries.append((tag, id_, "int", flash.u32(entry + 8)))
        else:
            entries.append((tag, None, TYPE_NAMES.get(type_, f"type {type_}"), None))
    return entries


def check(image, elf):
    """(lines, faults) for the report."""
    lines, faults = [], []
    try:
        entries = read_entries(elf)
    except ElfError as e:
        return [], [f"binary information: {e}"]

    # The binary end is where the bytes stored in flash end.
    flash_end = max((start + len(data) for start, data in elf.loads
                     if FLASH_BASE <= start < FLASH_BASE + 0x1000000), default=None)
    expected = {
        0x02031C86: lambda v: v == image,
        0x9DA22254: lambda v: bool(BUILD_DATE.match(v)),
        0x5360B3AB: lambda v: v == "1.5.1",
        0xB63CFFBB: lambda v: v == "pico",
        0x7F8882E1: lambda v: v == "boot2_w25q080",
        0x4275F0D3: lambda v: v == "Release",
        0x68F465DE: lambda v: v == flash_end,
    }
    seen, shown_by_id, extra = {}, {}, []
    for tag, id_, kind, value in entries:
        name = ID_NAMES.get(id_, f"id 0x{id_:08x}" if id_ is not None else kind)
        shown = f"0x{value:08x}" if kind == "int" else f'"{value}"' if kind == "string" else kind
        if tag != TAG_RP or id_ not in expected:
            extra.append(f"{name}: {shown}")
            faults.append(f"binary information carries an entry it must not: {name} ({shown})")
            continue
        if id_ in seen:
            faults.append(f"binary information carries {name} twice")
        seen[id_] = value
        shown_by_id[id_] = shown
        if not expected[id_](value):
            faults.append(f"binary information {name} is {shown}, not what the image must carry")
    for id_ in expected:
        if id_ in shown_by_id:
            lines.append(f"{ID_NAMES[id_]}: {shown_by_id[id_]}")
        else:
            faults.append(f"binary information lacks the {ID_NAMES[id_]}")
    lines += extra
    return lines, faults
