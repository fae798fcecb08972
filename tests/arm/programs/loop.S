@ A tight loop for timing: r0 counts down from the select word; each pass
@ is an add, a load, a store, a subtract and a taken branch.
    .include "machine.inc"
    vector_table

    .text
    .thumb_func
    .global reset
reset:
    ldr r0, =DEVICE
    ldr r0, [r0, #DEV_SELECT]
    ldr r1, =0x20010000
    movs r2, #0
    trace_const 0x1000
1:  adds r2, r2, r0
    ldr r3, [r1]
    str r2, [r1]
    subs r0, #1
    bne 1b
    trace r2
    exit 0

    .ltorg
