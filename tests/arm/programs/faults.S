@ One fault per run, chosen by the test through the device's select word.
@ Before the faulting instruction each case traces its address.
    .include "machine.inc"
    vector_table

    .macro mark_fault
    adr r5, 9f
    trace r5
    .align 2
9:
    .endm

    .text
    .thumb_func
    .global reset
reset:
    ldr r0, =DEVICE
    ldr r0, [r0, #DEV_SELECT]
    lsls r0, r0, #2
    ldr r1, =cases
    ldr r1, [r1, r0]
    bx r1

    .align 2
cases:
    .word unmapped_load, unaligned_load, undefined, breakpoint
    .word svc_masked, bad_return, execute_never, native_call
    .word undefined_wide, missing_vector, ppb_byte, ppb_unprivileged
    .word arm_state, rom_store, nmi_lockup, unaligned_store

    .thumb_func
unmapped_load:
    ldr r1, =0x5fff0000
    mark_fault
    ldr r0, [r1]

    .thumb_func
unaligned_load:
    ldr r1, =0x20001001
    mark_fault
    ldr r0, [r1]

    .thumb_func
undefined:
    mark_fault
    .short 0xb6ff

    .thumb_func
breakpoint:
    mark_fault
    bkpt #18

    .thumb_func
svc_masked:
    cpsid i
    mark_fault
    svc #7

    .thumb_func
bad_return:
    poke ICSR, PENDSVSET
    b .

    .thumb_func
pendsv_handler:
    ldr r0, =0xfffffff5
    mark_fault
    bx r0

    .thumb_func
execute_never:
    ldr r0, =0x40000001
    bx r0

@ The native routine at 0x100 adds r1 to r0; a UDF anywhere else is undefined.
    .thumb_func
native_call:
    movs r0, #5
    movs r1, #7
    ldr r2, =0x101
    blx r2
    trace r0
    mark_fault
    udf #0x42

    .thumb_func
undefined_wide:
    mark_fault
    .short 0xf7f0, 0xa000             @ udf.w #0

    .thumb_func
missing_vector:
    poke NVIC_ISER, (1 << 7)
    poke NVIC_ISPR, (1 << 7)
    b .

    .thumb_func
ppb_byte:
    ldr r1, =NVIC_IPR0
    movs r0, #0x40
    mark_fault
    strb r0, [r1]

    .thumb_func
ppb_unprivileged:
    movs r0, #1
    msr control, r0
    isb
    ldr r1, =0xe000ed00
    mark_fault
    ldr r0, [r1]

    .thumb_func
arm_state:
    ldr r0, =arm_target
    subs r0, #1
    mark_fault
    bx r0
    .thumb_func
arm_target:
    b .

    .thumb_func
rom_store:
    movs r1, #0x10
    mark_fault
    str r0, [r1]

    .thumb_func
nmi_lockup:
    poke ICSR, (1 << 31)
    b .

    .thumb_func
nmi_handler:
    ldr r1, =0x5fff0000
    mark_fault
    ldr r0, [r1]

    .thumb_func
unaligned_store:
    ldr r1, =0x20001002
    mark_fault
    str r0, [r1]

    .ltorg
