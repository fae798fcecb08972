// Standard input/output of the SDK. The images install no driver; what they
// print is caught by the simulated chip's console.
#ifndef _PICO_STDIO_H
#define _PICO_STDIO_H

#include "pico.h"

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

// Installs the drivers the build links; the simulated chip has none: false.
bool stdio_init_all(void);
void stdio_flush(void);
// With no input driver, always PICO_ERROR_TIMEOUT after the timeout.
int getchar_timeout_us(uint32_t timeout_us);

#ifdef __cplusplus
}
#endif

#endif
