@ Two cores on one program. Core 1 waits in WFE until core 0's SEV; core 0's
@ own SEV leaves its event register set, so its next WFE falls through.
@ Then core 1 sleeps in WFI with PRIMASK set and wakes for an interrupt it
@ takes only after CPSIE; last it waits in WFE for a disabled interrupt that
@ becomes pending, an event under SEVONPEND.
    .include "machine.inc"
    vector_table

    .text
    .thumb_func
    .global reset
reset:
    ldr r0, =DEVICE
    ldr r1, [r0, #DEV_CORE_ID]
    cmp r1, #0
    beq core0

core1:
    ldr r0, =0x2003c000
    mov sp, r0
    ldr r4, =progress
    trace_const 0xc10
    wfe
    trace_const 0xc11

    cpsid i
    poke NVIC_ISER, (1 << 5)
    movs r0, #1
    str r0, [r4]
    wfi
    trace_const 0xc12
    cpsie i
    trace_const 0xc14

    poke SCR, 0x10
    wfe                             @ consumes the event of the exception return
    movs r0, #2
    str r0, [r4]
    wfe
    trace_const 0xc13
    movs r0, #3
    str r0, [r4]
1:  wfe
    b 1b

core0:
    movs r0, #100
1:  subs r0, #1
    bne 1b
    trace_const 0xc00
    sev
    wfe
    trace_const 0xc01

    ldr r4, =progress
2:  ldr r0, [r4]
    cmp r0, #1
    bne 2b
    ldr r5, =DEVICE
    ldr r0, =(5 | (1 << 8))
    str r0, [r5, #DEV_IRQ_RAISE]

3:  ldr r0, [r4]
    cmp r0, #2
    bne 3b
    ldr r0, =(6 | (1 << 8))
    str r0, [r5, #DEV_IRQ_RAISE]

4:  ldr r0, [r4]
    cmp r0, #3
    bne 4b
    exit 0

    .thumb_func
irq5_handler:
    trace_const 0xc15
    ldr r0, =DEVICE
    ldr r1, =(5 | (1 << 8))
    str r1, [r0, #DEV_IRQ_LOWER]
    bx lr

    .ltorg
    .bss
progress:
    .word 0
