// Cycle counts of the Cortex-M0+ with zero wait states. Instruction figures
// are those of the processor's technical reference manual (instruction
// summary table); the exception figures are noted one by one.
#pragma once

namespace sim::arm::cycles {

constexpr unsigned kDataProcessing = 1;  // also MULS: the single-cycle multiplier
constexpr unsigned kBranchToPc = 2;      // ADD/MOV with PC as destination
constexpr unsigned kLoadStore = 2;       // LDR*/STR*
constexpr unsigned kIoPort = 1;          // a single load/store on the I/O port
constexpr unsigned kMultipleBase = 1;    // LDM/STM/PUSH/POP: 1 + N
constexpr unsigned kPopPcBase = 3;       // POP {.., pc}: 3 + N
constexpr unsigned kBranchTaken = 2;     // B, B<cond> taken
constexpr unsigned kBranchNotTaken = 1;  // B<cond> not taken
constexpr unsigned kBranchLink = 3;      // BL
constexpr unsigned kBranchExchange = 2;  // BX, BLX
constexpr unsigned kSpecialRegister = 3; // MRS, MSR
constexpr unsigned kBarrier = 3;         // DMB, DSB, ISB
constexpr unsigned kSleepHint = 2;       // WFE, WFI
constexpr unsigned kHint = 1;            // NOP, YIELD, SEV, CPS

// The manual's interrupt latency: request to the handler's first instruction.
constexpr unsigned kExceptionEntry = 15;
// No published figure: unstacking eight words and refilling mirrors the
// entry. Counted on top of the returning instruction's own cycles.
constexpr unsigned kExceptionReturn = 15;
// Entry without the eight stacking writes: the vector fetch and refill only.
constexpr unsigned kTailChain = kExceptionEntry - 8;

} // namespace sim::arm::cycles
