// A critical section: a spin lock taken with interrupts masked on the taking
// core, so that it excludes the other core and this core's handlers.
#ifndef _PICO_CRITICAL_SECTION_H
#define _PICO_CRITICAL_SECTION_H

#include "hardware/sync.h"
#include "pico/time.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct critical_section {
    spin_lock_t* spin_lock;
    uint32_t save;
} critical_section_t;

void critical_section_init(critical_section_t* crit_sec);
void critical_section_init_with_lock_num(critical_section_t* crit_sec, uint lock_num);
void critical_section_enter_blocking(critical_section_t* crit_sec);
void critical_section_exit(critical_section_t* crit_sec);
void critical_section_deinit(critical_section_t* crit_sec);

static inline bool critical_section_is_initialized(critical_section_t* crit_sec) {
    return crit_sec->spin_lock != 0;
}

#ifdef __cplusplus
}
#endif

#endif
