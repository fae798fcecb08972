// hardware_sync: interrupt masking and the SIO spin locks. A spin lock is
// named by the address of its register; the addresses here only stand for
// the lock numbers.
#include "sdk/runtime.h"

#include <string>

using namespace sim;
using namespace sim::sdk;

namespace {

spin_lock_t g_lockRegisters[NUM_SPIN_LOCKS];

unsigned lockNumber(HostChip& c, spin_lock_t* lock) {
    if (lock < g_lockRegisters || lock >= g_lockRegisters + NUM_SPIN_LOCKS)
        c.failWith("not a spin lock");
    return static_cast<unsigned>(lock - g_lockRegisters);
}

void checkLockNum(HostChip& c, uint n) {
    if (n >= NUM_SPIN_LOCKS)
        c.failWith("spin lock " + std::to_string(n) + " does not exist");
}

} // namespace

extern "C" {

void __sev(void) {
    done(chip());
}

// Waits for an event or an interrupt: a turn for everything else, as an
// event can only come from elsewhere.
void __wfe(void) {
    chip().poll();
}
void __wfi(void) {
    chip().poll();
}

// One host thread runs the whole chip: memory is always coherent.
void __dmb(void) {}
void __dsb(void) {}
void __isb(void) {}
void __mem_fence_acquire(void) {}
void __mem_fence_release(void) {}

uint32_t save_and_disable_interrupts(void) {
    HostChip& c = chip();
    c.perturbationPoint();
    std::uint32_t saved = c.saveAndDisableInterrupts();
    done(c);
    return saved;
}

void restore_interrupts(uint32_t status) {
    HostChip& c = chip();
    c.restoreInterrupts(status);
    done(c);
}

spin_lock_t* spin_lock_instance(uint lock_num) {
    checkLockNum(chip(), lock_num);
    return &g_lockRegisters[lock_num];
}

uint spin_lock_get_num(spin_lock_t* lock) {
    return lockNumber(chip(), lock);
}

void spin_lock_unsafe_blocking(spin_lock_t* lock) {
    HostChip& c = chip();
    c.spinLockAcquire(lockNumber(c, lock));
    done(c);
}

void spin_unlock_unsafe(spin_lock_t* lock) {
    HostChip& c = chip();
    c.spinLockRelease(lockNumber(c, lock));
    done(c);
}

uint32_t spin_lock_blocking(spin_lock_t* lock) {
    HostChip& c = chip();
    const unsigned n = lockNumber(c, lock);
    c.perturbationPoint();
    std::uint32_t saved = c.saveAndDisableInterrupts();
    c.spinLockAcquire(n);
    done(c);
    return saved;
}

bool is_spin_locked(spin_lock_t* lock) {
    HostChip& c = chip();
    bool locked = c.spinLock(lockNumber(c, lock)).locked;
    done(c);
    return locked;
}

void spin_unlock(spin_lock_t* lock, uint32_t saved_irq) {
    HostChip& c = chip();
    c.spinLockRelease(lockNumber(c, lock));
    c.restoreInterrupts(saved_irq);
    done(c);
}

spin_lock_t* spin_lock_init(uint lock_num) {
    HostChip& c = chip();
    checkLockNum(c, lock_num);
    c.spinLockRelease(lock_num);
    done(c);
    return &g_lockRegisters[lock_num];
}

void spin_locks_reset(void) {
    HostChip& c = chip();
    for (unsigned n = 0; n < NUM_SPIN_LOCKS; ++n)
        c.spinLockRelease(n);
    done(c);
}

uint next_striped_spin_lock_num(void) {
    Runtime& rt = runtime();
    const uint n = rt.nextStripedSpinLock;
    rt.nextStripedSpinLock =
        n >= PICO_SPINLOCK_ID_STRIPED_LAST ? PICO_SPINLOCK_ID_STRIPED_FIRST : n + 1;
    return n;
}

void spin_lock_claim(uint lock_num) {
    HostChip& c = chip();
    checkLockNum(c, lock_num);
    std::uint32_t& claimed = c.sdkRuntime().spinLocksClaimed;
    if ((claimed >> lock_num) & 1u)
        c.failWith("spin lock " + std::to_string(lock_num) + " is already claimed");
    claimed |= 1u << lock_num;
    done(c);
}

void spin_lock_claim_mask(uint32_t lock_num_mask) {
    for (uint n = 0; n < NUM_SPIN_LOCKS; ++n) {
        if ((lock_num_mask >> n) & 1u)
            spin_lock_claim(n);
    }
}

void spin_lock_unclaim(uint lock_num) {
    HostChip& c = chip();
    checkLockNum(c, lock_num);
    c.spinLockRelease(lock_num);
    c.sdkRuntime().spinLocksClaimed &= ~(1u << lock_num);
    done(c);
}

int spin_lock_claim_unused(bool required) {
    HostChip& c = chip();
    std::uint32_t& claimed = c.sdkRuntime().spinLocksClaimed;
    for (uint n = PICO_SPINLOCK_ID_CLAIM_FREE_FIRST; n <= PICO_SPINLOCK_ID_CLAIM_FREE_LAST; ++n) {
        if (!((claimed >> n) & 1u)) {
            claimed |= 1u << n;
            done(c);
            return static_cast<int>(n);
        }
    }
    if (required)
        c.failWith("no spin locks are available");
    done(c);
    return -1;
}

bool spin_lock_is_claimed(uint lock_num) {
    HostChip& c = chip();
    checkLockNum(c, lock_num);
    return (c.sdkRuntime().spinLocksClaimed >> lock_num) & 1u;
}

} // extern "C"
