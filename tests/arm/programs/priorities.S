@ Priorities and masking: a higher priority preempts, an equal one waits and
@ equal ones go by number; PRIMASK holds all but NMI back and the pending
@ ones are taken right after CPSIE; two pending at once tail-chain, against
@ a second one pended right after the first returns; a level line pends
@ again after each return while high.
    .include "machine.inc"
    vector_table

    .text
    .thumb_func
    .global reset
reset:
    poke NVIC_IPR0, 0xc0804080      @ irq0 0x80, irq1 0x40, irq2 0x80, irq3 0xc0
    poke (NVIC_IPR0 + 4), 0x40      @ irq4 0x40
    poke NVIC_ISER, 0x1f

    poke NVIC_ISPR, 0x1
    trace_const 0x1ff

    cpsid i
    poke NVIC_ISPR, 0xc
    poke ICSR, (1 << 31)
    trace_const 0x200
    cpsie i
    trace_const 0x201

    cpsid i
    poke NVIC_ISPR, 0xc
    trace_const 0x300
    cpsie i

    ldr r4, =NVIC_ISPR
    movs r5, #8
    trace_const 0x400
    poke NVIC_ISPR, 0x4
    str r5, [r4]
    trace_const 0x401

    ldr r4, =DEVICE
    movs r5, #4
    str r5, [r4, #DEV_IRQ_RAISE]
    trace_const 0x5ff
    exit 0

    .thumb_func
nmi_handler:
    trace_const 0x2ff
    bx lr

    .thumb_func
irq0_handler:
    trace_const 0x100
    poke NVIC_ISPR, 0x2
    trace_const 0x101
    poke NVIC_ISPR, 0x4
    trace_const 0x102
    bx lr

    .thumb_func
irq1_handler:
    trace_const 0x110
    bx lr

    .thumb_func
irq2_handler:
    trace_const 0x120
    bx lr

    .thumb_func
irq3_handler:
    trace_const 0x130
    bx lr

@ Counts its entries; lowers its line on the third.
    .thumb_func
irq4_handler:
    ldr r0, =entries
    ldr r1, [r0]
    adds r1, #1
    str r1, [r0]
    ldr r2, =0x500
    adds r2, r1
    trace r2
    cmp r1, #3
    bne 1f
    ldr r3, =DEVICE
    movs r2, #4
    str r2, [r3, #DEV_IRQ_LOWER]
1:  bx lr

    .ltorg
    .bss
entries:
    .word 0
