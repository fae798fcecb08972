"""Flash and RAM of an image, next to the bare image: the same SDK, kernel
and RTOS configuration with a scheduler that has nothing to run."""

FLASH_BASE = 0x10000000
RAM_BASE = 0x20000000


class Size:
    def __init__(self, flash, static_ram, stack_words):
        self.flash = flash  # bytes stored in flash, boot stage 2 included
        self.static_ram = static_ram  # vector table, .data and .bss
        self.stacks = stack_words * 4  # task stacks, taken from the heap at start-up


def measure(elf, stack_words):
    end = elf.symbol("__flash_binary_end")
    bss_end = elf.symbol("__bss_end__")
    if end is None or bss_end is None:
        return None
    return Size(end.value - FLASH_BASE, bss_end.value - RAM_BASE, stack_words)


def check(image_elf, bare_elf, image_words, bare_words):
    """(lines, faults) for the report."""
    image = measure(image_elf, image_words)
    bare = measure(bare_elf, bare_words)
    if image is None or bare is None:
        return [], ["size: the link symbols __flash_binary_end and __bss_end__ are missing"]
    lines = [f"{'':12}{'image':>9}{'bare':>9}{'image - bare':>14}"]
    for label, a, b in (("flash", image.flash, bare.flash),
                        ("static RAM", image.static_ram, bare.static_ram),
                        ("task stacks", image.stacks, bare.stacks)):
        lines.append(f"{label:12}{a:9,}{b:9,}{a - b:+14,}")
    lines.append("(static RAM: vector table, .data, .bss; task stacks come from the heap, "
                 "which starts after them)")
    return lines, []
