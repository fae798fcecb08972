// The Pico SDK's base header for the simulated chip: types, platform macros,
// the SDK version and error codes.
#ifndef _PICO_H
#define _PICO_H

#include "pico/types.h"
#include "pico/version.h"
#include "pico/platform.h"
#include "pico/error.h"

#endif
