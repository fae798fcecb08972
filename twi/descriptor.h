// The image's JSON descriptor, streamed to the host after address byte 0xFF.
#ifndef TWI_DESCRIPTOR_H
#define TWI_DESCRIPTOR_H

#include <cstdint>

// Sent without its terminator; the length is also published in 0xFD/0xFE.
extern const char _descriptor[];
extern const uint32_t _descriptorLen;

#endif
