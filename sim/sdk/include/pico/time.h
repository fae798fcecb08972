// Time, sleeping and the default alarm pool (pico_time).
#ifndef _PICO_TIME_H
#define _PICO_TIME_H

#include "pico.h"
#include "hardware/timer.h"

#ifdef __cplusplus
extern "C" {
#endif

// A sleep sets its alarm this much before the deadline and busy-waits the
// rest. The FreeRTOS port's SDK configuration raises the SDK's 6 us to 150 us
// to cover the wake-up through the RTOS.
#ifndef PICO_TIME_SLEEP_OVERHEAD_ADJUST_US
#define PICO_TIME_SLEEP_OVERHEAD_ADJUST_US 150
#endif

#define PICO_TIME_DEFAULT_ALARM_POOL_DISABLED 0
#define PICO_TIME_DEFAULT_ALARM_POOL_HARDWARE_ALARM_NUM 3
#define PICO_TIME_DEFAULT_ALARM_POOL_MAX_TIMERS 16

static inline absolute_time_t get_absolute_time(void) {
    absolute_time_t t;
    update_us_since_boot(&t, time_us_64());
    return t;
}

static inline uint32_t us_to_ms(uint64_t us) {
    if (us >> 32u)
        return (uint32_t)(us / 1000u);
    return ((uint32_t)us) / 1000u;
}

static inline uint32_t to_ms_since_boot(absolute_time_t t) {
    return us_to_ms(to_us_since_boot(t));
}

static inline absolute_time_t delayed_by_us(const absolute_time_t t, uint64_t us) {
    absolute_time_t t2;
    uint64_t base = to_us_since_boot(t);
    uint64_t delayed = base + us;
    if ((int64_t)delayed < 0)
        delayed = INT64_MAX; // saturate at the end of time
    update_us_since_boot(&t2, delayed);
    return t2;
}

static inline absolute_time_t delayed_by_ms(const absolute_time_t t, uint32_t ms) {
    return delayed_by_us(t, ms * 1000ull);
}

static inline absolute_time_t make_timeout_time_us(uint64_t us) {
    return delayed_by_us(get_absolute_time(), us);
}

static inline absolute_time_t make_timeout_time_ms(uint32_t ms) {
    return delayed_by_ms(get_absolute_time(), ms);
}

static inline int64_t absolute_time_diff_us(absolute_time_t from, absolute_time_t to) {
    return (int64_t)(to_us_since_boot(to) - to_us_since_boot(from));
}

static inline absolute_time_t absolute_time_min(absolute_time_t a, absolute_time_t b) {
    return to_us_since_boot(a) < to_us_since_boot(b) ? a : b;
}

extern const absolute_time_t at_the_end_of_time;
extern const absolute_time_t nil_time;

static inline bool is_at_the_end_of_time(absolute_time_t t) {
    return to_us_since_boot(t) == to_us_since_boot(at_the_end_of_time);
}

static inline bool is_nil_time(absolute_time_t t) {
    return !to_us_since_boot(t);
}

// In a task the wait blocks the task: the alarm's interrupt sets an RTOS
// event group through the timer service task, which wakes it.
void sleep_until(absolute_time_t target);
void sleep_us(uint64_t us);
void sleep_ms(uint32_t ms);

typedef int32_t alarm_id_t; // negative: an error
// Returns <0 to fire again that many us after the target, >0 that many us
// after now, 0 not again.
typedef int64_t (*alarm_callback_t)(alarm_id_t id, void* user_data);
typedef struct alarm_pool alarm_pool_t;

void alarm_pool_init_default(void);
alarm_pool_t* alarm_pool_get_default(void);
uint alarm_pool_hardware_alarm_num(alarm_pool_t* pool);
uint alarm_pool_core_num(alarm_pool_t* pool);
// 0 when the time has passed and `fire_if_past` is not set, -1 when the pool
// is full.
alarm_id_t alarm_pool_add_alarm_at(alarm_pool_t* pool, absolute_time_t time,
                                   alarm_callback_t callback, void* user_data, bool fire_if_past);
bool alarm_pool_cancel_alarm(alarm_pool_t* pool, alarm_id_t alarm_id);

static inline alarm_id_t alarm_pool_add_alarm_in_us(alarm_pool_t* pool, uint64_t us,
                                                    alarm_callback_t callback, void* user_data,
                                                    bool fire_if_past) {
    return alarm_pool_add_alarm_at(pool, delayed_by_us(get_absolute_time(), us), callback,
                                   user_data, fire_if_past);
}

static inline alarm_id_t alarm_pool_add_alarm_in_ms(alarm_pool_t* pool, uint32_t ms,
                                                    alarm_callback_t callback, void* user_data,
                                                    bool fire_if_past) {
    return alarm_pool_add_alarm_at(pool, delayed_by_ms(get_absolute_time(), ms), callback,
                                   user_data, fire_if_past);
}

static inline alarm_id_t add_alarm_at(absolute_time_t time, alarm_callback_t callback,
                                      void* user_data, bool fire_if_past) {
    return alarm_pool_add_alarm_at(alarm_pool_get_default(), time, callback, user_data,
                                   fire_if_past);
}

static inline alarm_id_t add_alarm_in_us(uint64_t us, alarm_callback_t callback, void* user_data,
                                         bool fire_if_past) {
    return alarm_pool_add_alarm_in_us(alarm_pool_get_default(), us, callback, user_data,
                                      fire_if_past);
}

static inline alarm_id_t add_alarm_in_ms(uint32_t ms, alarm_callback_t callback, void* user_data,
                                         bool fire_if_past) {
    return alarm_pool_add_alarm_in_ms(alarm_pool_get_default(), ms, callback, user_data,
                                      fire_if_past);
}

static inline bool cancel_alarm(alarm_id_t alarm_id) {
    return alarm_pool_cancel_alarm(alarm_pool_get_default(), alarm_id);
}

#ifdef __cplusplus
}
#endif

#endif
