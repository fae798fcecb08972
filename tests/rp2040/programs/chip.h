/* Registers of the RP2040 the test programs use, and small helpers. */
#pragma once
#include <stdint.h>

#define REG(a) (*(volatile uint32_t*)(a))

/* SIO */
#define SIO_BASE 0xd0000000u
#define SIO_CPUID REG(SIO_BASE + 0x00)
#define SIO_GPIO_IN REG(SIO_BASE + 0x04)
#define SIO_GPIO_OUT_SET REG(SIO_BASE + 0x14)
#define SIO_GPIO_OUT_CLR REG(SIO_BASE + 0x18)
#define SIO_GPIO_OE_SET REG(SIO_BASE + 0x24)
#define SIO_FIFO_ST REG(SIO_BASE + 0x50)
#define SIO_FIFO_WR REG(SIO_BASE + 0x54)
#define SIO_FIFO_RD REG(SIO_BASE + 0x58)
#define SIO_SPINLOCK_ST REG(SIO_BASE + 0x5c)
#define SIO_DIV_UDIVIDEND REG(SIO_BASE + 0x60)
#define SIO_DIV_UDIVISOR REG(SIO_BASE + 0x64)
#define SIO_DIV_SDIVIDEND REG(SIO_BASE + 0x68)
#define SIO_DIV_SDIVISOR REG(SIO_BASE + 0x6c)
#define SIO_DIV_QUOTIENT REG(SIO_BASE + 0x70)
#define SIO_DIV_REMAINDER REG(SIO_BASE + 0x74)
#define SIO_DIV_CSR REG(SIO_BASE + 0x78)
#define SIO_SPINLOCK(n) REG(SIO_BASE + 0x100 + 4 * (n))
#define FIFO_VLD 1u
#define FIFO_RDY 2u
#define FIFO_WOF 4u
#define FIFO_ROE 8u

/* IO bank 0: function select of a pin */
#define IO_GPIO_CTRL(pin) REG(0x40014000u + 8 * (pin) + 4)
#define FUNC_SIO 5u

/* Watchdog */
#define WATCHDOG_CTRL REG(0x40058000u)
#define WATCHDOG_SCRATCH(n) REG(0x4005800cu + 4 * (n))
#define WATCHDOG_TRIGGER (1u << 31)

/* Timer */
#define TIMER_BASE 0x40054000u
#define TIMER_ALARM(n) REG(TIMER_BASE + 0x10 + 4 * (n))
#define TIMER_ARMED_OFFSET 0x20u
#define TIMER_TIMERAWL REG(TIMER_BASE + 0x28)
#define TIMER_INTR_OFFSET 0x34u
#define TIMER_INTE REG(TIMER_BASE + 0x38)

/* The atomic aliases of a register block. */
#define ALIAS_XOR 0x1000u
#define ALIAS_SET 0x2000u
#define ALIAS_CLR 0x3000u

/* UART0 */
#define UART0_BASE 0x40034000u
#define UART_IMSC_OFFSET 0x38u

/* The core's own peripherals */
#define SYST_CSR REG(0xe000e010u)
#define SYST_RVR REG(0xe000e014u)
#define SYST_CVR REG(0xe000e018u)
#define NVIC_ISER REG(0xe000e100u)
#define NVIC_ICPR REG(0xe000e280u)
#define SCB_VTOR REG(0xe000ed08u)
#define SCB_AIRCR REG(0xe000ed0cu)

#define IRQ_TIMER0 0
#define IRQ_SIO_PROC0 15
#define IRQ_SIO_PROC1 16

static inline void wfi(void) {
    __asm volatile("wfi");
}
static inline void wfe(void) {
    __asm volatile("wfe");
}
static inline void sev(void) {
    __asm volatile("sev");
}
static inline void irq_off(void) {
    __asm volatile("cpsid i" ::: "memory");
}
static inline void irq_on(void) {
    __asm volatile("cpsie i" ::: "memory");
}

/* Sleeps for good: the test reads the results from memory. */
static inline void __attribute__((noreturn)) finish(void) {
    for (;;)
        wfi();
}

/* The FIFO towards the other core, and the core-1 launch as the SDK does it. */
void fifo_drain(void);
void fifo_push(uint32_t word);
uint32_t fifo_pop(void);
void launch_core1(void (*entry)(void), uint32_t* stack_top);
extern uint32_t core1_stack[512];
#define CORE1_STACK_TOP (&core1_stack[512])
