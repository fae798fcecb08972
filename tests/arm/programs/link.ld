/* Test programs run from the test machine's RAM, vector table first. */
MEMORY
{
    RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 256K
}

SECTIONS
{
    .text : {
        KEEP(*(.vectors))
        *(.text*)
        *(.rodata*)
        . = ALIGN(4);
    } > RAM
    .data : {
        *(.data*)
        . = ALIGN(4);
    } > RAM
    .bss (NOLOAD) : {
        *(.bss*)
        *(COMMON)
    } > RAM
    __stack_top = ORIGIN(RAM) + LENGTH(RAM);
}
