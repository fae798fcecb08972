// Core 1's holding pen in the boot ROM: the protocol by which core 0 hands
// it a vector table, a stack pointer and an entry point over the FIFOs.
// Core 1 reads its FIFO once, drains it, and sends 0. Then every word it
// receives is echoed back; a 0 received starts over from the drain, and the
// first word after the 0 must be 1. Then come VTOR, SP and the entry; once
// the entry is echoed, core 1 starts there. Between steps it waits as WFE
// does; the launcher only moves when the FIFOs let it.
#pragma once

#include "rp2040/mailboxes.h"

#include <cstdint>

namespace sim::rp2040 {

class Core1Launch {
public:
    struct Target {
        std::uint32_t vtor = 0;
        std::uint32_t sp = 0;
        std::uint32_t entry = 0;
    };
    enum class Result {
        Waiting,  // nothing could be done: the FIFOs must change first
        Moved,    // a step was taken
        Launched, // the entry was echoed: start core 1 at target()
    };

    // Core 1 enters the holding pen (after a reset, or from wait_for_vector).
    void enter() {
        step_ = Step::Enter;
        phase_ = 0;
    }
    // One step of the ROM's loop, as far as the FIFOs allow. `sendEvent` is
    // the SEV after each word written.
    template <class Sev>
    Result advance(Mailboxes& mailboxes, Sev&& sendEvent);
    const Target& target() const { return target_; }
    // Cycles of ROM code one step stands for.
    static constexpr unsigned kStepCycles = 10;

private:
    enum class Step { Enter, Drain, Send, Receive };
    static constexpr int kCore = 1;

    Step step_ = Step::Enter;
    unsigned phase_ = 0; // words accepted after the 0: 1, VTOR, SP, entry
    std::uint32_t out_ = 0;
    Target target_;
};

template <class Sev>
Core1Launch::Result Core1Launch::advance(Mailboxes& mailboxes, Sev&& sendEvent) {
    switch (step_) {
    case Step::Enter:
        // The ROM reads the FIFO once before looking whether it holds
        // anything: an empty FIFO leaves the read-on-empty flag set.
        mailboxes.pop(kCore);
        step_ = Step::Drain;
        return Result::Moved;
    case Step::Drain:
        while (mailboxes.canRead(kCore))
            mailboxes.pop(kCore);
        out_ = 0;
        phase_ = 0;
        step_ = Step::Send;
        return Result::Moved;
    case Step::Send:
        if (!mailboxes.canWrite(kCore))
            return Result::Waiting;
        mailboxes.push(kCore, out_);
        sendEvent();
        if (phase_ == 4)
            return Result::Launched;
        step_ = Step::Receive;
        return Result::Moved;
    case Step::Receive: {
        if (!mailboxes.canRead(kCore))
            return Result::Waiting;
        const std::uint32_t word = mailboxes.pop(kCore);
        if (word == 0 || (phase_ == 0 && word != 1)) {
            step_ = Step::Drain;
            return Result::Moved;
        }
        if (phase_ == 1)
            target_.vtor = word;
        else if (phase_ == 2)
            target_.sp = word;
        else if (phase_ == 3)
            target_.entry = word;
        ++phase_;
        out_ = word;
        step_ = Step::Send;
        return Result::Moved;
    }
    }
    return Result::Waiting;
}

} // namespace sim::rp2040
