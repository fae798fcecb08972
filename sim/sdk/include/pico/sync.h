// Synchronisation primitives of the SDK (pico_sync).
#ifndef _PICO_SYNC_H
#define _PICO_SYNC_H

#include "pico/critical_section.h"

#endif
