"""Reads the linker's .map file: which object file each placed input section
came from, so a function can be traced back to its object (and that object's
stack-usage file), and which output section holds it."""

import bisect
import re

_ENTRY = re.compile(r"^ (\S+)(?:\s+(0x[0-9a-f]+)\s+(0x[0-9a-f]+)\s+(.+))?$")
_CONTINUATION = re.compile(r"^\s+(0x[0-9a-f]+)\s+(0x[0-9a-f]+)\s+(.+)$")
_OUTPUT = re.compile(r"^(\.\S+)(?:\s+(0x[0-9a-f]+)\s+(0x[0-9a-f]+))?")


class InputSection:
    def __init__(self, name, start, size, origin, output):
        self.name = name
        self.start = start
        self.size = size
        self.origin = origin  # object file, or "archive(member)"
        self.output = output


class LinkMap:
    def __init__(self, path):
        self.sections = []
        self.outputs = {}
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        try:
            lines = lines[lines.index("Linker script and memory map") + 1:]
        except ValueError:
            raise ValueError(f"{path} has no memory map")
        output = None
        pending = None
        for line in lines:
            out = _OUTPUT.match(line)
            if out:
                output = out.group(1)
                if out.group(2):
                    self.outputs[output] = (int(out.group(2), 16), int(out.group(3), 16))
                pending = None
                continue
            if pending is not None:
                cont = _CONTINUATION.match(line)
                if cont:
                    self._add(pending, cont.group(1), cont.group(2), cont.group(3), output)
                pending = None
                continue
            entry = _ENTRY.match(line)
            if not entry or entry.group(1).startswith("*") or line.startswith("  "):
                continue
            if entry.group(2) is None:
                pending = entry.group(1)
            else:
                self._add(entry.group(1), entry.group(2), entry.group(3), entry.group(4), output)
        self.sections.sort(key=lambda s: s.start)
        self._starts = [s.start for s in self.sections]

    def _add(self, name, start, size, origin, output):
        start, size = int(start, 16), int(size, 16)
        if size and start and output and not output.startswith(".debug"):
            self.sections.append(InputSection(name, start, size, origin.strip(), output))

    def at(self, addr):
        """The input section holding addr, or None."""
        i = bisect.bisect_right(self._starts, addr) - 1
        if i >= 0 and addr < self.sections[i].start + self.sections[i].size:
            return self.sections[i]
        return None
