// Interrupt masking and the 32 hardware spin locks of the SIO block.
#ifndef _HARDWARE_SYNC_H
#define _HARDWARE_SYNC_H

#include "pico.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef volatile uint32_t spin_lock_t;

// Spin lock numbers the SDK reserves for its own use.
#define PICO_SPINLOCK_ID_IRQ 9
#define PICO_SPINLOCK_ID_TIMER 10
#define PICO_SPINLOCK_ID_HARDWARE_CLAIM 11
#define PICO_SPINLOCK_ID_RAND 12
#define PICO_SPINLOCK_ID_OS1 14
#define PICO_SPINLOCK_ID_OS2 15
#define PICO_SPINLOCK_ID_STRIPED_FIRST 16
#define PICO_SPINLOCK_ID_STRIPED_LAST 23
#define PICO_SPINLOCK_ID_CLAIM_FREE_FIRST 24
#define PICO_SPINLOCK_ID_CLAIM_FREE_LAST 31

void __sev(void);
void __wfe(void);
void __wfi(void);
void __dmb(void);
void __dsb(void);
void __isb(void);
void __mem_fence_acquire(void);
void __mem_fence_release(void);

// PRIMASK of the calling core.
uint32_t save_and_disable_interrupts(void);
void restore_interrupts(uint32_t status);

spin_lock_t* spin_lock_instance(uint lock_num);
uint spin_lock_get_num(spin_lock_t* lock);
void spin_lock_unsafe_blocking(spin_lock_t* lock);
void spin_unlock_unsafe(spin_lock_t* lock);
// Masks interrupts on the calling core, then takes the lock.
uint32_t spin_lock_blocking(spin_lock_t* lock);
bool is_spin_locked(spin_lock_t* lock);
void spin_unlock(spin_lock_t* lock, uint32_t saved_irq);
spin_lock_t* spin_lock_init(uint lock_num);
void spin_locks_reset(void);
uint next_striped_spin_lock_num(void);
void spin_lock_claim(uint lock_num);
void spin_lock_claim_mask(uint32_t lock_num_mask);
void spin_lock_unclaim(uint lock_num);
int spin_lock_claim_unused(bool required);
bool spin_lock_is_claimed(uint lock_num);

#ifdef __cplusplus
}
#endif

#endif
