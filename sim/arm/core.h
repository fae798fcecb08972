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
        Sleeping,     // WFI: until an interrupt becomes pending
        WaitForEvent, // WFE: until the event register is set
        Stopped,      // a fault or a breakpoint stopped the core; see stopReason()
    };

    // The core's view of where it stopped.
    struct Stop {
        // "HardFault: undefined instruction 0xde12", "bus error loading 0x...", ...
        std::string reason;
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
    // An arbitrated region's data accesses ask the bus for their turn while
    // arbitration is on (setArbitration: while another master runs beside).
    void addDirectRegion(std::uint32_t base, std::uint32_t size, std::uint8_t* host, bool writable,
                         bool arbitrated = false);
    void clearDirectRegions();
    void setArbitration(bool on) { arbitrating_ = on; }

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
    // A debugger's halt ends a WFI or WFE sleep (both may end without
    // cause); the core goes on after the instruction.
    void endSleep() {
        if (state_ == State::Sleeping || state_ == State::WaitForEvent)
            state_ = State::Running;
    }

    // SysTick counts `cycles` of the processor clock (when enabled with the
    // processor clock source). May pend its exception. Inline for the usual
    // case, a counter that neither runs nor reaches zero.
    void tick(std::uint64_t cycles) {
        if ((systCsr_ & kSysTickCounts) != kSysTickCounts)
            return;
        if (cycles < systCurrent_) {
            systCurrent_ -= static_cast<std::uint32_t>(cycles);
            return;
        }
        countDown(cycles);
    }
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
    std::uint32_t reg(unsigned n) const { return n == 15 ? pc_ : (n < 15 ? r_[n] : 0); }
    void setReg(unsigned n, std::uint32_t value);
    // The condition flags, as a native routine that sets them leaves them.
    void setFlags(bool n, bool z, bool c, bool v) {
        n_ = n;
        z_ = z;
        c_ = c;
        v_ = v;
    }
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
    // Whether a pending exception beats the current priority (PRIMASK
    // included): the next step() takes it instead of an instruction.
    bool exceptionDue() const;

    // --- debugger -----------------------------------------------------------------------
    // A data watchpoint: `hit` runs after each store that touches
    // [begin, begin + size), once the store is done. Size 0 removes it.
    using StoreWatch = std::function<void(std::uint32_t address)>;
    void watchStores(std::uint32_t begin, std::uint32_t size, StoreWatch hit) {
        watchBegin_ = begin;
        watchSize_ = size;
        watchHit_ = std::move(hit);
    }

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

    // One stretch of directly mapped memory. Base and size are word aligned.
    struct Region {
        std::uint32_t base = 0;
        std::uint32_t size = 0; // 0: no region
        std::uint8_t* host = nullptr;
        bool writable = false;
        bool arbitrated = false;
    };
    // An exception that could be taken: its number and priority (lower wins).
    struct Candidate {
        unsigned number = 0; // 0: none
        int priority = kNoPriority;
    };
    // Below every configurable priority: the execution priority of Thread
    // mode with nothing active.
    static constexpr int kNoPriority = 4;

    // thumb.cpp: one instruction.
    unsigned execute(std::uint32_t insn);
    unsigned execute32(std::uint32_t hw1);
    bool fetchSlow(std::uint32_t address, std::uint32_t& halfword);
    // The value of BX/BLX/POP {pc}: interworking branch or exception return.
    unsigned branchExchange(std::uint32_t target, unsigned cycles);

    // memory_access.h / memory.cpp: data accesses as an instruction makes them.
    template <unsigned Size>
    bool load(std::uint32_t address, std::uint32_t& value);
    template <unsigned Size>
    bool store(std::uint32_t address, std::uint32_t value);
    bool loadSlow(std::uint32_t address, unsigned size, std::uint32_t& value);
    bool storeSlow(std::uint32_t address, unsigned size, std::uint32_t value);
    template <unsigned Size>
    void watched(std::uint32_t address) {
        if (watchSize_ != 0 && address + Size - 1 - watchBegin_ < watchSize_ + Size - 1)
            watchHit_(address);
    }
    bool unaligned(const char* what, std::uint32_t address, unsigned size);
    const Region* findRegion(std::uint32_t address, unsigned size) const;
    void rebuildPages();

    // mrs_msr.cpp: MRS, MSR, CPS.
    std::uint32_t readSpecial(unsigned sysm) const;
    void writeSpecial(unsigned sysm, std::uint32_t value);
    bool privileged() const { return ipsr_ != 0 || (control_ & 1u) == 0; }
    void selectStack(bool process);
    std::uint32_t apsr() const;

    // exceptions.cpp: priorities, entry, return, sleep.
    int priorityOf(unsigned number) const;
    int executionPriority(bool withPrimask) const;
    Candidate bestPending() const;
    bool isPending(unsigned number) const;
    void setPending(unsigned number);
    void clearPending(unsigned number);
    void deactivate(unsigned number);
    unsigned activeCount() const;
    unsigned takeException(unsigned number, bool tailChain, std::uint32_t excReturn);
    unsigned exceptionReturn(std::uint32_t excReturn);
    bool raiseSvc(unsigned imm);
    bool wakeCondition();
    unsigned checkExceptions();
    void fault(const std::string& what);
    void refreshLevels();

    // system_control.cpp: the private peripheral bus.
    // SYST_CSR's ENABLE and CLKSOURCE: SysTick counts the processor clock.
    static constexpr std::uint32_t kSysTickCounts = (1u << 0) | (1u << 2);
    void countDown(std::uint64_t cycles);
    bool ppbRead(std::uint32_t address, std::uint32_t& value, bool sideEffects);
    bool ppbWrite(std::uint32_t address, std::uint32_t value);
    std::uint32_t icsr() const;

    SystemBus& bus_;
    int id_;
    State state_ = State::Running;
    Stop stop_;
    std::function<void()> sendEvent_;
    std::function<void()> resetRequest_;
    bool resetRequested_ = false;

    // Registers. r_[13] is the stack pointer in use; otherSp_ the banked one.
    std::array<std::uint32_t, 16> r_{};
    std::uint32_t otherSp_ = 0;
    std::uint32_t pc_ = 0;
    std::uint32_t curPc_ = 0; // address of the instruction executing
    bool n_ = false, z_ = false, c_ = false, v_ = false;
    unsigned ipsr_ = 0;
    std::uint32_t control_ = 0; // bit 0 nPRIV, bit 1 SPSEL
    bool primask_ = false;
    std::uint32_t vtor_ = 0;
    bool event_ = false;
    // Something that decides whether an exception is taken has changed.
    bool attention_ = true;
    int stall_ = 0; // cycles added by the accesses of this step
    bool arbitrating_ = false;
    std::uint32_t watchBegin_ = 0;
    std::uint32_t watchSize_ = 0;
    StoreWatch watchHit_;

    // NVIC and the system exceptions, by exception number.
    std::uint32_t lines_ = 0;
    std::uint32_t nvicEnabled_ = 0;
    std::uint32_t nvicPending_ = 0;
    std::uint32_t nvicActive_ = 0;
    std::array<std::uint8_t, 32> irqPriority_{};
    std::uint32_t sysPending_ = 0; // bits 2 (NMI), 11, 14, 15
    std::uint32_t sysActive_ = 0;
    std::uint8_t svcPriority_ = 0, pendSvPriority_ = 0, sysTickPriority_ = 0;
    std::uint32_t scr_ = 0;

    // SysTick.
    std::uint32_t systCsr_ = 0;
    std::uint32_t systReload_ = 0;
    std::uint32_t systCurrent_ = 0;
    bool countFlag_ = false;

    // Direct memory: the first region of each 16 MiB page for the fast path,
    // all of them for the rest.
    std::array<Region, 256> pages_{};
    std::vector<Region> regions_;
    const std::uint8_t* fetchHost_ = nullptr;
    std::uint32_t fetchBase_ = 0;
    std::uint32_t fetchLimit_ = 0; // pc - fetchBase_ below this reads two bytes

    std::uint64_t instructions_ = 0;
    std::array<std::uint32_t, 32> recent_{};
    std::uint32_t recentCount_ = 0;
};

} // namespace sim::arm
