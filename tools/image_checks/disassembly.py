"""The functions of a linked image and the calls between them, from the ELF
symbols and the disassembly of arm-none-eabi-objdump (Thumb, Cortex-M0+)."""

import bisect
import re
import subprocess

from elf_file import SHF_EXECINSTR

_INSN = re.compile(r"^\s*([0-9a-f]+):\t(\S+)(?:\t(.*))?$")
_TARGET = re.compile(r"^([0-9a-f]+)(?:\s+<.*>)?$")
_BRANCH = re.compile(r"^b(eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?(\.n|\.w)?$")
_LITERAL = re.compile(r"\[pc, #\d+\]\s+@ \(([0-9a-f]+)")
_REGS = re.compile(r"\{([^}]*)\}")
_IMM = re.compile(r"#(\d+)")

FLASH = (0x10000000, 0x14000000)  # XIP and its cache and allocation aliases
ROM = (0x00000000, 0x00004000)
RAM = (0x20000000, 0x20042000)  # the striped main banks and the two scratch banks


def region(addr):
    if FLASH[0] <= addr < FLASH[1]:
        return "flash"
    if ROM[0] <= addr < ROM[1]:
        return "ROM"
    if RAM[0] <= addr < RAM[1]:
        return "RAM"
    return "elsewhere"


class Function:
    def __init__(self, addr, end, names):
        self.addr = addr
        self.end = end
        self.names = names
        self.readable = names[0]  # demangled
        self.insns = []  # (addr, mnemonic, operands)

    @property
    def name(self):
        return self.names[0]


class Edge:
    """A control transfer out of a function: kind "call" (bl), "tail" (a branch
    into another function, or running off its end into the next) or "indirect"
    (blx/bx/mov pc through a register, or a pop into pc of an address stored on
    the stack). tables: the data symbols an indirect target was loaded from,
    when the code shows them."""

    def __init__(self, kind, at, target=None, register=None, tables=(), entry=True):
        self.kind = kind
        self.at = at
        self.target = target
        self.entry = entry  # the transfer goes to the target's first instruction
        self.register = register
        self.tables = tables


class Program:
    def __init__(self, elf, objdump, cxxfilt):
        self.elf = elf
        code = [s for s in elf.sections if s.flags & SHF_EXECINSTR and s.size]
        syms = [s for s in elf.functions() if any(sec.contains(s.value) for sec in code)]
        by_addr = {}
        for s in syms:
            by_addr.setdefault(s.value, []).append(s)
        starts = sorted(by_addr)
        self.functions = {}
        for i, addr in enumerate(starts):
            group = by_addr[addr]
            # Global names first, and the C name before its ABI alias, so aliases
            # report under the name callers use.
            group.sort(key=lambda s: (s.bind != 1, "aeabi" in s.name, s.name))
            size = max(s.size for s in group)
            sec = next(sec for sec in code if sec.contains(addr))
            end = addr + size if size else min(
                starts[i + 1] if i + 1 < len(starts) else sec.addr + sec.size,
                sec.addr + sec.size)
            self.functions[addr] = Function(addr, end, [s.name for s in group])
        self._starts = sorted(self.functions)
        self._read_code(objdump)
        self._name(cxxfilt)

    def _name(self, cxxfilt):
        """Functions by symbol name, by demangled name, and by demangled name
        without its parameter list where that is unique."""
        fns = list(self.functions.values())
        mangled = [n for fn in fns for n in fn.names]
        out = subprocess.run([cxxfilt], input="\n".join(mangled), check=True,
                             capture_output=True, text=True).stdout.splitlines()
        readable = dict(zip(mangled, out))
        self.by_name, short = {}, {}
        for fn in fns:
            fn.readable = readable.get(fn.name, fn.name)
            for n in fn.names:
                self.by_name.setdefault(n, fn)
                full = readable.get(n, n).replace("(anonymous namespace)::", "")
                self.by_name.setdefault(full, fn)
                short.setdefault(full.split("(")[0], set()).add(fn.addr)
        for name, addrs in short.items():
            if len(addrs) == 1 and name not in self.by_name:
                self.by_name[name] = self.functions[next(iter(addrs))]

    def _read_code(self, objdump):
        out = subprocess.run([objdump, "-d", "--no-show-raw-insn", self.elf.path],
                             check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            m = _INSN.match(line)
            if not m:
                continue
            addr = int(m.group(1), 16)
            fn = self.containing(addr)
            if fn is not None:
                fn.insns.append((addr, m.group(2), m.group(3) or ""))

    def containing(self, addr):
        i = bisect.bisect_right(self._starts, addr) - 1
        if i >= 0:
            fn = self.functions[self._starts[i]]
            if addr < fn.end:
                return fn
        return None

    def edges(self, fn):
        edges = []
        for i, (addr, op, args) in enumerate(fn.insns):
            if op == "bl" or _BRANCH.match(op):
                # Thumb-1 code also uses bl as a far jump inside a function.
                target = self._branch_target(args)
                if target is not None and fn.addr < target < fn.end:
                    continue
                if op != "bl" and target == fn.addr:
                    continue  # a loop back to the top
                callee = self.containing(target) if target is not None else None
                edges.append(Edge("call" if op == "bl" else "tail", addr, callee,
                                  entry=callee is not None and callee.addr == target))
            elif op == "blx":
                edges.append(self._indirect(fn, i, args.strip()))
            elif op == "bx" and args.strip() != "lr" and not self._is_return(fn, i):
                edges.append(self._indirect(fn, i, args.strip()))
            elif op == "pop" and "pc" in args and self._stacked_jump(fn, i):
                edges.append(self._indirect(fn, i, "pc"))
            elif op == "mov" and operands(args).startswith("pc,"):
                if not self._internal_jump_table(fn, i):
                    edges.append(self._indirect(fn, i, operands(args)[3:]))
        follower = self._falls_through(fn)
        if follower is not None:
            edges.append(Edge("tail", fn.end, follower))
        return edges

    def _internal_jump_table(self, fn, i):
        """mov pc, rN of a switch: rN loaded from a table of addresses inside
        the function, found through the literal the code loads the table
        from."""
        for _, op, args in reversed(fn.insns[max(0, i - 4):i]):
            m = _LITERAL.search(args) if op == "ldr" else None
            if m:
                table = self.elf.u32(int(m.group(1), 16))
                entries = [self.elf.u32(table + 4 * k) & ~1 for k in range(2)]
                return all(fn.addr <= e < fn.end for e in entries[:1])
        return False

    def _falls_through(self, fn):
        """The function that code running off the end of fn enters, if its
        last instruction neither jumps nor returns (hand-written routines that
        continue in the next one)."""
        code = [ins for ins in fn.insns if not ins[1].startswith(".") and ins[1] != "nop"]
        if not code:
            return None
        _, op, args = code[-1]
        a = operands(args)
        if op in ("b", "b.n", "b.w", "bx", "bl", "udf", "bkpt") or \
                (op == "pop" and "pc" in a) or (op == "mov" and a.startswith("pc,")):
            return None
        nxt = self.functions.get(fn.end)
        return nxt

    def _indirect(self, fn, i, register):
        """An indirect transfer, with the data symbols its target was loaded
        from when the preceding code loads it as table[offset] from a literal
        address."""
        tables = ()
        for _, op, args in reversed(fn.insns[max(0, i - 6):i]):
            m = _LITERAL.search(args) if op == "ldr" else None
            if m:
                tables = self._data_symbols(self.elf.u32(int(m.group(1), 16)))
                break
        return Edge("indirect", fn.insns[i][0], register=register, tables=tables)

    def _data_symbols(self, addr):
        return tuple(s.name for s in self.elf.symbols
                     if s.value == addr and s.type in (0, 1) and not s.name.startswith("$"))

    @staticmethod
    def _stacked_jump(fn, i):
        """pop {.., pc} right after storing into the very slot pc is popped
        from: the SDK's shims jump to a table entry that way."""
        regs = _REGS.search(fn.insns[i][2]).group(1).replace(" ", "").split(",")
        slot = 4 * (count_regs(",".join(r for r in regs if r != "pc")))
        for _, op, args in reversed(fn.insns[max(0, i - 3):i]):
            a = operands(args)
            if op == "str" and a.endswith(f"[sp,#{slot}]") or (slot == 0 and a.endswith("[sp]")):
                return True
            if "sp" in a and op in ("add", "sub", "push", "pop", "mov"):
                return False
        return False

    @staticmethod
    def _branch_target(args):
        m = _TARGET.match(args.strip())
        return int(m.group(1), 16) if m else None

    @staticmethod
    def _is_return(fn, i):
        """bx rN returns when rN holds the popped return address."""
        reg = fn.insns[i][2].strip()
        for _, op, args in reversed(fn.insns[max(0, i - 3):i]):
            if op == "pop" and reg in _REGS.search(args).group(1).replace(" ", "").split(","):
                return True
            if op == "mov" and args.replace(" ", "") == f"{reg},lr":
                return True
        return False

    def veneer_target(self, fn):
        """The function a linker veneer jumps to (the literal it loads)."""
        for _, op, args in fn.insns:
            m = _LITERAL.search(args) if op == "ldr" else None
            if m:
                return self.containing(self.elf.u32(int(m.group(1), 16)) & ~1)
        return None

    def frame_from_code(self, fn):
        """(bytes, sure) for code without a compiler stack-usage record: every
        push and stack-pointer decrement in the body added up, which bounds the
        frame from above. Not sure when the stack pointer is set from a
        register."""
        total, sure = 0, True
        for _, op, args in fn.insns:
            a = operands(args)
            if op == "push":
                total += 4 * count_regs(_REGS.search(args).group(1))
            elif op == "sub" and (a.startswith("sp,#") or a.startswith("sp,sp,#")):
                total += int(_IMM.search(a).group(1))
            elif op == "add" and re.match(r"^sp,(sp,)?#-", a):
                total += int(a.split("#-")[1])
            elif op in ("mov", "add", "sub") and a.startswith("sp,") and "#" not in a:
                sure = False
            elif op == "msr" and "sp" in a.lower():
                sure = False
        return total, sure


def operands(args):
    """The operands of an instruction without objdump's comment, no spaces."""
    return args.split("@")[0].replace(" ", "").strip()


def count_regs(text):
    count = 0
    for part in text.replace(" ", "").split(","):
        if "-" in part:
            lo, hi = part.split("-")
            count += int(hi[1:]) - int(lo[1:]) + 1
        elif part:
            count += 1
    return count
