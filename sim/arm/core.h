// One ARM Cortex-M0+ core (ARMv6-M, Thumb): the registers, the instruction
// set with the M0+ cycle counts, and the core's own private peripherals: the
// NVIC (32 external interrupts, four priority levels), SysTick and the
// system control block (CPUID, ICSR, VTOR, AIRCR, SCR, CCR, SHPR2/3, SHCSR).
// Exception entry and return follow the architecture: eight words stacked on
// the active stack (MSP or PSP), EXC_RETURN in LR, tail-chaining of pending
// exceptions, PRIMASK masking everything of configurable priority.
//
// The core does not keep time itself: step() executes one instruction (or
// takes one exception) and says how many cycles it took; the chip around it
// advances the clock and lets SysTick count with tick().
#pragma once

#include "arm/system_bus.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim::arm {

// Exception numbers.
namespace exc {
constexpr unsigned kReset = 1;
constexpr unsigned kNmi = 2;
constexpr unsigned kHardFault = 3;
constexpr unsigned kSvCall = 11;
constexpr unsigned kPendSv = 14;
constexpr unsigned kSysTick = 15;
constexpr unsigned kFirstExternal = 16;
} // namespace exc

class Core {
public:
    enum class State {
        Running,
        Sleeping,      // WFI: until an interrupt becomes pending
        WaitForEvent,  // WFE: until the event register is set
        Stopped,       // a fault or a breakpoint stopped the core; see stopReason()
    };

    // The core's view of where it stopped.
    struct Stop {
        std::string reason; // "HardFault: undefined instruction 0xde12", "bus error loading 0x...", ...
        std::uint32_t pc = 0;
    };

    Core(int id, SystemBus& bus);
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    int id() const { return id_; }

    // --- fast memory -----------------------------------------------------------
    // Plain memory the core reads (and, if writable, writes) directly through
    // a host pointer, without asking the bus: ROM, flash, SRAM. Checked before
    // the bus on every access and fetch.
    void addDirectRegion(std::uint32_t base, std::uint32_t size, std::uint8_t* host,
                         bool writable);
    void clearDirectRegions();

    // --- reset -----------------------------------------------------------------
    // The core's reset: registers, NVIC, SysTick and SCB to their reset
    // values, Thread mode on the MSP, PRIMASK clear. Then MSP and PC come
    // from the vector table at `vtor` (word 0 and word 1), and VTOR = vtor.
    // Returns false (and stops the core) when the table cannot be read.
    bool reset(std::uint32_t vtor);
    // The same reset without fetching anything; the caller sets MSP and PC
    // (a core parked by the bootrom).
    void resetRegisters();

    // --- execution -------------------------------------------------------------
    // Executes one instruction, or takes the highest pending exception whose
    // priority beats the current one. Returns the cycles used (at least 1);
    // 0 when the core is not Running (asleep, waiting for an event, stopped).
    // A sleeping core wakes (state Running) as soon as its wake condition
    // holds; step() checks it first.
    unsigned step();
    State state() const { return state_; }
    bool running() const { return state_ == State::Running; }
    const Stop& stopInfo() const { return stop_; }
    // Stops the core from outside (the chip found a fault the core cannot see).
    void stop(std::string reason);

    // SysTick counts `cycles` of the processor clock (when enabled with the
    // processor clock source). May pend its exception.
    void tick(std::uint64_t cycles);
    // The cycles until SysTick next wraps to zero, or UINT64_MAX when it is off.
    std::uint64_t cyclesToSysTick() const;

    // --- inputs ------------------------------------------------------------------
    // The external interrupt lines 0..31, level-sensitive: a high line sets the
    // NVIC pending bit (again after the handler has cleared it, while high).
    void setIrqLine(unsigned irq, bool level);
    std::uint32_t irqLines() const { return lines_; }
    // The event input: sets the event register, wakes a WFE.
    void signalEvent();
    // The core's event output (SEV), for the other core.
    void onSendEvent(std::function<void()> fn) { sendEvent_ = std::move(fn); }
    // AIRCR.SYSRESETREQ was written with the right key.
    void onResetRequest(std::function<void()> fn) { resetRequest_ = std::move(fn); }

    // --- registers ------------------------------------------------------------------
    // r0..r12, 13 = SP (the active stack pointer), 14 = LR, 15 = PC (the
    // address of the next instruction to execute, without the Thumb bit).
    std::uint32_t reg(unsigned n) const;
    void setReg(unsigned n, std::uint32_t value);
    std::uint32_t pc() const { return pc_; }
    void setPc(std::uint32_t pc) { pc_ = pc & ~1u; }
    std::uint32_t msp() const;
    std::uint32_t psp() const;
    void setMsp(std::uint32_t v);
    void setPsp(std::uint32_t v);
    std::uint32_t xpsr() const;
    std::uint32_t control() const { return control_; }
    bool primask() const { return primask_; }
    std::uint32_t vtor() const { return vtor_; }
    void setVtor(std::uint32_t v) { vtor_ = v & 0xFFFFFF00u; }
    // The exception being handled (IPSR), 0 in Thread mode.
    unsigned currentException() const { return ipsr_; }
    bool handlerMode() const { return ipsr_ != 0; }

    // --- NVIC state, for the chip and tests ------------------------------------------
    std::uint32_t irqEnabled() const { return nvicEnabled_; }
    std::uint32_t irqPending() const { return nvicPending_; }
    std::uint8_t irqPriority(unsigned irq) const;

    // --- for reports -------------------------------------------------------------------
    std::uint64_t instructions() const { return instructions_; }
    // The addresses of the last instructions executed, oldest first (up to 32).
    std::vector<std::uint32_t> recentPcs() const;

    // Bus access as the core makes it (direct regions first, then the bus), for
    // the chip's native routines and the debugger. False on a bus error.
    bool read(std::uint32_t address, unsigned size, std::uint32_t& value);
    bool write(std::uint32_t address, unsigned size, std::uint32_t value);

private:
    // The implementation's own members follow.
};

} // namespace sim::arm
