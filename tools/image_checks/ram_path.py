"""The I2C interrupt path: the host link's interrupt entry, the SDK's slave
layer, the handler it calls and every function they can reach must run from
RAM (or the bootrom), never from flash."""


def check(graph, facts):
    """(lines, faults) for the report."""
    program = graph.program
    if facts.I2C_HANDLER not in program.by_name:
        return ["no I2C handler: this image has no host link"], []
    roots = [program.by_name[r] for r in facts.I2C_ROOTS if r in program.by_name]
    functions, faults = graph.reachable(roots)
    in_flash = [f for f in functions if graph.placement(f) not in ("RAM", "ROM")]
    lines = [f"{len(functions)} functions reachable from the I2C interrupt, "
             f"{len(in_flash)} outside RAM and ROM"]
    for fn in functions:
        where = graph.placement(fn)
        addr = "" if where == "ROM" else f" 0x{fn.addr:08x}"
        lines.append(f"{where:5}{addr:11} {graph.display(fn)}")
    faults = [f"I2C interrupt path: {f}" for f in faults]
    faults += [f"I2C interrupt path: {graph.display(f)} runs from "
               f"{graph.placement(f)} (0x{f.addr:08x}), not from RAM" for f in in_flash]
    return lines, faults
