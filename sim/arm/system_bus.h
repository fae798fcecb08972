// What a Cortex-M0+ core sees below its own private peripheral bus
// (0xE0000000 and up: NVIC, SysTick, SCB, which the core models itself): the
// chip's bus fabric with its memories and peripherals.
#pragma once

#include <cstdint>

namespace sim::arm {

class Core;

class SystemBus {
public:
    virtual ~SystemBus() = default;

    // A load or store of `size` bytes (1, 2 or 4) at an address aligned to
    // it, by core `core`. False is a bus error (nothing answers there): the
    // core takes a HardFault. `value` holds the bytes in the low bits.
    virtual bool load(int core, std::uint32_t address, unsigned size, std::uint32_t& value) = 0;
    virtual bool store(int core, std::uint32_t address, unsigned size, std::uint32_t value) = 0;

    // The cycles an access stalls the core beyond the instruction's own
    // count (bus wait states of slow peripherals). Asked after each load (or
    // fetch) and store that went through load()/store().
    virtual unsigned waitStates(std::uint32_t /*address*/, bool /*store*/) const { return 0; }

    // A data access by core `core` to a direct region added as arbitrated
    // (memory whose port other masters share): the cycles it waits for its
    // turn. Asked only while the core's arbitration is on.
    virtual unsigned arbitrate(int /*core*/, std::uint32_t /*address*/) { return 0; }

    // A UDF #imm (0xDEii) executed at an address the fabric gives to native
    // code (the bootrom's routines). The fabric carries out the routine on
    // the core's registers and sets its PC. False: no routine there, and the
    // core treats the instruction as undefined (HardFault).
    virtual bool native(Core& /*core*/, std::uint32_t /*pc*/, std::uint8_t /*imm*/) {
        return false;
    }
};

} // namespace sim::arm
