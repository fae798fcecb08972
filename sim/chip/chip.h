// One RP2040's peripheral set, as both chips compose it: the host model (its
// processor runs the firmware's tasks and handlers as C++) and the
// instruction-level Rp2040 (two cores run the real binary). The blocks are
// reached only through their registers; what differs between the two chips
// is how code gets to those registers and how interrupts reach a core, which
// each supplies here. The faults a test injects are declared here too, so
// that one test runs on either chip.
#pragma once

#include "chip/adc.h"
#include "chip/block_host.h"
#include "chip/console.h"
#include "chip/gpio.h"
#include "chip/i2c_controller.h"
#include "chip/observer.h"
#include "chip/pwm.h"
#include "chip/spi.h"
#include "chip/timer.h"
#include "chip/uart.h"
#include "chip/watchdog.h"
#include "engine/allocation_faults.h"
#include "engine/reset_history.h"
#include "engine/simulation.h"
#include "engine/time.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

class Chip {
public:
    Chip(Simulation& sim, std::string name);
    virtual ~Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    const std::string& name() const { return name_; }
    Simulation& simulation() { return sim_; }
    Time now() const { return sim_.now(); }
    void trace(const std::string& what);

    // --- power and reset -------------------------------------------------
    virtual void powerOn() = 0;
    // Resets the whole chip; from inside the chip's own code the reset
    // takes effect once that code has left.
    virtual void reset(const std::string& cause) = 0;
    // Powered, and not stopped for good (main returned, a fault).
    virtual bool running() const = 0;
    // A debugger halt of both cores; the watchdog and the timer pause with
    // it when asked to.
    virtual void setDebugHalt(bool halted);
    bool debugHalted() const { return debugHalt_; }

    // Time since the chip's timer last started counting from zero.
    Time sinceReset() const { return now() - history().bootedAt(); }
    unsigned resets() const { return history().count(); }
    const std::vector<ResetRecord>& resetLog() const { return history().log(); }

    // --- interrupt outputs of the blocks -----------------------------------
    // Level-sensitive, as on the chip; a shared output reaches both cores.
    virtual void setIrqLine(unsigned irq, bool level) = 0;
    // An output a block drives per core (IO bank 0 has one per core).
    virtual void setIrqLine(int core, unsigned irq, bool level) = 0;

    // --- faults a test injects, the same on either chip ------------------------
    // For `duration` from now no task runs on `core`, as if something above
    // every task kept it busy; its interrupts are still taken.
    virtual void holdTasks(int core, Time duration) = 0;
    // Every interrupt line that rises is taken on `core` only `latency`
    // later (if it is still high then).
    virtual void setIrqLatency(int core, Time latency) = 0;
    virtual Time irqLatency(int core) const = 0;
    // The firmware's allocations that are to fail.
    virtual AllocationFaults& allocationFaults() = 0;

    // --- a debugger's calls into the firmware ------------------------------------
    // Each is made on `core` from a task's context and never waits: on the
    // host model from a task above every other, on the real binary from the
    // core's idle task the next time it runs with interrupts on, the
    // registers it had put back afterwards. `done`, if given, hears whether
    // the call succeeded.
    using CallDone = std::function<void(bool)>;
    // Sends `item` to the back of the queue whose handle the firmware keeps
    // in the variable named `handle`; fails when the queue is full or its
    // items are of another size.
    virtual void sendToQueue(int core, const std::string& handle, std::vector<std::uint8_t> item,
                             CallDone done = {}) = 0;
    // Queues a call for the timer service task that keeps it waiting `ticks`
    // (vTaskDelay) when it takes it; fails when its command queue is full.
    virtual void pendTimerServiceDelay(int core, std::uint32_t ticks, CallDone done = {}) = 0;
    // Sets the notification value of the task named `task` to `value`,
    // overwriting one not yet taken (xTaskNotify, eSetValueWithOverwrite);
    // fails when there is no such task.
    virtual void notifyTask(int core, const std::string& task, std::uint32_t value,
                            CallDone done = {}) = 0;
    // Creates a task named `name` that never blocks, through the kernel's
    // own xTaskCreateAffinitySet, as a runaway task of the firmware would
    // be: anything of higher priority and every interrupt still preempt it.
    // `affinity` has one bit per core.
    virtual void addBusyTask(int core, const std::string& name, unsigned priority,
                             std::uint32_t affinity, CallDone done = {}) = 0;
    // Deletes the task named `task` (vTaskDelete); fails when there is none.
    virtual void deleteTask(int core, const std::string& task, CallDone done = {}) = 0;

    // --- probes --------------------------------------------------------------------
    // The RTOS's tasks as a debugger lists them: every task not deleted, with
    // its priority and the cores it may run on (one bit per core; a task
    // without affinity has every core's bit).
    struct TaskInfo {
        std::string name;
        unsigned priority;
        std::uint32_t affinity;
    };
    virtual std::vector<TaskInfo> tasks() const = 0;
    // The names of the software timers that run, from the timer service's
    // lists of active timers; a dormant timer is in none of them.
    virtual std::vector<std::string> activeTimers() const = 0;
    void addObserver(ChipObserver& observer);
    void removeObserver(ChipObserver& observer);
    template <class F>
    void forEachObserver(F&& f) {
        for (std::size_t i = 0; i < observers_.size(); ++i)
            f(*observers_[i]);
    }

protected:
    virtual const ResetHistory& history() const = 0;
    // The blocks' state at power-on. The blocks drive interrupt lines as they
    // reset, so each chip calls this once it can take them.
    void powerOnBlocks();
    // Every block starts over, as the chip's reset does; the watchdog keeps
    // its reason and scratch registers, and the world keeps driving the pins.
    void resetBlocks();

private:
    Simulation& sim_;
    std::string name_;
    bool debugHalt_ = false;
    // The chip around the blocks takes their interrupt lines.
    bool blocksPowered_ = false;
    std::vector<ChipObserver*> observers_;
    // What the blocks reach of the chip.
    BlockHost blockHost_;

public:
    Gpio gpio;
    Spi spi; // SPI0 (named so as not to meet the SDK macro spi0)
    Adc adc;
    Pwm pwm;
    Watchdog watchdog;
    Timer timer;
    Console console;
    // I2C0; not named i2c0, which is the SDK's macro for its instance.
    I2cController i2c0Block;
    // UART0, the console of images that print through it.
    Uart uart0;
};

} // namespace sim
