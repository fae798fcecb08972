"""The compiler's own stack usage per function: the .su file GCC writes beside
each object (-fstack-usage), keyed through the .ci file of the same object
(-fcallgraph-info=su), which names each function by its assembler name as
the image's symbols do."""

import os
import re

_NODE = re.compile(r'^node: \{ title: "([^"]*)" label: "([^"]*)"')


class Record:
    def __init__(self, size, kind):
        self.size = size
        self.kind = kind  # "static", "dynamic", "dynamic,bounded"


class StackUsage:
    def __init__(self, build_dir):
        self.build_dir = build_dir
        self._objects = {}

    def record(self, origin, symbol):
        """The record for symbol in the object origin (a path relative to the
        build directory, as the link map gives it), or None when the object has
        no stack-usage output (assembly, libraries built elsewhere)."""
        table = self._objects.get(origin)
        if table is None:
            table = self._objects[origin] = self._read(origin)
        return table.get(symbol)

    def _read(self, origin):
        base = os.path.join(self.build_dir, origin)
        if "(" in origin or not base.endswith(".obj"):
            return {}
        base = base[:-len(".obj")]
        try:
            with open(base + ".su", encoding="utf-8") as f:
                su = {}
                for line in f:
                    key, size, kind = line.rstrip("\n").rsplit("\t", 2)
                    su[key] = Record(int(size), kind)
            with open(base + ".ci", encoding="utf-8") as f:
                ci = f.read().splitlines()
        except FileNotFoundError:
            return {}
        table = {}
        for line in ci:
            m = _NODE.match(line)
            if not m:
                continue
            parts = m.group(2).split("\\n")
            if len(parts) != 3:
                continue  # a callee declared elsewhere
            decl, loc = parts[0], parts[1]
            rec = su.get(f"{loc}:{decl}")
            if rec is not None:
                table[m.group(1).rsplit(":", 1)[-1]] = rec
        return table
