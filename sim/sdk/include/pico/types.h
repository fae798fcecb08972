// Basic SDK types. absolute_time_t is a plain 64-bit count in release builds
// and a struct in debug builds, so that relative and absolute times do not mix.
#ifndef _PICO_TYPES_H
#define _PICO_TYPES_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

typedef unsigned int uint;

#ifdef NDEBUG
typedef uint64_t absolute_time_t;
#define ABSOLUTE_TIME_INITIALIZED_VAR(name, value) name = value
#else
typedef struct {
    uint64_t _private_us_since_boot;
} absolute_time_t;
#define ABSOLUTE_TIME_INITIALIZED_VAR(name, value) name = {value}
#endif

static inline uint64_t to_us_since_boot(absolute_time_t t) {
#ifdef NDEBUG
    return t;
#else
    return t._private_us_since_boot;
#endif
}

static inline void update_us_since_boot(absolute_time_t* t, uint64_t us_since_boot) {
#ifdef NDEBUG
    *t = us_since_boot;
#else
    t->_private_us_since_boot = us_since_boot;
#endif
}

static inline absolute_time_t from_us_since_boot(uint64_t us_since_boot) {
    absolute_time_t t;
    update_us_since_boot(&t, us_since_boot);
    return t;
}

typedef struct {
    int16_t year;
    int8_t month;
    int8_t day;
    int8_t dotw;
    int8_t hour;
    int8_t min;
    int8_t sec;
} datetime_t;

#define bool_to_bit(x) ((uint) !!(x))

#endif
