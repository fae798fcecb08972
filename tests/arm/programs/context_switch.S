@ Two tasks on the process stack, switched by PendSV as an RTOS does: the
@ handler saves r4-r11 below the hardware frame of one task and restores
@ the other's. Each task traces its counter, r8 and its stack pointer, then
@ asks for a switch. Task A ends the run after three rounds.
    .include "machine.inc"
    vector_table

    .equ STACK_A, 0x20030000
    .equ STACK_B, 0x20031000

    .text
    .thumb_func
    .global reset
reset:
    poke SHPR3, 0x00c00000          @ PendSV lowest

    @ Task B's first frame: eight saved registers, then what exception
    @ entry would have stacked, returning to task_b in Thumb state.
    ldr r0, =(STACK_B - 64)
    ldr r1, =saved_sp
    str r0, [r1, #4]
    ldr r2, =task_b
    subs r2, #1
    str r2, [r0, #(32 + 24)]
    ldr r2, =0x01000000
    str r2, [r0, #(32 + 28)]

    ldr r0, =STACK_A
    msr psp, r0
    movs r0, #2
    msr control, r0
    isb
    b task_a

    .thumb_func
task_a:
    ldr r4, =0xa0
    ldr r5, =0xaaaa
    mov r8, r5
1:  adds r4, #1
    cmp r4, #0xa4
    beq 2f
    trace r4
    mov r5, r8
    trace r5
    mov r5, sp
    trace r5
    poke ICSR, PENDSVSET
    b 1b
2:  exit 0

    .thumb_func
task_b:
    ldr r4, =0xb0
    ldr r5, =0xbbbb
    mov r8, r5
1:  adds r4, #1
    trace r4
    mov r5, r8
    trace r5
    mov r5, sp
    trace r5
    poke ICSR, PENDSVSET
    b 1b

    .thumb_func
pendsv_handler:
    mrs r0, psp
    subs r0, #32
    stmia r0!, {r4-r7}
    mov r4, r8
    mov r5, r9
    mov r6, r10
    mov r7, r11
    stmia r0!, {r4-r7}
    subs r0, #32
    ldr r1, =current
    ldr r2, [r1]
    ldr r3, =saved_sp
    lsls r2, r2, #2
    str r0, [r3, r2]
    movs r0, #4
    eors r2, r0
    ldr r0, [r3, r2]
    lsrs r2, r2, #2
    str r2, [r1]
    adds r0, #16
    ldmia r0!, {r4-r7}
    mov r8, r4
    mov r9, r5
    mov r10, r6
    mov r11, r7
    msr psp, r0
    subs r0, #32
    ldmia r0!, {r4-r7}
    bx lr

    .ltorg
    .bss
current:
    .word 0
saved_sp:
    .word 0, 0
