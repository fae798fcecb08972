// The instruction-level RP2040: two Cortex-M0+ cores running a real binary
// (an .elf built against the Pico SDK), in the same simulated world as the
// host model. The chip around the cores is modelled here: the bus fabric
// with ROM, flash and SRAM, the SIO, the boot ROM, clocks, resets, the
// power-on state machine and the other system blocks. The peripherals are
// the set both chips compose (sim::Chip's gpio, spi, adc, pwm, timer,
// watchdog, i2c, uart), reached through their registers; no host processor
// or RTOS model is inside.
//
// Time: the cores run at 125 MHz, 8 ns a cycle. The chip is a TimedRunner:
// the simulation gives it rounds, and within a round it interleaves the two
// cores one instruction at a time, always stepping the core that is behind
// (core 0 on a tie), and stops where the world's next event is due. Before
// every instruction the world's clock is set to that core's time, so the
// peripherals see exactly when an access happens.
//
#pragma once

#include "arm/core.h"
#include "chip/chip.h"
#include "engine/simulation.h"
#include "rp2040/bootrom.h"
#include "rp2040/bus_fabric.h"
#include "rp2040/clocks.h"
#include "rp2040/core1_launch.h"
#include "rp2040/debugger_call.h"
#include "rp2040/elf_image.h"
#include "rp2040/execution_observer.h"
#include "rp2040/idle_loop.h"
#include "rp2040/pll.h"
#include "rp2040/psm.h"
#include "rp2040/resets.h"
#include "rp2040/rosc.h"
#include "rp2040/rtos_view.h"
#include "rp2040/sio.h"
#include "rp2040/stored_block.h"
#include "rp2040/xosc.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sim::rp2040 {

class Rp2040 : public Chip, public TimedRunner, private BootromHost {
public:
    // Loads the executable at `elfPath`; throws std::runtime_error naming
    // the file when it cannot be read or is not an ARM executable that fits
    // the chip's flash and SRAM.
    Rp2040(Simulation& sim, std::string name, const std::string& elfPath);
    ~Rp2040() override;

    // --- sim::Chip -----------------------------------------------------------------
    // Joins the simulation's run loop, puts the image into flash and boots
    // both cores through the ROM.
    void powerOn() override;
    // A chip reset: every block and both cores start over and boot again
    // through the ROM; SRAM keeps its contents, as on silicon. A reset that
    // an instruction asks for takes effect once that instruction is done.
    void reset(const std::string& cause) override;
    void setIrqLine(unsigned irq, bool level) override;
    void setIrqLine(int core, unsigned irq, bool level) override;
    // Both cores stop executing; time and the world go on.
    void setDebugHalt(bool halted) override;
    // The core executes no Thread-mode instruction while PRIMASK is clear
    // until the hold ends; its exceptions are taken, and their handlers run.
    void holdTasks(int core, Time duration) override;
    // Read from the kernel's lists in SRAM, as a debugger reads them.
    std::vector<TaskInfo> tasks() const override;
    std::vector<std::string> activeTimers() const override;
    // A debugger halts one core for `duration` from now, with DBGPAUSE
    // cleared: the timer, the watchdog and the other core go on.
    void haltCore(int core, Time duration);
    // Powered, and neither core stopped by a fault.
    bool running() const override;
    // A line that rises reaches the core's NVIC `latency` later.
    void setIrqLatency(int core, Time latency) override {
        irqLatency_.at(std::size_t(core)) = latency;
    }
    Time irqLatency(int core) const override { return irqLatency_.at(std::size_t(core)); }
    // Counted at every call of the image's pvPortMalloc.
    AllocationFaults& allocationFaults() override { return allocationFaults_; }
    // Calls xQueueGenericSend; fails at once if the image has no such variable
    // or its queue is not yet made.
    void sendToQueue(int core, const std::string& handle, std::vector<std::uint8_t> item,
                     CallDone done = {}) override;
    // Sends the timer service's queue the message xTimerPendFunctionCall
    // would, with vTaskDelay as the function and `ticks` its argument.
    void pendTimerServiceDelay(int core, std::uint32_t ticks, CallDone done = {}) override;
    void notifyTask(int core, const std::string& task, std::uint32_t value,
                    CallDone done = {}) override;
    void addBusyTask(int core, const std::string& name, unsigned priority, std::uint32_t affinity,
                     CallDone done = {}) override;
    void deleteTask(int core, const std::string& task, CallDone done = {}) override;

    // --- sim::TimedRunner ---------------------------------------------------------
    Time localTime() const override;
    void runUntil(Time bound) override;

    // --- options ------------------------------------------------------------------
    // Jumping over idle time (both cores asleep or going round the kernel's
    // idle loop); on by default. Off, every instruction is executed; the
    // outcome is the same to the cycle.
    void setIdleSkip(bool on) { idleSkip_ = on; }
    bool idleSkip() const { return idleSkip_; }
    // Tells `observer` of every step and interrupt line from now on; null
    // to stop. The observer must outlive the chip or be removed first.
    void setObserver(ExecutionObserver* observer) { observer_ = observer; }

    // --- inspection -----------------------------------------------------------------
    arm::Core& core(int n) { return *cores_.at(std::size_t(n)); }
    Time coreTime(int n) const { return slots_.at(std::size_t(n)).time; }
    // Core 1 waits in the ROM to be launched.
    bool parked(int n) const { return slots_.at(std::size_t(n)).mode == Mode::Parked; }
    const ElfImage& elf() const { return *elf_; }
    BusFabric& fabric() { return fabric_; }
    Sio& sio() { return sio_; }
    Resets& resetController() { return resets_; }
    Psm& psm() { return psm_; }
    Clocks& clocks() { return clocks_; }
    const RtosView& rtos() const { return rtos_; }
    // Reads memory as a debugger would, without side effects.
    bool readMemory(std::uint32_t address, void* out, std::uint32_t size) const {
        return fabric_.readMemory(address, out, size);
    }
    std::uint32_t readWord(std::uint32_t address) const;
    // The code at an address: the image's symbol ("main+0x14") or the ROM
    // routine ("rom memcpy"), "" when nothing is known.
    std::string describe(std::uint32_t address) const;

    struct Stats {
        std::uint64_t instructions[2] = {0, 0};
        std::uint64_t idleSkips = 0;
        Time idleSkipped[2] = {0, 0}; // virtual time each core jumped over
    };
    const Stats& stats() const { return stats_; }

protected:
    const ResetHistory& history() const override { return history_; }

private:
    enum class Mode {
        Executing, // the core runs (or sleeps in WFI/WFE)
        Parked,    // core 1 in the ROM's launch protocol
        Held,      // held in reset by the power-on state machine
    };
    struct Slot {
        Time time = 0;
        Mode mode = Mode::Executing;
        bool mayWake = true; // something changed that a waiting core may wake on
        unsigned extraCycles = 0;
        std::uint32_t lines = 0; // its interrupt lines as the blocks drive them
        Time tasksHeldUntil = 0; // holdTasks
        Time haltedUntil = 0;    // haltCore
    };

    // BootromHost
    std::array<std::uint32_t, 8>& watchdogScratch() override { return watchdog.scratch(); }
    void releaseResets(std::uint32_t mask) override { resets_.release(mask); }
    void disableAdcPadInputs() override;
    std::uint8_t* flash() override { return fabric_.flash(); }
    void parkForLaunch(arm::Core& core) override;
    void chargeCycles(arm::Core& core, unsigned cycles) override {
        slots_[std::size_t(core.id())].extraCycles += cycles;
    }
    bool debuggerCallReturned(arm::Core& core) override { return calls_.returned(core); }

    // rp2040_debugger.cpp: queues a call of the image's `function`; false
    // if the image has none. `result` hears r0 at its return.
    bool callImage(int core, const char* function, std::array<std::uint32_t, 4> args,
                   std::vector<std::uint8_t> data, unsigned dataArgs,
                   std::function<void(std::uint32_t)> result);
    // The same for a function that returns pdPASS on success.
    bool callForPass(int core, const char* function, std::array<std::uint32_t, 4> args,
                     std::vector<std::uint8_t> data, unsigned dataArgs, CallDone done);
    // xQueueGenericSend: the queue, the item below the stack, no wait, to
    // the back.
    void callQueueSend(int core, std::uint32_t queue, std::vector<std::uint8_t> item,
                       CallDone done);
    // The busy task's code and name written into `block`, then its creation.
    void createBusyTask(int core, std::uint32_t block, const std::string& name, unsigned priority,
                        std::uint32_t affinity, CallDone done);
    // The control block of the task named `task`, 0 if there is none.
    std::uint32_t taskControlBlock(const std::string& task) const;
    void addCall(DebuggerCalls::Call call);
    void beginCall(int n);

    void mapBlocks();
    void loadFlash();
    void bootCores(Time at);
    void startCore(int n);
    void performReset(std::string cause);
    void resetPeripherals();
    // The timer starts counting from zero.
    void markBoot() { history_.booted(simulation().now()); }
    void resetSystemBlocks();
    void blocksReset(std::uint32_t entered, std::uint32_t left);
    void mailboxesChanged();
    // Something a waiting core may wake on happened to core n.
    void wake(int n);

    // The run loop's parts.
    bool ready(int n) const;
    // Held by holdTasks at its own time, and in Thread mode with interrupts on.
    bool threadHeld(int n) const;
    Time wakeTime(int n) const;
    void advanceIdle(int n, Time to);
    void execute(int n);
    void runCore(int n, Time bound);
    void runBoth(Time bound);
    template <int N>
    bool runBehind(Time bound);
    void stepLauncher();
    bool idleAt(int n) const;
    bool bothIdle();
    // n is about to execute; `idle` is idleAt(n).
    bool trySkipIdle(int n, bool idle, Time limit);
    bool trySkipIdleLoop(int n, Time limit);
    bool skipIdle(Time limit);
    bool checkStack(int n);
    void reportStop(int n, const std::string& reason, std::uint32_t pc);

    std::unique_ptr<ElfImage> elf_;
    Sio sio_;
    Bootrom rom_;
    BusFabric fabric_;
    std::array<std::unique_ptr<arm::Core>, 2> cores_;
    std::array<Slot, 2> slots_{};
    Core1Launch launch_;

    Resets resets_;
    Psm psm_;
    Xosc xosc_;
    Pll pllSys_;
    Pll pllUsb_;
    Rosc rosc_;
    Clocks clocks_;
    std::vector<StoredBlock> stored_;

    RtosView rtos_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> idleCode_; // [begin, end)
    // The span from the first idle code to the end of the last; empty if none.
    std::uint32_t idleLow_ = 0;
    std::uint32_t idleSpan_ = 0;
    std::array<IdleLoop, 2> idleLoops_{};
    std::uint32_t readyListsAt_ = 0; // pxReadyTasksLists, 0 if absent
    // pvPortMalloc's first instruction, where heap().failAllocations() acts;
    // odd (no instruction's address) when the image has none.
    std::uint32_t allocatorEntry_ = 1;
    std::uint32_t deletedWaitingAt_ = 0; // uxDeletedTasksWaitingCleanUp

    ResetHistory history_;
    AllocationFaults allocationFaults_;
    std::array<Time, 2> irqLatency_{};
    DebuggerCalls calls_;
    bool callWaiting_ = false; // calls_ has a call not yet made

    bool powered_ = false;
    bool idleSkip_ = true;
    int executing_ = -1;   // the core inside step(), or -1
    bool changed_ = false; // a core was woken: who acts next is open again
    // The kernel state bothIdle() read was idle, and since then only idle
    // code ran and nothing woke a core: it still is.
    bool stillIdle_ = false;
    bool resetPending_ = false;
    std::string resetCause_;
    Stats stats_;
    ExecutionObserver* observer_ = nullptr;
    // Lines that rose on a core with injected latency (setIrqLatency): each
    // reaches the core's NVIC when its event fires, if still high.
    std::array<std::array<CallbackEvent, 32>, 2> lateLines_;
};

} // namespace sim::rp2040
