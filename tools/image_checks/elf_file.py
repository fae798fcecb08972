"""A small reader for 32-bit little-endian ELF files: sections, symbols and
the bytes at an address. Enough for the RP2040 images and for relocatable
objects; no third-party packages."""

import struct

SHT_SYMTAB = 2
SHT_NOBITS = 8
SHF_ALLOC = 0x2
SHF_EXECINSTR = 0x4
STT_OBJECT = 1
STT_FUNC = 2


class ElfError(Exception):
    pass


class Section:
    def __init__(self, name, type_, flags, addr, offset, size, link):
        self.name = name
        self.type = type_
        self.flags = flags
        self.addr = addr
        self.offset = offset
        self.size = size
        self.link = link

    def contains(self, addr):
        return self.addr <= addr < self.addr + self.size


class Symbol:
    def __init__(self, name, value, size, type_, bind, shndx):
        self.name = name
        self.value = value
        self.size = size
        self.type = type_
        self.bind = bind
        self.shndx = shndx


class ElfFile:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self._data = f.read()
        if self._data[:4] != b"\x7fELF":
            raise ElfError(f"{path} is not an ELF file")
        if self._data[4] != 1 or self._data[5] != 1:
            raise ElfError(f"{path} is not a 32-bit little-endian ELF file")
        (self.type, self.machine, _, self.entry, phoff, shoff, _, _, phentsize, phnum,
         shentsize, shnum, shstrndx) = struct.unpack_from("<HHIIIIIHHHHHH", self._data, 16)
        # Loadable segments by physical (load) address: what a programmer
        # writes to flash.
        self.loads = []
        for i in range(phnum):
            p_type, p_offset, _, p_paddr, p_filesz = struct.unpack_from(
                "<IIIII", self._data, phoff + i * phentsize)
            if p_type == 1 and p_filesz:
                self.loads.append((p_paddr, self._data[p_offset:p_offset + p_filesz]))
        raw = [struct.unpack_from("<IIIIIIIIII", self._data, shoff + i * shentsize)
               for i in range(shnum)]
        names = raw[shstrndx]
        self.sections = [Section(self._string(names[4], r[0]), r[1], r[2], r[3], r[4], r[5],
                                 r[6]) for r in raw]
        self.symbols = self._read_symbols()

    def _string(self, table_offset, index):
        start = table_offset + index
        return self._data[start:self._data.index(b"\0", start)].decode("utf-8", "replace")

    def _read_symbols(self):
        symbols = []
        for sec in self.sections:
            if sec.type != SHT_SYMTAB:
                continue
            strtab = self.sections[sec.link]
            for off in range(sec.offset + 16, sec.offset + sec.size, 16):
                name, value, size, info, _, shndx = struct.unpack_from("<IIIBBH", self._data, off)
                symbols.append(Symbol(self._string(strtab.offset, name), value, size, info & 0xF,
                                      info >> 4, shndx))
        return symbols

    def section(self, name):
        for sec in self.sections:
            if sec.name == name:
                return sec
        return None

    def symbol(self, name):
        for sym in self.symbols:
            if sym.name == name:
                return sym
        return None

    def functions(self):
        """Function symbols with their Thumb bit cleared."""
        return [Symbol(s.name, s.value & ~1, s.size, s.type, s.bind, s.shndx)
                for s in self.symbols if s.type == STT_FUNC and s.shndx != 0]

    def read(self, addr, size):
        """The bytes at a run-time address of a linked image (or an offset in a
        section of an object when addr is given as (section, offset))."""
        if isinstance(addr, tuple):
            sec, off = addr
            return self._data[sec.offset + off:sec.offset + off + size]
        for sec in self.sections:
            if (sec.flags & SHF_ALLOC and sec.type != SHT_NOBITS and sec.size
                    and sec.contains(addr) and addr + size <= sec.addr + sec.size):
                start = sec.offset + addr - sec.addr
                return self._data[start:start + size]
        raise ElfError(f"{self.path}: no initialised bytes at 0x{addr:08x}")

    def read_loaded(self, addr, size):
        """The bytes the image stores at a load address (flash for an XIP
        image), as a programmer writes them."""
        for start, data in self.loads:
            if start <= addr and addr + size <= start + len(data):
                return data[addr - start:addr - start + size]
        raise ElfError(f"{self.path}: nothing loaded at 0x{addr:08x}")

    def u32(self, addr):
        return struct.unpack("<I", self.read(addr, 4))[0]

    def cstring(self, addr, limit=256):
        out = bytearray()
        while len(out) < limit:
            b = self.read(addr + len(out), 1)[0]
            if b == 0:
                return out.decode("utf-8", "replace")
            out.append(b)
        raise ElfError(f"{self.path}: string at 0x{addr:08x} has no end")
