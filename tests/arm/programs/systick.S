@ SysTick with a reload of 999: an interrupt every 1000 cycles while the
@ core sleeps in WFI, then COUNTFLAG: set by a wrap, cleared by a read and
@ by a write of the current value.
    .include "machine.inc"
    vector_table

    .text
    .thumb_func
    .global reset
reset:
    poke SYST_RVR, 999
    poke SYST_CVR, 0
    trace_const 0x5000
    poke SYST_CSR, 7
    ldr r4, =ticks
1:  wfi
    ldr r0, [r4]
    cmp r0, #3
    bne 1b

    ldr r4, =SYST_CSR
    ldr r0, [r4]
    trace r0
    ldr r0, [r4]
    trace r0
    poke SYST_CSR, 5
2:  ldr r0, [r4]
    lsrs r0, r0, #17
    bcc 2b
    ldr r0, [r4]
    trace r0
    ldr r1, =SYST_CVR
    str r1, [r1]
    ldr r0, [r1]
    trace r0
    exit 0

    .thumb_func
systick_handler:
    trace_const 0x5001
    ldr r0, =ticks
    ldr r1, [r0]
    adds r1, #1
    str r1, [r0]
    bx lr

    .ltorg
    .bss
ticks:
    .word 0
