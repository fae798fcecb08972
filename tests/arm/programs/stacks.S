@ Exception entry and return on both stacks: SVC from Thread mode on MSP and
@ on PSP, each with the stack 8-byte aligned and off by four, from
@ unprivileged code, and a PendSV nested in an SVC handler. The handlers
@ trace what the core stacked; the thread traces what came back.
    .include "machine.inc"
    vector_table

@ One SVC from Thread mode: known r0 and r12, Z and C set.
    .macro svc_case n
    movs r0, #(\n * 0x10)
    movs r1, #0x11
    movs r4, #0x1c
    mov r12, r4
    cmp r0, r0
    svc #\n
    trace r0
    mov r6, r12
    trace r6
    mov r6, sp
    trace r6
    .endm

    .text
    .thumb_func
    .global reset
reset:
    svc_case 1
    sub sp, #4
    svc_case 2
    add sp, #4

    ldr r0, =0x20038000
    msr psp, r0
    movs r0, #2
    msr control, r0
    isb
    svc_case 3
    sub sp, #4
    svc_case 4
    add sp, #4

    @ Unprivileged: CPSID and MSR MSP are ignored, MRS MSP reads zero.
    movs r0, #3
    msr control, r0
    isb
    mrs r0, control
    trace r0
    cpsid i
    mrs r0, primask
    trace r0
    mrs r0, msp
    trace r0
    svc_case 5
    mrs r0, control
    trace r0

    @ PendSV above SVC: it preempts the SVC handler.
    poke SHPR2, 0x80000000
    poke SHPR3, 0x00400000
    svc_case 6
    exit 0

    .thumb_func
svc_handler:
    mov r0, lr
    trace r0
    movs r1, #4
    tst r0, r1
    beq 1f
    mrs r0, psp
    b 2f
1:  mrs r0, msp
2:  trace r0
    ldr r1, [r0, #24]
    subs r1, #2
    ldrh r2, [r1]
    trace r2
    ldr r1, [r0, #28]
    trace r1
    ldr r1, [r0, #0]
    trace r1
    ldr r1, [r0, #16]
    trace r1
    mrs r1, ipsr
    trace r1
    mrs r1, control
    trace r1
    @ The result goes back in the stacked r0: 0xa0 + the SVC number.
    uxtb r2, r2
    movs r1, #0xa0
    adds r1, r2
    str r1, [r0]
    cmp r2, #5
    bne 3f
    movs r1, #0
    msr control, r1
3:  cmp r2, #6
    bne 4f
    poke ICSR, PENDSVSET
    trace_const 0x5e5e
4:  movs r1, #0x99
    mov r12, r1
    bx lr

    .thumb_func
pendsv_handler:
    mov r0, lr
    trace r0
    mrs r0, ipsr
    trace r0
    mrs r0, msp
    trace r0
    bx lr

    .ltorg
