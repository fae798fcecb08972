// pico_sync critical sections: a claimed spin lock, taken with interrupts
// masked on the taking core.
#include "sdk/runtime.h"

#include "pico/critical_section.h"

using namespace sim;
using namespace sim::sdk;

extern "C" {

void critical_section_init(critical_section_t* crit_sec) {
    critical_section_init_with_lock_num(crit_sec, static_cast<uint>(spin_lock_claim_unused(true)));
}

void critical_section_init_with_lock_num(critical_section_t* crit_sec, uint lock_num) {
    crit_sec->spin_lock = spin_lock_instance(lock_num);
    crit_sec->save = 0;
    done(chip());
}

void critical_section_enter_blocking(critical_section_t* crit_sec) {
    HostChip& c = chip();
    if (!crit_sec->spin_lock)
        c.failWith("critical section entered before critical_section_init");
    crit_sec->save = spin_lock_blocking(crit_sec->spin_lock);
}

void critical_section_exit(critical_section_t* crit_sec) {
    spin_unlock(crit_sec->spin_lock, crit_sec->save);
}

void critical_section_deinit(critical_section_t* crit_sec) {
    spin_lock_unclaim(spin_lock_get_num(crit_sec->spin_lock));
    crit_sec->spin_lock = nullptr;
}

} // extern "C"
