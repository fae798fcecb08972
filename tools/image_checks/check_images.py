#!/usr/bin/env python3
"""Checks of the real RP2040 images that only the target build can show: the
binary information, the I2C interrupt path in RAM, the worst-case stack per
task and the size next to a bare image. Prints a short report per image and
exits non-zero when any check fails."""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import binary_info  # noqa: E402
import firmware_facts  # noqa: E402
import image_size  # noqa: E402
import ram_path  # noqa: E402
import task_stacks  # noqa: E402
from call_graph import CallGraph  # noqa: E402
from disassembly import Program  # noqa: E402
from elf_file import ElfError, ElfFile  # noqa: E402
from link_map import LinkMap  # noqa: E402
from stack_usage import StackUsage  # noqa: E402


def check_image(image, args, bare_elf):
    """Prints the report of one image; returns its faults."""
    elf_path = os.path.join(args.build_dir, f"{image}.elf")
    shown = os.path.relpath(elf_path)
    print(f"== {image}  ({elf_path if shown.startswith('..') else shown})")
    missing = [p for p in (elf_path, elf_path + ".map",
                           os.path.join(args.build_dir, f"{image}.uf2")) if not os.path.exists(p)]
    if missing:
        return [f"not built: {', '.join(missing)}"]
    elf = ElfFile(elf_path)
    program = Program(elf, args.objdump, args.cxxfilt)
    graph = CallGraph(program, LinkMap(elf_path + ".map"), StackUsage(args.build_dir),
                      firmware_facts)
    faults = []

    lines, bad = binary_info.check(image, elf)
    print("binary information:")
    for line in lines:
        print(f"  {line}")
    faults += bad

    lines, bad = ram_path.check(graph, firmware_facts)
    print("I2C interrupt path: " + lines[0])
    for line in lines[1:]:
        print(f"  {line}")
    faults += bad

    board_obj = args.board_size.get(image)
    board_size = task_stacks.board_object_size(ElfFile(board_obj)) if board_obj else None
    lines, bad, used = task_stacks.check(image, graph, firmware_facts, board_size)
    budgets = {t.name: t.words * 4 for t in firmware_facts.tasks_of(image)}
    args.stack_rows += [(image, name, total, budgets[name]) for name, total in used.items()]
    print("stack per task: " + (lines[0] if lines else ""))
    for line in lines[1:]:
        print(f"  {line}")
    faults += bad

    words = sum(t.words for t in firmware_facts.tasks_of(image))
    lines, bad = image_size.check(elf, bare_elf, words, args.bare_stack_words)
    print("size in bytes, next to the bare image (scheduler only):")
    for line in lines:
        print(f"  {line}")
    faults += bad
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--cxxfilt", required=True)
    parser.add_argument("--bare", required=True, help="the bare image's .elf")
    parser.add_argument("--board-size", action="append", default=[],
                        help="image=object holding sizeof(BoardTask)")
    parser.add_argument("--stack-file",
                        help="writes image, task, worst-case bytes and stack bytes per line "
                             "(tab-separated) for the measurements on the simulated chip")
    parser.add_argument("images", nargs="+")
    args = parser.parse_args()
    args.stack_rows = []
    args.board_size = dict(item.split("=", 1) for item in args.board_size)
    # The bare image runs the timer service task and the two idle tasks.
    args.bare_stack_words = sum(t.words for t in firmware_facts.ALL_TASKS
                                if t.name in ("Tmr Svc", "IDLE0", "IDLE1"))

    try:
        bare_elf = ElfFile(args.bare)
    except (OSError, ElfError) as e:
        print(f"The bare image is not readable: {e}")
        return 1
    failed = []
    for image in args.images:
        try:
            faults = check_image(image, args, bare_elf)
        except (OSError, ElfError, ValueError) as e:
            faults = [f"could not be read: {e}"]
        for fault in faults:
            print(f"FAULT {image}: {fault}")
        print(f"{image}: {'all checks pass' if not faults else f'{len(faults)} faults'}\n")
        if faults:
            failed.append(image)
    if args.stack_file:
        with open(args.stack_file, "w", encoding="utf-8") as out:
            for row in args.stack_rows:
                out.write("\t".join(str(v) for v in row) + "\n")
    if failed:
        print(f"Image checks failed for {', '.join(failed)}.")
        return 1
    print(f"Image checks passed for {', '.join(args.images)}.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
