/* Test programs: a 256-byte placeholder where boot stage 2 would sit, the
   vector table at 0x10000100 as the boot ROM expects, code and constants in
   flash, data copied to SRAM by the start-up code. */
MEMORY {
    FLASH (rx) : ORIGIN = 0x10000000, LENGTH = 2048K
    RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 256K
    SCRATCH (rwx) : ORIGIN = 0x20040000, LENGTH = 8K
}
ENTRY(reset_handler)
SECTIONS {
    .boot2 : { KEEP(*(.boot2)) . = 256; } > FLASH
    .text : {
        KEEP(*(.vectors))
        *(.text*)
        *(.rodata*)
        . = ALIGN(4);
    } > FLASH
    .data : {
        __data_start = .;
        *(.data*)
        . = ALIGN(4);
        __data_end = .;
    } > RAM AT > FLASH
    __data_load = LOADADDR(.data);
    .bss (NOLOAD) : {
        __bss_start = .;
        *(.bss*)
        *(COMMON)
        . = ALIGN(4);
        __bss_end = .;
    } > RAM
    /* Kept through resets: the start-up code leaves it alone. */
    .noinit (NOLOAD) : { *(.noinit*) } > SCRATCH
    __stack_top = ORIGIN(RAM) + 264K;
}
