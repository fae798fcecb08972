"""Walks the call graph of an image: the direct calls of the disassembly, the
indirect ones through the resolutions given for them, each function with its
stack frame."""

from disassembly import region

ROM = "ROM"  # a jump into the bootrom through one of its function tables


class Frame:
    def __init__(self, size, source, sure=True):
        self.size = size
        self.source = source  # "compiler", "code", "veneer", "ROM allowance"
        self.sure = sure


class Resolution:
    """Where one function's indirect calls go: the targets for the first
    entered-from function found on the call chain (innermost first), else all
    of them."""

    def __init__(self, cases, may_be_empty):
        self.cases = cases  # [(entered-from function or None, [targets])]
        self.may_be_empty = may_be_empty

    def targets(self, chain):
        for fn in reversed(chain):
            for origin, targets in self.cases:
                if origin is fn:
                    return targets
        seen, out = set(), []
        for _, targets in self.cases:
            for t in targets:
                if id(t) not in seen:
                    seen.add(id(t))
                    out.append(t)
        return out


class CallGraph:
    def __init__(self, program, link_map, stack_usage, facts):
        self.program = program
        self.link_map = link_map
        self.stack_usage = stack_usage
        self.facts = facts
        self.indirect = self.resolve(facts.INDIRECT_CALLS)
        # [(addresses of a group, calls one chain may hold)]
        self.limits = []
        for names, k in facts.RECURSION_LIMITS.items():
            group = {self.program.by_name[n].addr for n in names if n in self.program.by_name}
            if group:
                self.limits.append((group, k))

    def resolve(self, table):
        """{caller address: Resolution} for the callers of table that this
        image contains, with the targets it contains."""
        by_name = self.program.by_name
        out = {}
        for caller, entry in table.items():
            fn = by_name.get(caller)
            if fn is None:
                continue
            cases = entry if isinstance(entry, list) and entry and isinstance(entry[0], tuple) \
                else [(None, entry)]
            resolved = []
            for origin, targets in cases:
                if origin is not None and origin not in by_name:
                    continue
                resolved.append((by_name[origin] if origin else None,
                                 [by_name[t] for t in targets if t in by_name]))
            out[fn.addr] = Resolution(resolved, caller in self.facts.MAY_HAVE_NO_TARGET)
        return out

    def display(self, fn):
        return "(bootrom routine)" if fn == ROM else fn.readable

    def placement(self, fn):
        return "ROM" if fn == ROM else region(fn.addr)

    def frame(self, fn):
        if fn == ROM:
            return Frame(self.facts.ROM_FRAME_BYTES, "ROM allowance")
        if self._is_veneer(fn):
            return Frame(self.program.frame_from_code(fn)[0], "veneer")
        sec = self.link_map.at(fn.addr)
        if sec is not None and self.stack_usage is not None:
            for name in fn.names:
                rec = self.stack_usage.record(sec.origin, name)
                if rec is not None:
                    return Frame(rec.size, "compiler", rec.kind in ("static", "dynamic,bounded"))
        size, sure = self.program.frame_from_code(fn)
        return Frame(size, "code", sure)

    @staticmethod
    def _is_veneer(fn):
        return fn.name.endswith("_veneer")

    def successors(self, fn, chain, overrides=None):
        """([(function or ROM, enters at its start)], [faults]) for fn reached
        through chain (outermost first, fn last)."""
        if fn == ROM:
            return [], []
        if self._is_veneer(fn):
            target = self.program.veneer_target(fn)
            if target is None:
                return [], [f"{fn.name}: the veneer's target is not a known function"]
            return [(target, True)], []
        out, faults = [], []
        resolution = (overrides or {}).get(fn.addr) or self.indirect.get(fn.addr)
        for edge in self.program.edges(fn):
            if edge.kind != "indirect":
                if edge.target is None:
                    faults.append(f"{fn.readable} branches to no known function at "
                                  f"0x{edge.at:08x}")
                else:
                    out.append((edge.target, edge.entry))
                continue
            if set(edge.tables) & self.facts.ROM_TABLES:
                out.append((ROM, True))
                continue
            targets = resolution.targets(chain) if resolution else None
            if targets is None:
                faults.append(f"{fn.readable} calls through {edge.register} at 0x{edge.at:08x}, "
                              "and where to is not known")
            elif not targets and not resolution.may_be_empty:
                faults.append(f"{fn.readable} calls through {edge.register} at 0x{edge.at:08x}, "
                              "and none of its targets is in the image")
            out.extend((t, True) for t in targets or [])
        seen, unique = set(), []
        for target, entry in out:
            if (id(target), entry) not in seen:
                seen.add((id(target), entry))
                unique.append((target, entry))
        return unique, faults

    def reachable(self, roots, overrides=None):
        """(every function reachable from roots, faults). Indirect calls take
        all their possible targets here."""
        order, seen, faults = [], set(), []
        stack = [(r, [r]) for r in roots]
        while stack:
            fn, chain = stack.pop()
            if id(fn) in seen:
                continue
            seen.add(id(fn))
            order.append(fn)
            succ, bad = self.successors(fn, [], overrides)
            faults += bad
            stack.extend((t, chain + [t]) for t, _ in succ)
        return order, sorted(set(faults))

    def deepest(self, root, overrides=None, excluded=()):
        """(bytes, [functions], faults): the deepest call chain from root, each
        function counted with its own frame. Recursion beyond the limits given
        for it is a fault: its depth cannot be bounded from the code."""
        faults = set()
        chain = []
        memo = {}
        by_name = self.program.by_name
        skip = {(by_name[a].addr, by_name[b].addr) for a, b in excluded
                if a in by_name and b in by_name}

        def in_group(group):
            return sum(1 for f in chain if f is not ROM and f.addr in group)

        def walk(fn):
            """(bytes, path, whether the result depends on the functions
            above fn on the chain, beyond what the memo key holds)."""
            limited = tuple(in_group(group) for group, _ in self.limits)
            context = tuple(id(f) for f in chain if self._selects(f))
            key = (id(fn), limited, context)
            if key in memo:
                return memo[key]
            chain.append(fn)
            frame = self.frame(fn)
            if not frame.sure:
                faults.add(f"{self.display(fn)}: frame size not bounded ({frame.source})")
            succ, bad = self.successors(fn, chain, overrides)
            faults.update(bad)
            best, best_path, dependent = 0, [], False
            for target, entry in succ:
                if target != ROM and fn != ROM and (fn.addr, target.addr) in skip:
                    continue
                if any(f is target for f in chain):
                    group = next(((g, k) for g, k in self.limits if target.addr in g), None)
                    if not entry or group is None:
                        dependent = True
                        if entry:
                            cycle = chain[chain.index(target):] + [target]
                            faults.add("recursion without a known bound: " +
                                       " -> ".join(self.display(f) for f in cycle))
                        # else: shared code of hand-written routines, not a call
                        continue
                    if in_group(group[0]) >= group[1]:
                        continue
                elif target != ROM:
                    group = next(((g, k) for g, k in self.limits if target.addr in g), None)
                    if group is not None and in_group(group[0]) >= group[1]:
                        continue
                size, path, below = walk(target)
                dependent = dependent or below
                if size > best:
                    best, best_path = size, path
            chain.pop()
            result = (frame.size + best, [fn] + best_path, dependent)
            if not dependent:
                memo[key] = result
            return result

        total, path, _ = walk(root)
        return total, path, sorted(faults)

    def _selects(self, fn):
        """Whether fn picks the targets of some indirect call further in."""
        for res in self.indirect.values():
            if any(origin is fn for origin, _ in res.cases):
                return True
        return False
