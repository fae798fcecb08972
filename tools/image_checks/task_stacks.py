"""Worst-case stack per task: the deepest call chain from the task's body,
each function with the compiler's own frame size, plus what a preemption at
that depth puts on the same stack. And the board object, which lives in
MainTask's frame."""

import re
import struct

from disassembly import count_regs, operands

# A Cortex-M0+ exception stacks 8 words on the interrupted task's stack, plus
# one word of padding when that stack is not 8-byte aligned. The handler
# itself then runs on the core's main stack.
EXCEPTION_FRAME_BYTES = 8 * 4 + 4


def saved_context_bytes(program):
    """Bytes the RP2040 port's PendSV handler stores below the exception frame
    when it switches a task out, read from its code: the lowest offset it
    writes below the task's stack pointer."""
    fn = program.by_name.get("xPortPendSVHandler")
    if fn is None:
        return None
    offset, lowest, reg = None, 0, None
    for _, op, args in fn.insns:
        a = operands(args)
        if op == "mrs" and a.endswith(",PSP"):
            reg, offset = a.split(",")[0], 0
        elif reg is None:
            continue
        elif op == "subs" and a.startswith(f"{reg},#"):
            offset -= int(a.split("#")[1])
        elif op == "stmia" and a.startswith(f"{reg}!,"):
            count = count_regs(re.search(r"\{(.*)\}", a).group(1))
            lowest = min(lowest, offset)
            offset += 4 * count
        elif op in ("bl", "blx"):
            break
    return -lowest if reg is not None else None


def board_object_size(obj):
    """sizeof(BoardTask) as compiled into the measuring object."""
    sym = obj.symbol("imageCheckBoardTaskSize")
    if sym is None:
        return None
    return struct.unpack("<I", obj.read((obj.sections[sym.shndx], sym.value), 4))[0]


def _chain(graph, path):
    names = [graph.display(f).split("(")[0] for f in path]
    note = " (the SDK's panic path)" if "panic" in names else ""
    if len(names) > 5:
        names = names[:3] + ["..."] + names[-2:]
    return " > ".join(names) + note


def _frame_sources(image, graph, facts):
    """Where the frame sizes of every function the tasks reach come from."""
    program = graph.program
    counts = {}
    for task in facts.tasks_of(image):
        roots = [program.by_name[r] for r in task.roots if r in program.by_name]
        functions, _ = graph.reachable(roots, graph.resolve(task.via))
        for fn in functions:
            counts[id(fn)] = graph.frame(fn).source
    n = list(counts.values())
    return (f"frames of the {len(n)} functions the tasks reach: {n.count('compiler')} from the "
            f"compiler's .su files, {n.count('code')} read from the code (assembly, newlib, "
            f"libgcc), {n.count('veneer')} linker veneers, bootrom routines allowed "
            f"{facts.ROM_FRAME_BYTES} bytes")


def check(image, graph, facts, board_size):
    """(lines, faults, {task: bytes}) for the report."""
    program = graph.program
    lines, faults, used = [], [], {}
    context = saved_context_bytes(program)
    if context is None:
        return [], ["stack: the port's context switch (xPortPendSVHandler) was not found"], {}
    preemption = EXCEPTION_FRAME_BYTES + context
    lines.append(f"deepest call chain + {preemption} bytes for a preemption there "
                 f"({EXCEPTION_FRAME_BYTES} exception frame, {context} saved by the port)")
    for task in facts.tasks_of(image):
        overrides = graph.resolve(task.via)
        budget = task.words * 4
        worst, worst_path = 0, []
        for root_name in task.roots:
            root = program.by_name.get(root_name)
            if root is None:
                faults.append(f"stack: {task.name}: its body {root_name} is not in the image")
                continue
            size, path, bad = graph.deepest(root, overrides, facts.NOT_IN_TASKS)
            faults += [f"stack: {task.name}: {b}" for b in bad]
            if size > worst:
                worst, worst_path = size, path
        total = worst + preemption
        used[task.name] = total
        left = (budget - total) / budget
        lines.append(f"{task.name:11} {total:5} of {budget:5} bytes, {left:4.0%} left   "
                     f"{_chain(graph, worst_path)}")
        if left < facts.MARGIN:
            faults.append(f"stack: {task.name} needs {total} of its {budget} bytes, "
                          f"leaving {left:.0%} (less than {facts.MARGIN:.0%})")

    lines.append(_frame_sources(image, graph, facts))

    if board_size is None:
        faults.append("stack: the size of the board object was not measured")
        return lines, faults, used
    main = program.by_name.get("mainTask")
    frame = graph.frame(main).size if main else 0
    budget = 256 * 4
    share = board_size / budget
    lines.append(f"board object: {board_size} bytes ({share:.0%} of MainTask's stack), "
                 f"inside mainTask's frame of {frame} bytes, counted in MainTask above")
    if frame < board_size:
        faults.append(f"stack: mainTask's frame ({frame} bytes) cannot hold the board object "
                      f"({board_size} bytes); the measurement is wrong")
    if board_size > (1 - facts.MARGIN) * budget:
        faults.append(f"stack: the board object ({board_size} bytes) leaves MainTask less than "
                      f"{facts.MARGIN:.0%} of its stack")
    return lines, faults, used
