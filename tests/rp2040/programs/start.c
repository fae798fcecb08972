/* Start-up of the test programs: the vector table, .data and .bss, main. */
#include "chip.h"

extern uint32_t __stack_top, __data_load, __data_start, __data_end, __bss_start, __bss_end;
int main(void);
void reset_handler(void);

static void unexpected(void) {
    __asm volatile("bkpt #1");
}

void isr_systick(void) __attribute__((weak, alias("unexpected")));
void isr_timer0(void) __attribute__((weak, alias("unexpected")));
void isr_sio_proc0(void) __attribute__((weak, alias("unexpected")));
void isr_sio_proc1(void) __attribute__((weak, alias("unexpected")));

__attribute__((section(".boot2"), used)) const uint8_t boot2_placeholder[4] = {0, 0, 0, 0};

__attribute__((section(".vectors"), used)) const void* const vectors[48] = {
    [0] = &__stack_top,
    [1] = (void*)reset_handler,
    [2] = (void*)unexpected,
    [3] = (void*)unexpected,
    [11] = (void*)unexpected,
    [14] = (void*)unexpected,
    [15] = (void*)isr_systick,
    [16 + IRQ_TIMER0] = (void*)isr_timer0,
    [16 + IRQ_SIO_PROC0] = (void*)isr_sio_proc0,
    [16 + IRQ_SIO_PROC1] = (void*)isr_sio_proc1,
};

void reset_handler(void) {
    uint32_t* src = &__data_load;
    for (uint32_t* dst = &__data_start; dst < &__data_end;)
        *dst++ = *src++;
    for (uint32_t* p = &__bss_start; p < &__bss_end;)
        *p++ = 0;
    main();
    finish();
}

uint32_t core1_stack[512];

void fifo_drain(void) {
    while (SIO_FIFO_ST & FIFO_VLD)
        (void)SIO_FIFO_RD;
}

void fifo_push(uint32_t word) {
    while (!(SIO_FIFO_ST & FIFO_RDY))
        ;
    SIO_FIFO_WR = word;
    sev();
}

uint32_t fifo_pop(void) {
    while (!(SIO_FIFO_ST & FIFO_VLD))
        wfe();
    return SIO_FIFO_RD;
}

void launch_core1(void (*entry)(void), uint32_t* stack_top) {
    const uint32_t words[] = {0, 0, 1, (uint32_t)vectors, (uint32_t)stack_top, (uint32_t)entry};
    unsigned seq = 0;
    do {
        const uint32_t word = words[seq];
        if (word == 0) {
            fifo_drain();
            sev();
        }
        fifo_push(word);
        seq = fifo_pop() == word ? seq + 1 : 0;
    } while (seq < sizeof words / sizeof words[0]);
}
