// Compiler and platform helpers of the SDK, for the simulated chip: code
// meant for RAM is ordinary code here, and the core number, polling loops
// and panics go to the chip model.
#ifndef _PICO_PLATFORM_H
#define _PICO_PLATFORM_H

#include "pico/types.h"
#include "hardware/platform_defs.h"

#ifdef __cplusplus
extern "C" {
#endif

#define __isr
#define __not_in_flash(group)
#define __not_in_flash_func(func_name) func_name
#define __time_critical_func(func_name) func_name
#define __no_inline_not_in_flash_func(func_name) __noinline func_name
#define __in_flash(group)

#ifndef __noinline
#define __noinline __attribute__((__noinline__))
#endif
#ifndef __unused
#define __unused __attribute__((__unused__))
#endif
#ifndef __used
#define __used __attribute__((__used__))
#endif
#ifndef __force_inline
#define __force_inline inline __attribute__((__always_inline__))
#endif
#ifndef __packed
#define __packed __attribute__((__packed__))
#endif
#ifndef __aligned
#define __aligned(x) __attribute__((__aligned__(x)))
#endif
#ifndef __packed_aligned
#define __packed_aligned __packed __aligned(4)
#endif

#ifndef count_of
#define count_of(a) (sizeof(a) / sizeof((a)[0]))
#endif

#ifndef MAX
#define MAX(a, b) ((a) > (b) ? (a) : (b))
#endif
#ifndef MIN
#define MIN(a, b) ((b) > (a) ? (a) : (b))
#endif

// The body of a polling loop: a turn for everything else on the chip.
void tight_loop_contents(void);

// The core executing the caller: 0 or 1.
uint get_core_num(void);

// Busy-waits at least that many cycles of the 125 MHz system clock.
void busy_wait_at_least_cycles(uint32_t minimum_cycles);

// Prints the message and stops the calling core for good (interrupts off).
void __attribute__((noreturn)) panic(const char* fmt, ...);
void __attribute__((noreturn)) panic_unsupported(void);

static inline void __compiler_memory_barrier(void) {
    __asm__ volatile("" : : : "memory");
}

#ifdef __cplusplus
}
#endif

#endif
